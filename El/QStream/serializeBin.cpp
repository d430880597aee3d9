#include "El/QStream/serializeBin.hpp"

#include "El/QStream/ssCompress.hpp"
#include "Es/Framework/appFrame.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace
{
const char *const Source = "El/QStream/serializeBin";

// Blocks below this size are stored raw even when marked compressible: the
// packed form would gain little and costs a decoder pass.
constexpr int CompressMinimum = 1024;

const std::uint32_t Placeholder = 0xFFFFFFFFu;

bool Packed(int n, bool compressible) { return compressible && n >= CompressMinimum; }

// Reads the characters of a string up to (not including) a terminating byte.
// The string grows only as bytes arrive, so its size is bounded by the data.
// Answers whether a terminator was found before the data ended.
template <class IsEnd> bool ReadCharacters(QIStream &in, std::string &text, IsEnd isEnd)
{
  for (;;)
  {
    int c = in.get();
    if (c < 0)
      return false;
    if (isEnd(c))
      return true;
    // An RString's length is an int: characters beyond that are passed over.
    if (text.size() < static_cast<std::size_t>(INT_MAX - 1))
      text.push_back(static_cast<char>(c));
  }
}

RString ToRString(const std::string &text) { return RString(text.data(), static_cast<int>(text.size())); }
} // namespace

SerializeBinStream::SerializeBinStream(QIStream *in) : _in(in) {}

SerializeBinStream::SerializeBinStream(QOStream *out) : _out(out) {}

void SerializeBinStream::TransferRaw(void *data, int n)
{
  if (n <= 0)
    return;
  if (_in)
  {
    // Through a temporary: the bytes a short read did not deliver keep their
    // old value in the destination.
    unsigned char buffer[8];
    if (n <= static_cast<int>(sizeof buffer))
    {
      int got = _in->read(buffer, n);
      if (got > 0)
        std::memcpy(data, buffer, static_cast<std::size_t>(got));
    }
    else
    {
      // QIStream::read itself copies only the bytes it delivers.
      _in->read(data, n);
    }
  }
  else if (_out)
  {
    _out->write(data, static_cast<QFileSize>(n));
  }
}

void SerializeBinStream::transfer(std::int32_t &value) { TransferRaw(&value, sizeof value); }

void SerializeBinStream::transfer(std::uint32_t &value) { TransferRaw(&value, sizeof value); }

void SerializeBinStream::transfer(unsigned char &value) { TransferRaw(&value, sizeof value); }

void SerializeBinStream::transfer(char &value) { TransferRaw(&value, sizeof value); }

void SerializeBinStream::transfer(bool &value)
{
  // One byte: 0 false, anything else true (a bool must never hold another bit
  // pattern, so it is not read into directly).
  unsigned char byte = value ? 1 : 0;
  TransferRaw(&byte, 1);
  value = byte != 0;
}

void SerializeBinStream::transfer(RString &value)
{
  if (_in)
  {
    std::string text;
    bool terminated = ReadCharacters(*_in, text, [](int c) { return c == 0; });
    value = ToRString(text);
    if (!terminated)
    {
      ReportAssertionFailure(Source, __LINE__, "EOF in string");
      _error = EBadFileStructure;
    }
  }
  else if (_out)
  {
    _out->write(value.Data(), static_cast<QFileSize>(value.GetLength()) + 1);
  }
}

void SerializeBinStream::transferListString(RString &value)
{
  if (_in)
  {
    std::string text;
    ReadCharacters(*_in, text, [](int c) { return c == 0 || c == 255; });
    value = ToRString(text);
  }
  else if (_out)
  {
    _out->write(value.Data(), static_cast<QFileSize>(value.GetLength()) + 1);
  }
}

bool SerializeBinStream::transferVersion(int min, int max)
{
  if (_out)
  {
    std::int32_t value = max;
    transfer(value);
    _version = max;
    return true;
  }
  // Data that ends before the version leaves the version as it was.
  std::int32_t value = _version;
  transfer(value);
  _version = value;
  return value >= min && value <= max;
}

void SerializeBinStream::transferBlock(void *data, int n, bool compressible)
{
  if (n <= 0)
    return;
  if (!Packed(n, compressible))
  {
    TransferRaw(data, n);
    return;
  }
  if (_in)
  {
    SSCompress codec;
    if (!codec.decode(static_cast<char *>(data), n, *_in))
    {
      WarningF("Error in SerializeBinStream decoding");
      _error = EBadFileStructure;
    }
  }
  else if (_out)
  {
    QIStrStream bytes(data, n);
    SSCompress codec;
    codec.encode(*_out, bytes);
  }
}

void SerializeBinStream::skipBlock(int n, bool compressible)
{
  if (!_in || n <= 0)
    return;
  if (Packed(n, compressible))
  {
    SSCompress codec;
    if (!codec.decodeDiscard(n, *_in))
    {
      WarningF("Error in SerializeBinStream decoding");
      _error = EBadFileStructure;
    }
    return;
  }
  // Positions are 32-bit: a skip past the largest one ends there (seekg
  // clamps further to the stream's size).
  std::uint64_t target = static_cast<std::uint64_t>(_in->tellg()) + static_cast<std::uint64_t>(n);
  _in->seekg(static_cast<QFileSize>(std::min<std::uint64_t>(target, UINT32_MAX)));
}

QFileSize SerializeBinStream::tellg()
{
  if (!_in)
  {
    ReportAssertionFailure(Source, __LINE__, "File is not readable");
    return 0;
  }
  return _in->tellg();
}

QFileSize SerializeBinStream::tellp()
{
  if (!_out)
  {
    ReportAssertionFailure(Source, __LINE__, "File is not writeable");
    return 0;
  }
  return _out->tellp();
}

void SerializeBinStream::seekg(QFileSize position)
{
  if (!_in)
  {
    ReportAssertionFailure(Source, __LINE__, "Cannot SeekG on output stream");
    return;
  }
  _in->seekg(position);
}

void SerializeBinStream::seekp(QFileSize position)
{
  if (!_out)
  {
    ReportAssertionFailure(Source, __LINE__, "Cannot SeekP on input stream");
    return;
  }
  _out->SeekP(position);
}

QFileSize SerializeBinStream::reservePlaceholder()
{
  // On an input stream tellp reports the misuse and nothing is written.
  QFileSize position = tellp();
  if (_out)
  {
    std::uint32_t value = Placeholder;
    TransferRaw(&value, sizeof value);
  }
  return position;
}

void SerializeBinStream::patch(QFileSize placeholder, std::int32_t value)
{
  if (!_out)
  {
    ReportAssertionFailure(Source, __LINE__, "File is not writeable");
    return;
  }
  QFileSize here = _out->tellp();
  _out->SeekP(placeholder);
  _out->write(&value, sizeof value);
  _out->SeekP(here);
}

void SerializeBinStream::patchHere(QFileSize placeholder)
{
  if (!_out)
  {
    ReportAssertionFailure(Source, __LINE__, "File is not writeable");
    return;
  }
  patch(placeholder, static_cast<std::int32_t>(_out->tellp()));
}

void SerializeBinStream::readAhead(int n)
{
  if (_in && n > 0)
    _in->ReadAhead(static_cast<QFileSize>(n));
}
