#include "Tools/mksetup/toolFiles.hpp"

#include "El/QStream/qStream.hpp"
#include "Tools/mksetup/commandLine.hpp"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

ReplacingFile::ReplacingFile(std::string finalName) : _final(std::move(finalName))
{
  // A name of its own: a file beside the output may well be called
  // "<name>.partial" (a member extracted a moment ago, say).
  _temporary = _final + ".partial";
  std::error_code error;
  for (int attempt = 1; std::filesystem::exists(std::filesystem::symlink_status(_temporary, error)); ++attempt)
    _temporary = _final + ".partial" + std::to_string(attempt);
}

ReplacingFile::~ReplacingFile()
{
  if (_committed)
    return;
  std::error_code error;
  std::filesystem::remove(_temporary, error);
}

bool ReplacingFile::Commit()
{
  std::error_code error;
  std::filesystem::rename(_temporary, _final, error);
  if (error)
  {
    ToolMessage("cannot rename %s to %s: %s", _temporary.c_str(), _final.c_str(), error.message().c_str());
    return false;
  }
  _committed = true;
  return true;
}

std::string RegularFileProblem(const std::string &name, std::uint32_t &size)
{
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(name, error);
  if (error || !std::filesystem::exists(status))
    return "cannot open " + name + ": no such file";
  if (!std::filesystem::is_regular_file(status))
    return name + " is not a regular file";
  std::uintmax_t fullSize = std::filesystem::file_size(name, error);
  if (error)
    return "cannot read the size of " + name + ": " + error.message();
  if (fullSize > std::numeric_limits<std::uint32_t>::max())
    return name + " is too large (4 GiB or more)";
  size = static_cast<std::uint32_t>(fullSize);
  return {};
}

bool RegularFileSize(const std::string &name, std::uint32_t &size)
{
  std::string problem = RegularFileProblem(name, size);
  if (problem.empty())
    return true;
  ToolMessage("%s", problem.c_str());
  return false;
}

bool ReadWholeFile(const std::string &name, std::uint32_t size, std::string &bytes)
{
  QIFStream in;
  in.open(name.c_str());
  if (in.fail())
  {
    ToolMessage("cannot open %s", name.c_str());
    return false;
  }
  bytes.resize(size);
  std::uint32_t done = 0;
  while (done < size)
  {
    constexpr std::uint32_t block = 1u << 20;
    std::uint32_t want = size - done < block ? size - done : block;
    int got = in.read(bytes.data() + done, static_cast<int>(want));
    if (got <= 0)
      break;
    done += static_cast<std::uint32_t>(got);
  }
  if (done != size)
  {
    ToolMessage("cannot read %s (%u of %u bytes read)", name.c_str(), static_cast<unsigned>(done),
                static_cast<unsigned>(size));
    return false;
  }
  return true;
}

namespace
{
// The name of a file below the folder, "\" separated; false with a message
// for a name the installer would split.
bool FolderFileNameOf(const std::filesystem::path &relative, std::string &name)
{
  name.clear();
  for (const std::filesystem::path &component : relative)
  {
    std::string text = component.string();
#ifndef _WIN32
    // "\" separates folders for the installer: a file called "a\b" would be
    // taken for the file b in a folder a.
    if (text.find('\\') != std::string::npos)
    {
      ToolMessage("cannot take %s: '\\' in a file name reads as a folder separator", relative.string().c_str());
      return false;
    }
#endif
    if (!name.empty())
      name += '\\';
    name += text;
  }
  return true;
}
} // namespace

bool CollectFolderFiles(const std::string &rootName, const std::string &outName, std::vector<FolderFile> &files)
{
  namespace fs = std::filesystem;
  fs::path root(rootName);
  std::error_code error;
  if (!fs::is_directory(root, error))
  {
    ToolMessage("%s is not a folder", rootName.c_str());
    return false;
  }
  fs::path out(outName);
  bool outExists = fs::exists(out, error);

  fs::recursive_directory_iterator it(root, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error))
  {
    const fs::directory_entry &entry = *it;
    std::error_code entryError;
    if (!entry.is_regular_file(entryError))
      continue;
    if (outExists && fs::equivalent(entry.path(), out, entryError))
      continue;
    FolderFile file;
    if (!FolderFileNameOf(entry.path().lexically_relative(root), file.name))
      return false;
    file.path = entry.path().string();
    files.push_back(std::move(file));
  }
  if (error)
  {
    ToolMessage("cannot list %s: %s", rootName.c_str(), error.message().c_str());
    return false;
  }
  std::sort(files.begin(), files.end(), [](const FolderFile &a, const FolderFile &b) { return a.name < b.name; });
  return true;
}

bool NamesDistinctWhenFolded(const std::vector<FolderFile> &files, std::string (*fold)(const std::string &),
                             const char *kind)
{
  std::vector<std::pair<std::string, const FolderFile *>> folded;
  for (const FolderFile &file : files)
    folded.emplace_back(fold(file.name), &file);
  std::sort(folded.begin(), folded.end());
  for (std::size_t i = 1; i < folded.size(); ++i)
    if (folded[i].first == folded[i - 1].first)
    {
      ToolMessage("cannot take both %s and %s: %s names ignore case", folded[i - 1].second->name.c_str(),
                  folded[i].second->name.c_str(), kind);
      return false;
    }
  return true;
}

bool FileListNamesReadable(const std::vector<FolderFile> &files)
{
  for (const FolderFile &file : files)
    if (file.name.find('\xFF') != std::string::npos)
    {
      ToolMessage("cannot list %s: a byte 255 would end its name in a file list", file.name.c_str());
      return false;
    }
  return true;
}
