// Reads a file list from arbitrary bytes: a 32-bit count, then that many
// entries of (name, size, archive number), the shape setup reads from its
// data bank. Whatever the count says, reading must stop where the data ends
// without crashing or allocating for entries that are not there.
#include "El/QStream/serializeBin.hpp"
#include "tests/support/quietFrame.hpp"

#include "Es/Framework/appFrame.hpp"

#include <cstddef>
#include <cstdint>

namespace
{
// Damaged input is reported on the frame; the reports are not wanted here.
struct ListEntry
{
  RString name;
  std::int32_t size = 0;
  unsigned char archive = 0;

  void SerializeBin(SerializeBinStream &stream)
  {
    stream.transferListString(name);
    stream.transfer(size);
    stream.transfer(archive);
  }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame frame;

  if (size > INT32_MAX)
    return 0;
  QIStrStream in(data, static_cast<int>(size));
  SerializeBinStream stream(&in);
  AutoArray<ListEntry> list;
  stream.transfer(list);

  // An entry takes at least 6 bytes (an empty name's terminator, the size and
  // the archive number) after the 4 of the count: anything more was invented.
  if (list.Size() > 0 && 4 + static_cast<std::size_t>(list.Size()) * 6 > size)
    __builtin_trap();
  return 0;
}
