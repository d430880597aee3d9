// Reads a file list from arbitrary bytes through ReadFileList, as setup reads
// the list from its data bank: a 32-bit count, then that many records of
// (name, size, archive number). Whatever the count says, reading must stop
// where the data ends without crashing or allocating for records that are
// not there, and what was read must write and read back unchanged.
#include "El/QStream/qOStream.hpp"
#include "Setup/Data/fileList.hpp"
#include "fuzz/fuzzCheck.hpp"
#include "tests/support/quietFrame.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{

// The stored size of a record: name, terminator, size, archive number.
std::size_t StoredSize(const FileListRecord &record) { return static_cast<std::size_t>(record.name.GetLength()) + 6; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame quiet;

  AutoArray<FileListRecord> records;
  bool whole = ReadFileList(data, size, records);

  // A record takes at least 6 bytes (an empty name's terminator, the size and
  // the archive number) after the 4 of the count: anything more was invented.
  if (records.Size() > 0)
    Check(4 + static_cast<std::size_t>(records.Size()) * 6 <= size);
  // Room is made as records arrive, never from the count.
  Check(records.MaxSize() <= 2 * records.Size() || records.MaxSize() <= 1);

  std::int32_t count = 0;
  if (size >= 4)
    std::memcpy(&count, data, 4);
  Check(size >= 4 || (!whole && records.Empty()));
  Check(records.Size() <= (count > 0 ? count : 0));
  // A count from 2^31 up is refused, never read as an empty list.
  if (whole)
    Check(count >= 0 && records.Size() == count);

  std::size_t stored = 4;
  for (const FileListRecord &record : records)
  {
    // A name stops at a zero or 255 byte, so it holds neither.
    Check(std::strlen(record.name) == static_cast<std::size_t>(record.name.GetLength()));
    Check(!std::strchr(record.name, '\xFF'));
    stored += StoredSize(record);
  }
  Check(stored <= (size < 4 ? 4 : size));

  // What was read writes and reads back as it is.
  QOStrStream out;
  Check(WriteFileList(out, records));
  Check(static_cast<std::size_t>(out.pcount()) == stored);
  AutoArray<FileListRecord> again;
  Check(ReadFileList(out.str(), static_cast<std::size_t>(out.pcount()), again));
  Check(again.Size() == records.Size());
  for (int i = 0; i < records.Size(); ++i)
    Check(again[i].name == records[i].name && again[i].size == records[i].size &&
          again[i].archiveNumber == records[i].archiveNumber);
  return 0;
}
