// Reads arbitrary bytes through the gzip stream, as the installer reads a
// ".gz" bank member. Whatever the headers, lengths and deflate data say, the
// stream must neither crash nor read outside its input; data without the
// gzip magic passes through unchanged, and a first member that zlib itself
// inflates whole must come out the same.
#include "El/QStream/gzStream.hpp"
#include "fuzz/fuzzCheck.hpp"
#include "tests/support/quietFrame.hpp"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace
{

// Inflated output beyond this is not looked at: a small input may inflate
// a thousandfold.
constexpr std::size_t OutputLimit = 8u << 20;

// zlib's own reading of the first gzip member; false unless it ends soundly.
bool ZlibFirstMember(const std::uint8_t *data, std::size_t size, std::string &out)
{
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
    return false;
  z.next_in = const_cast<Bytef *>(data);
  z.avail_in = static_cast<uInt>(size);
  char block[16384];
  int result = Z_OK;
  while (result == Z_OK && out.size() < OutputLimit)
  {
    z.next_out = reinterpret_cast<Bytef *>(block);
    z.avail_out = sizeof block;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(block, sizeof block - z.avail_out);
  }
  inflateEnd(&z);
  return result == Z_STREAM_END;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame quiet;
  if (size == 0)
    return 0;
  // The first byte picks the read size, so segment edges fall everywhere.
  int chunk = 1 + data[0] * 37;
  QIGzStream stream(new QIStrStream(data + 1, static_cast<int>(size - 1)));
  std::string out;
  std::string piece(static_cast<std::size_t>(chunk), '\0');
  for (int got; out.size() < OutputLimit && (got = stream.read(piece.data(), chunk)) > 0;)
    out.append(piece.data(), static_cast<std::size_t>(got));

  const std::uint8_t *input = data + 1;
  std::size_t length = size - 1;
  if (length < 2 || input[0] != 0x1F || input[1] != 0x8B)
  {
    Check(!stream.DataError());
    Check(out.size() == length && std::memcmp(out.data(), input, length) == 0);
    return 0;
  }
  std::string expected;
  if (ZlibFirstMember(input, length, expected) && expected.size() < OutputLimit)
    Check(out.compare(0, expected.size(), expected) == 0);
  return 0;
}
