// Opens arbitrary bytes as a bank held in memory, loads its table and reads
// every member through a stream, as the installer unpacks an embedded bank.
#include "El/QStream/qbStream.hpp"
#include "tests/support/quietFrame.hpp"

#include <cstddef>
#include <cstdint>

namespace
{
void ReadMember(const QFBankEntry &entry, QFBank &bank, void *)
{
  QIFStreamB stream;
  if (!stream.openInBank(bank, entry.name))
    return;
  char block[65536 + 17];
  while (stream.read(block, sizeof block) > 0)
  {
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame quiet;
  QFBank bank;
  if (!bank.OpenMemory(new FileBufferFromMemory(data, static_cast<QFileSize>(size)), nullptr, nullptr))
    return 0;
  // A prefix from the data would send the plain-file scan over the real
  // disk ("/" is an easy find); keep the scan, on a folder that is not there.
  if (!bank.GetPrefix().IsEmpty())
    bank.SetPrefix("fuzz-no-such-folder\\");
  bank.ForEachEntry(ReadMember, nullptr);
  return 0;
}
