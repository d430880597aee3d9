#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "Setup/Data/fileList.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// A file list names every source file once; far smaller than this in
// practice. Anything larger is not read into memory.
constexpr std::uint32_t MaxListFileSize = 64u << 20;

constexpr int DefaultArchiveNumber = 1;

struct ListedFile
{
  // The record name: the path below the folder, "\" separated.
  std::string name;
  std::string path;
  std::int8_t archiveNumber = DefaultArchiveNumber;
};

// An archive number as written on the command line: an optional minus sign
// and decimal digits, in -1..127.
bool ParseArchiveNumber(const std::string &text, std::int8_t &number)
{
  bool negative = !text.empty() && text[0] == '-';
  unsigned long long magnitude = 0;
  if (!ParseDecimal(text.substr(negative ? 1 : 0), magnitude) || magnitude > (negative ? 1u : 127u))
    return false;
  number = static_cast<std::int8_t>(negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude));
  return true;
}

// The installer's lookups fold ASCII letters only.
std::string Folded(const std::string &name)
{
  std::string folded = name;
  for (char &c : folded)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

struct ArchiveOverride
{
  std::string name;
  std::int8_t archiveNumber;
};

// Reads the --archive and --archive-of options; answers ExitSuccess or the
// usage error already reported.
int ReadArchiveOptions(const Arguments &arguments, std::int8_t &archiveNumber, std::vector<ArchiveOverride> &overrides)
{
  std::vector<std::string> archive = arguments.Values("archive");
  if (archive.size() > 1)
    return arguments.UsageError("--archive is given more than once");
  if (!archive.empty() && !ParseArchiveNumber(archive[0], archiveNumber))
    return arguments.UsageError("--archive wants an integer from -1 to 127, not '%s'", archive[0].c_str());
  for (const std::string &pair : arguments.Values("archive-of"))
  {
    // The number is after the last "=": a file name may hold one.
    std::size_t equals = pair.rfind('=');
    ArchiveOverride entry{};
    if (equals == std::string::npos || equals == 0 || !ParseArchiveNumber(pair.substr(equals + 1), entry.archiveNumber))
      return arguments.UsageError("--archive-of wants NAME=N with a name and an integer N from -1 to 127, not '%s'",
                                  pair.c_str());
    entry.name = pair.substr(0, equals);
    std::replace(entry.name.begin(), entry.name.end(), '/', '\\');
    for (const ArchiveOverride &earlier : overrides)
      if (earlier.name == entry.name)
        return arguments.UsageError("--archive-of names %s more than once", entry.name.c_str());
    overrides.push_back(std::move(entry));
  }
  return ExitSuccess;
}
} // namespace

int RunFileListCreate(const Arguments &arguments)
{
  const std::string &outName = arguments[0];
  const std::string &folderName = arguments[1];
  std::int8_t archiveNumber = DefaultArchiveNumber;
  std::vector<ArchiveOverride> overrides;
  if (int status = ReadArchiveOptions(arguments, archiveNumber, overrides); status != ExitSuccess)
    return status;

  std::vector<FolderFile> folderFiles;
  if (!CollectFolderFiles(folderName, outName, folderFiles) || !FileListNamesReadable(folderFiles) ||
      !NamesDistinctWhenFolded(folderFiles, Folded, "file list"))
    return ExitFailure;
  std::vector<ListedFile> files;
  for (FolderFile &file : folderFiles)
    files.push_back({std::move(file.name), std::move(file.path), archiveNumber});
  for (const ArchiveOverride &entry : overrides)
  {
    auto found =
        std::find_if(files.begin(), files.end(), [&](const ListedFile &file) { return file.name == entry.name; });
    if (found == files.end())
      return ToolFailure("--archive-of names %s, which is no file below %s", entry.name.c_str(), folderName.c_str());
    found->archiveNumber = entry.archiveNumber;
  }

  AutoArray<FileListRecord> records;
  for (const ListedFile &file : files)
  {
    std::uint32_t size = 0;
    if (!RegularFileSize(file.path, size))
      return ExitFailure;
    FileListRecord record;
    record.name = RString(file.name.data(), static_cast<int>(file.name.size()));
    // The field is signed; sizes of 2 GiB and more are stored as their bits.
    record.size = static_cast<std::int32_t>(size);
    record.archiveNumber = file.archiveNumber;
    records.Add(std::move(record));
  }

  ReplacingFile list(outName);
  QOFStream out(list.TemporaryName());
  if (out.Failed())
    return ToolFailure("cannot create %s: %s", list.TemporaryName(), LSErrorText(out.error()));
  if (!WriteFileList(out, records))
    return ToolFailure("cannot write the file list %s", outName.c_str());
  if (out.Close() != 0 || out.Failed())
    return ToolFailure("cannot write %s: %s", list.TemporaryName(), LSErrorText(out.error()));
  return list.Commit() ? ExitSuccess : ExitFailure;
}

int RunFileListList(const Arguments &arguments)
{
  WriteBinaryStandardOutput();
  const std::string &name = arguments[0];
  std::uint32_t size = 0;
  if (!RegularFileSize(name, size))
    return ExitFailure;
  if (size > MaxListFileSize)
    return ToolFailure("%s is too large for a file list (%u bytes; at most %u)", name.c_str(),
                       static_cast<unsigned>(size), static_cast<unsigned>(MaxListFileSize));
  std::string bytes;
  if (!ReadWholeFile(name, size, bytes))
    return ExitFailure;

  AutoArray<FileListRecord> records;
  bool whole = ReadFileList(bytes.data(), bytes.size(), records);
  // What was read comes out even when the rest is damaged: it shows where.
  for (const FileListRecord &record : records)
    std::printf("%s\t%u\t%d\n", record.name.Data(), static_cast<unsigned>(static_cast<std::uint32_t>(record.size)),
                static_cast<int>(record.archiveNumber));
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the list");
  if (whole)
    return ExitSuccess;
  if (bytes.size() < 4)
    return ToolFailure("%s is not a file list: it is too short to hold the record count", name.c_str());
  std::uint32_t count = 0;
  for (int i = 3; i >= 0; --i)
    count = count << 8 | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  return ToolFailure("%s is damaged: record %d of the %u its count announces is missing or cut short", name.c_str(),
                     records.Size() + 1, static_cast<unsigned>(count));
}
