// Reads the trailer of archives appended to a host file from arbitrary bytes,
// as the installer reads its own executable's end. Whatever the length,
// count and sizes say, the entries must lie inside the bytes before the
// marker, one right after the other, and never number more than the
// archives a file can name.
#include "Setup/Data/archiveTrailer.hpp"
#include "fuzz/fuzzCheck.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  ArchiveHostMemory host(data, size);
  std::vector<ArchiveEntry> entries = ReadArchiveTrailer(host);
  Check(entries.size() <= static_cast<std::size_t>(MaxArchiveNumber));
  if (entries.empty())
    return 0;
  // The marker follows the last bank listed, or the banks beyond the kept
  // ones; either way every kept entry ends before the trailer starts.
  std::uint64_t trailerStart = size - 4 -
                               (std::uint64_t(data[size - 4]) | std::uint64_t(data[size - 3]) << 8 |
                                std::uint64_t(data[size - 2]) << 16 | std::uint64_t(data[size - 1]) << 24);
  for (std::size_t k = 0; k < entries.size(); ++k)
  {
    Check(entries[k].start + entries[k].size <= trailerStart);
    if (k > 0)
      Check(entries[k - 1].start + entries[k - 1].size == entries[k].start);
  }
  return 0;
}
