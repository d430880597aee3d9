#pragma once

#include "Es/Containers/array.hpp"
#include "Es/Strings/rString.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

class QOStream;
class SerializeBinStream;

// One record of the file list: which archive holds a source file. The list
// is stored as a 32-bit count followed by the records, each a zero-terminated
// name, a 32-bit size and an 8-bit archive number, all little-endian.
struct FileListRecord
{
  // Relative to the source root, with backslashes, in the ANSI code page.
  RString name;
  std::int32_t size = 0;
  // -1 a plain file, 0 a named resource, 1..127 a numbered archive.
  std::int8_t archiveNumber = -1;

  void SerializeBin(SerializeBinStream &stream);
};

struct ArchiveFileList
{
  AutoArray<FileListRecord> records;
  // Set once the list was read; a missing list leaves it clear, so later
  // lookups try again.
  bool loaded = false;
};

// Reads a stored list; false when the data ends before the records its count
// announces, with the whole records read until then kept (a lying count
// never reserves memory for records that are not there). A count of 2^31 or
// more is refused before any record is read.
bool ReadFileList(const void *bytes, std::size_t size, AutoArray<FileListRecord> &records);
// Writes the stored form; false when the stream failed.
bool WriteFileList(QOStream &out, AutoArray<FileListRecord> &records);

// Lookups over ANSI names, blind to ASCII letter case (the names are plain
// ASCII in practice).
// The archive number of the first record of that name; -1 when none.
std::int8_t ArchiveNumberIn(const AutoArray<FileListRecord> &records, const char *name);
// Whether some record lies in a numbered archive (number above 0).
bool NamesNumberedArchives(const AutoArray<FileListRecord> &records);
// The records whose names begin with folder, in list order. A plain prefix
// test: "data" also selects "database\x".
std::vector<const FileListRecord *> RecordsUnder(const AutoArray<FileListRecord> &records, const char *folder);
