#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An output file written under a temporary name beside its final name and
// renamed into place by Commit, so that a run that fails part way leaves
// neither a partial file nor a damaged earlier version behind. The temporary
// file goes with the object unless it was committed.
class ReplacingFile
{
public:
  explicit ReplacingFile(std::string finalName);
  ReplacingFile(const ReplacingFile &) = delete;
  ReplacingFile &operator=(const ReplacingFile &) = delete;
  ~ReplacingFile();

  const char *TemporaryName() const { return _temporary.c_str(); }
  // Renames the temporary file onto the final name (replacing a file there);
  // false with a message when that fails.
  bool Commit();

private:
  std::string _final;
  std::string _temporary;
  bool _committed = false;
};

// The size of a regular file (symbolic links followed); false with a message
// when name is missing, not a regular file, or too large for the stream
// library's 32-bit sizes.
bool RegularFileSize(const std::string &name, std::uint32_t &size);
// The same without the message: empty when size was set, else the problem
// (for threads, whose messages would come out in any order).
std::string RegularFileProblem(const std::string &name, std::uint32_t &size);

// Reads a whole file of the given size through the stream library; false with
// a message when fewer bytes could be read.
bool ReadWholeFile(const std::string &name, std::uint32_t size, std::string &bytes);

// A regular file below a folder: its name there, "\" separated as the
// installer writes paths, and its path for opening it.
struct FolderFile
{
  std::string name;
  std::string path;
};

// Every regular file below rootName, sorted by the bytes of their names,
// leaving out the file outName (an earlier output of the command inside the
// folder). False with a message when the folder cannot be listed, or when a
// file's name holds a "\" that the installer would read as a separator.
bool CollectFolderFiles(const std::string &rootName, const std::string &outName, std::vector<FolderFile> &files);

// False with a message naming both when two files' names fold to the same
// text: the installer, which looks names up blind to letter case, would find
// only one of them. kind names the output in the message ("bank").
bool NamesDistinctWhenFolded(const std::vector<FolderFile> &files, std::string (*fold)(const std::string &),
                             const char *kind);

// False with a message when a name holds a byte 255, at which the file
// list's reader stops a name.
bool FileListNamesReadable(const std::vector<FolderFile> &files);
