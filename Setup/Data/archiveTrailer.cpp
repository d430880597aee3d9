#include "Setup/Data/archiveTrailer.hpp"

#include <algorithm>
#include <cstring>

namespace
{
constexpr unsigned char Marker[5] = {'B', 'A', 'N', 'K', 0};
constexpr std::uint64_t MarkerSize = sizeof Marker;
constexpr std::uint64_t FieldSize = 4;

std::uint32_t LittleEndian32(const unsigned char *bytes)
{
  return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
         std::uint32_t(bytes[3]) << 24;
}

bool Read32(ArchiveHostBytes &host, std::uint64_t offset, std::uint32_t &value)
{
  unsigned char bytes[FieldSize];
  if (!host.ReadAt(offset, bytes, sizeof bytes))
    return false;
  value = LittleEndian32(bytes);
  return true;
}
} // namespace

std::vector<ArchiveEntry> ReadArchiveTrailer(ArchiveHostBytes &host)
{
  std::uint64_t fileSize = host.Size();
  std::uint32_t length = 0;
  if (fileSize < FieldSize || !Read32(host, fileSize - FieldSize, length))
    return {};
  // The length covers the marker and the count at least, and the whole
  // trailer lies inside the file.
  if (length < MarkerSize + FieldSize || length > fileSize - FieldSize)
    return {};
  std::uint64_t markerAt = fileSize - FieldSize - length;
  unsigned char marker[MarkerSize];
  std::uint32_t count = 0;
  if (!host.ReadAt(markerAt, marker, sizeof marker) || std::memcmp(marker, Marker, sizeof marker) != 0 ||
      !Read32(host, markerAt + MarkerSize, count))
    return {};
  if (length != MarkerSize + FieldSize + FieldSize * std::uint64_t(count))
    return {};

  // Bank k starts where the sizes of banks k to N, taken back from the
  // marker, begin; the banks before the marker must hold them all.
  std::vector<ArchiveEntry> entries;
  entries.reserve(std::min<std::uint32_t>(count, MaxArchiveNumber));
  std::uint64_t total = 0;
  unsigned char block[4096];
  std::uint64_t sizesAt = markerAt + MarkerSize + FieldSize;
  for (std::uint32_t done = 0; done < count;)
  {
    std::uint32_t step = std::min<std::uint32_t>(count - done, sizeof block / FieldSize);
    if (!host.ReadAt(sizesAt + FieldSize * done, block, step * FieldSize))
      return {};
    for (std::uint32_t i = 0; i < step; ++i)
    {
      std::uint32_t size = LittleEndian32(block + FieldSize * i);
      total += size;
      if (done + i < MaxArchiveNumber)
        entries.push_back({total - size, size});
    }
    done += step;
    if (total > markerAt)
      return {};
  }
  std::uint64_t firstStart = markerAt - total;
  for (ArchiveEntry &entry : entries)
    entry.start += firstStart;
  return entries;
}

bool ArchiveHostMemory::ReadAt(std::uint64_t offset, void *destination, std::size_t count)
{
  if (offset > _size || count > _size - offset)
    return false;
  // An empty read may come with no destination at all.
  if (count > 0)
    std::memcpy(destination, _bytes + offset, count);
  return true;
}

std::string ArchiveTrailerFor(const std::vector<std::uint32_t> &sizes)
{
  std::string trailer(reinterpret_cast<const char *>(Marker), MarkerSize);
  auto put32 = [&trailer](std::uint64_t value)
  {
    for (int shift = 0; shift < 32; shift += 8)
      trailer += static_cast<char>((value >> shift) & 0xff);
  };
  put32(sizes.size());
  for (std::uint32_t size : sizes)
    put32(size);
  put32(trailer.size());
  return trailer;
}
