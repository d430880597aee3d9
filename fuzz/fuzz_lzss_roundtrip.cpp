// Packs arbitrary bytes with the LZSS encoder and unpacks them again with
// every decoder: each must give the input back, and the stream decoders must
// stop exactly at the end of the packed data.
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"
#include "tests/support/quietFrame.hpp"

#include "Es/Framework/appFrame.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
// Nothing should be reported here; a report is followed by a mismatch anyway.
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame frame;

  if (size > (1u << 24))
    return 0;
  QIStrStream in(data, static_cast<int>(size));
  QOStrStream out;
  SSCompress().encode(out, in);
  const char *packed = out.str();
  int packedSize = static_cast<int>(out.pcount());
  long n = static_cast<long>(size);

  // Never more than one flag byte per eight literals, plus the checksum.
  if (size == 0 ? packedSize != 0 : static_cast<std::size_t>(packedSize) > size + (size + 7) / 8 + 4)
    std::abort();

  std::vector<char> unpacked(size);
  if (!SSCompress().decode(unpacked.data(), n, packed, packedSize) ||
      (size > 0 && std::memcmp(unpacked.data(), data, size) != 0))
    std::abort();

  std::vector<char> streamed(size);
  QIStrStream stream(packed, packedSize);
  if (!SSCompress().decode(streamed.data(), n, stream) || (size > 0 && std::memcmp(streamed.data(), data, size) != 0) ||
      stream.tellg() != static_cast<QFileSize>(packedSize))
    std::abort();

  QIStrStream skipped(packed, packedSize);
  if (!SSCompress().decodeDiscard(n, skipped) || skipped.tellg() != static_cast<QFileSize>(packedSize))
    std::abort();
  return 0;
}
