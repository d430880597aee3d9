#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Archives appended to a host file (the installer's own executable or its
// resource module) are found through a trailer at the very end of the file,
// little-endian throughout:
//
//   bank 1 ... bank N     the archives' bytes, one after the other, no gaps
//   "BANK" and a zero     5 bytes: the marker, right after bank N
//   N                     uint32, the number of archives
//   size_1 ... size_N     uint32 each, the archives' sizes in order
//   L                     uint32, 5 + 4 + 4N: the length of marker, N and sizes
//
// Whatever precedes bank 1 (the executable image) is not the trailer's.

// Where archive k (entry k - 1) lies in the host file.
struct ArchiveEntry
{
  std::uint64_t start = 0;
  std::uint32_t size = 0;
};

// Archive numbers go up to this; a trailer may list more archives, but those
// beyond it cannot be named by any file and are not kept.
inline constexpr int MaxArchiveNumber = 127;

// Random access to the host file's bytes.
class ArchiveHostBytes
{
public:
  virtual ~ArchiveHostBytes() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly count bytes at offset; false when they are not all there.
  virtual bool ReadAt(std::uint64_t offset, void *destination, std::size_t count) = 0;
};

// The archives a valid trailer lists, at most MaxArchiveNumber of them.
// Anything else yields no entries: a file too short for a trailer, a length
// field that does not match the count it covers or reaches before the file's
// start, a marker other than exactly "BANK" and a zero byte, or sizes that add
// up to more than the bytes before the marker. Nothing is allocated from a
// size field: the sizes are read in small blocks.
std::vector<ArchiveEntry> ReadArchiveTrailer(ArchiveHostBytes &host);

// The trailer that lists archives of these sizes, to be written right after
// the last of them.
std::string ArchiveTrailerFor(const std::vector<std::uint32_t> &sizes);

// The host's bytes held in memory.
class ArchiveHostMemory : public ArchiveHostBytes
{
public:
  ArchiveHostMemory(const void *bytes, std::size_t size)
      : _bytes(static_cast<const unsigned char *>(bytes)), _size(size)
  {
  }
  std::uint64_t Size() const override { return _size; }
  bool ReadAt(std::uint64_t offset, void *destination, std::size_t count) override;

private:
  const unsigned char *_bytes;
  std::size_t _size;
};
