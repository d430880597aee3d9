#include "Setup/Data/fileList.hpp"

#include "El/QStream/serializeBin.hpp"

#include <climits>
#include <cstring>

void FileListRecord::SerializeBin(SerializeBinStream &stream)
{
  stream.transferListString(name);
  stream.transfer(size);
  char number = static_cast<char>(archiveNumber);
  stream.transfer(number);
  archiveNumber = static_cast<std::int8_t>(number);
}

bool ReadFileList(const void *bytes, std::size_t size, AutoArray<FileListRecord> &records)
{
  records.Clear();
  if (size > INT_MAX)
    return false;
  // The count is stored unsigned; one beyond the signed range would read as
  // negative, that is as a complete empty list, and hide the damage.
  if (size >= 4 && static_cast<const unsigned char *>(bytes)[3] >= 0x80)
    return false;
  QIStrStream in(bytes, static_cast<int>(size));
  SerializeBinStream stream(&in);
  stream.transfer(records);
  return !in.eof() && stream.error() == SerializeBinStream::EOK;
}

bool WriteFileList(QOStream &out, AutoArray<FileListRecord> &records)
{
  SerializeBinStream stream(&out);
  stream.transfer(records);
  return !out.Failed() && stream.error() == SerializeBinStream::EOK;
}

namespace
{
char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the first length bytes of a and b agree, letter case aside; a must
// hold at least length bytes.
bool SameBlind(const char *a, const char *b, std::size_t length)
{
  for (std::size_t i = 0; i < length; ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  return true;
}
} // namespace

std::int8_t ArchiveNumberIn(const AutoArray<FileListRecord> &records, const char *name)
{
  std::size_t length = std::strlen(name);
  for (const FileListRecord &record : records)
    if (static_cast<std::size_t>(record.name.GetLength()) == length && SameBlind(record.name, name, length))
      return record.archiveNumber;
  return -1;
}

bool NamesNumberedArchives(const AutoArray<FileListRecord> &records)
{
  for (const FileListRecord &record : records)
    if (record.archiveNumber > 0)
      return true;
  return false;
}

std::vector<const FileListRecord *> RecordsUnder(const AutoArray<FileListRecord> &records, const char *folder)
{
  std::vector<const FileListRecord *> under;
  std::size_t length = std::strlen(folder);
  for (const FileListRecord &record : records)
    if (static_cast<std::size_t>(record.name.GetLength()) >= length && SameBlind(record.name, folder, length))
      under.push_back(&record);
  return under;
}
