#pragma once

#include "El/QStream/qStream.hpp"

#include <memory>

// Reads gzip data (one or more members) from another stream, which it owns.
// Data that does not start with the gzip magic passes through unchanged, so a
// plain file can stand where a gzip file is expected; likewise bytes after the
// last member that are not another member. A bad header, a damaged deflate
// stream or a CRC that does not match the trailer puts the stream into an
// error state in which it delivers nothing more.
//
// Strictly sequential: every segment is the next piece of inflated data,
// whatever position is asked for. Size() is 0: the inflated length is not
// known.
class QIGzStream : public QIStream
{
public:
  explicit QIGzStream(QIStream *source);
  ~QIGzStream() override;

  void SegmentAt(StreamSegment &segment, QFileSize position) override;
  bool Request(IPreloadRequestor *, void *, int, QFileSize, QFileSize) override { return true; }
  QFileSize Size() const override { return 0; }

  // True once a malformed header, deflate data or CRC was met, or once the
  // source reports damage of its own: gzip data carried inside another
  // format is only sound when that format's checks pass too.
  bool DataError() const override;

private:
  struct Inflater;
  std::unique_ptr<Inflater> _inflater;
};
