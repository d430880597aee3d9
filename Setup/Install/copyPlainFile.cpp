#include "Setup/Install/copyWorker.hpp"

#include <zlib.h>

namespace
{
// Copies of a plain source whose checksum keeps differing.
constexpr int PlainFileAttempts = 10;

// zlib's gzip reader: gzip data is inflated, any other file read as it is.
class GzipSource
{
public:
  // zlib's own small buffers: a chunk-sized buffer would cost every file
  // three quarters of a megabyte of fresh memory, while reads of a whole
  // chunk go past zlib's buffers into the caller's anyway (a plain file is
  // read straight into it, gzip data inflated straight into it).
  explicit GzipSource(const std::wstring &path) : _file(gzopen_w(path.c_str(), "rb")) {}
  ~GzipSource()
  {
    if (_file)
      gzclose(_file);
  }
  GzipSource(const GzipSource &) = delete;
  GzipSource &operator=(const GzipSource &) = delete;

  bool IsOpen() const { return _file != nullptr; }
  // Up to size bytes; 0 at the end, -1 on damaged or cut-short data.
  int Read(char *to, unsigned size)
  {
    int got = gzread(_file, to, size);
    if (got > 0)
      return got;
    // The end of the file: a gzip stream cut short ends here too, with the
    // error kept in the reader rather than reported by the read itself.
    int error = Z_OK;
    gzerror(_file, &error);
    return got < 0 || (error != Z_OK && error != Z_STREAM_END) ? -1 : 0;
  }

private:
  gzFile _file;
};

// Makes an existing read-only file writable; false when there is no such
// file or it stays read-only.
bool MakeWritable(const std::wstring &path)
{
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  return SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) != 0;
}
} // namespace

void CCopyWorker::CopyPlainFile()
{
  for (int attempt = 0; attempt < PlainFileAttempts; ++attempt)
  {
    GzipSource source(_source);
    if (!source.IsOpen())
      return Fail(L"SETUP_STR_ERR_FILE_READ", _source);
    // An earlier installation's read-only copy is made writable and
    // replaced. Only a refused create looks at the attributes: asking first
    // would cost every file a call.
    CDestinationFile destination;
    if (!destination.Create(_destination) && (!MakeWritable(_destination) || !destination.Create(_destination)))
      return Fail(L"SETUP_STR_ERR_CREATE_FILE", _destination);

    _crc.Crc32Reset();
    _attempts = attempt + 1;
    std::int64_t attemptBytes = 0;
    bool stopped = false;
    for (;;)
    {
      int got = source.Read(_buffer, ChunkSize);
      // Damaged or cut-short gzip data: what was written so far is not the
      // file, and a retry would read the same.
      if (got < 0)
        return Fail(L"SETUP_STR_ERR_FILE_READ", _source);
      if (got == 0)
        break;
      _crc.Crc32Update(_buffer, static_cast<std::size_t>(got));
      attemptBytes += got;
      _bytes = attemptBytes;
      if (!destination.Write(_buffer, static_cast<std::size_t>(got)))
        return Fail(L"SETUP_STR_ERR_FILE_WRITE", _destination);
      if (CountChunk(got))
      {
        stopped = true;
        break;
      }
    }
    destination.Close();
    // A stopped copy is abandoned, not checked: the run is ending.
    if (stopped || !_job.verify || _crc.Crc32Value() == _job.expectedCrc)
      return;
    TakeBackAttempt(attemptBytes);
  }
  Fail(L"SETUP_STR_ERR_FILE_CRC", _destination);
}
