// Unpacks arbitrary bytes as LZSS data: the first two bytes give the unpacked
// size (0..65535), the rest is the packed stream. The memory decoder, the
// stream decoder, the discarding decoder and the unpacking stream must agree
// on the verdict and its message, and those that keep the bytes on what they
// unpacked. The unpacking stream is read in pieces of changing sizes, small
// ones through its segments and large ones straight into the reader's memory,
// each into a buffer of exactly its size.
#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include "Es/Framework/appFrame.hpp"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// Keeps the message of the last report instead of printing it. Check
// failures arrive as "%s(%d) : %s" (source, line, message); the line differs
// between the decoders, the message must not.
class QuietFrame : public AppFrameFunctions
{
public:
  void Log(const char *format, va_list argptr) override
  {
    if (std::strcmp(format, "%s(%d) : %s") != 0)
    {
      last = format;
      return;
    }
    va_list arguments;
    va_copy(arguments, argptr);
    (void)va_arg(arguments, const char *);
    (void)va_arg(arguments, int);
    last = va_arg(arguments, const char *);
    va_end(arguments);
  }

  std::string Take()
  {
    std::string message;
    message.swap(last);
    return message;
  }

  std::string last;
};

// Reads the unpacking stream to its end; answers whether it found the data
// sound. Large pieces are read directly once the current segment is used up,
// as QIStream::read does from 64 KiB on.
bool ReadUnpacked(QILzssStream &stream, long n, std::vector<char> &unpacked)
{
  static const int pieces[] = {1, 4096, 3, 17, 70000, 4095, 1000, 5000, 2, 40000};
  std::vector<char> piece;
  std::uint32_t seed = static_cast<std::uint32_t>(n);
  for (;;)
  {
    seed = seed * 1664525u + 1013904223u;
    int size = pieces[(seed >> 16) % (sizeof pieces / sizeof pieces[0])];
    piece.assign(static_cast<std::size_t>(size), '\0');
    const StreamSegment &segment = stream.CurrentSegment();
    bool direct = size >= 4096 && stream.tellg() == segment.start + segment.length;
    int got = direct ? static_cast<int>(stream.ReadDirect(piece.data(), stream.tellg(), static_cast<QFileSize>(size)))
                     : stream.read(piece.data(), size);
    if (got <= 0)
      break;
    unpacked.insert(unpacked.end(), piece.begin(), piece.begin() + got);
  }
  if (stream.DataError() && !stream.fail())
    std::abort();
  return !stream.DataError() && unpacked.size() == static_cast<std::size_t>(n);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame frame;
  static AppFrameFunctions *previous = SetAppFrameFunctions(&frame);
  (void)previous;

  if (size < 2 || size > INT32_MAX)
    return 0;
  long n = data[0] | data[1] << 8;
  const char *packed = reinterpret_cast<const char *>(data + 2);
  int packedSize = static_cast<int>(size - 2);

  // Exactly n bytes each, so that a write past the end is caught.
  std::vector<char> fromMemory(static_cast<std::size_t>(n));
  std::vector<char> fromStream(static_cast<std::size_t>(n));

  bool memoryOk = SSCompress().decode(fromMemory.data(), n, packed, packedSize);
  std::string memoryMessage = frame.Take();

  QIStrStream stream(packed, packedSize);
  bool streamOk = SSCompress().decode(fromStream.data(), n, stream);
  std::string streamMessage = frame.Take();

  QIStrStream skipped(packed, packedSize);
  bool discardOk = SSCompress().decodeDiscard(n, skipped);
  std::string discardMessage = frame.Take();

  QILzssStream unpacking(new QIStrStream(packed, packedSize), static_cast<std::uint64_t>(n));
  std::vector<char> fromUnpacking;
  bool unpackingOk = ReadUnpacked(unpacking, n, fromUnpacking);
  std::string unpackingMessage = frame.Take();

  if (memoryOk != streamOk || memoryOk != discardOk || memoryOk != unpackingOk || memoryMessage != streamMessage ||
      memoryMessage != discardMessage || memoryMessage != unpackingMessage)
    std::abort();
  if (memoryOk && n > 0 && std::memcmp(fromMemory.data(), fromStream.data(), fromMemory.size()) != 0)
    std::abort();
  // Whatever the unpacking stream delivered, also before a fault, is what
  // the memory decoder wrote there.
  if (fromUnpacking.size() > fromMemory.size() ||
      (!fromUnpacking.empty() && std::memcmp(fromMemory.data(), fromUnpacking.data(), fromUnpacking.size()) != 0))
    std::abort();
  // Data that unpacked consumed itself exactly: whatever follows stays unread.
  if (streamOk && stream.tellg() != skipped.tellg())
    std::abort();
  if (n == 0 && stream.tellg() != 0)
    std::abort();
  return 0;
}
