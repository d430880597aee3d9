#pragma once

#include <cstddef>
#include <cstdint>

// The checksum that verifies installed files: CRC-32 taken most significant
// bit first (polynomial 0x04C11DB7, no bit reflection, start value and final
// complement 0xFFFFFFFF; the parameters known as CRC-32/BZIP2). It is not
// zlib's crc32, which reflects its bits. "123456789" gives 0xFC891918.
class Crc32Table
{
public:
  Crc32Table() { Crc32Reset(); }

  void Crc32Reset() { _value = 0xFFFFFFFFu; }
  void Crc32Update(const void *bytes, std::size_t count);
  std::uint32_t Crc32Value() const { return ~_value; }

  // The byte table: entry i is i shifted to the top byte and divided by the
  // polynomial.
  static const std::uint32_t *Table();

private:
  std::uint32_t _value;
};

// The checksum of a whole buffer.
std::uint32_t Crc32Of(const void *bytes, std::size_t count);

// The table path alone, which Crc32Update takes for short inputs and on
// processors without carry-less multiply. `running` is the register before the
// final complement (0xFFFFFFFF at the start); returns the register after
// `count` more bytes. For tests and the benchmark, to reach this path on a
// machine where Crc32Update would fold.
std::uint32_t Crc32SlicedUpdate(std::uint32_t running, const void *bytes, std::size_t count);
