#include "Tools/mksetup/mediumRead.hpp"

#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/mediumFiles.hpp"

#include <filesystem>

namespace fs = std::filesystem;

namespace
{
// No resource the installer reads comes near this; a larger size is a
// damaged directory, not a reason to allocate.
constexpr std::uint32_t MaxResourceSize = 256u << 20;
} // namespace

bool MediumReader::Open(const std::string &folder)
{
  _folder = folder;
  _installerPath = (fs::path(folder) / "setup.exe").string();
  if (!_installer.Open(_installerPath))
    return ToolMessage("cannot open %s", _installerPath.c_str()), false;
  std::string error;
  if (!_image.Read(_installer, error))
    return ToolMessage("%s is not an installer program: %s", _installerPath.c_str(), error.c_str()), false;
  _trailer = ReadArchiveTrailer(_installer);
  return true;
}

bool MediumReader::ResourceBytes(const std::string &name, std::string &bytes, std::string &problem)
{
  const PeResource *resource = _image.FindRcdata(name);
  if (!resource)
    return problem = "setup.exe has no resource " + name, false;
  if (resource->size > MaxResourceSize)
    return problem = "the resource " + name + " claims " + std::to_string(resource->size) + " bytes", false;
  bytes.resize(resource->size);
  if (!_installer.ReadAt(resource->fileOffset, bytes.data(), bytes.size()))
    return problem = "the resource " + name + " lies beyond the end of setup.exe", false;
  return true;
}

bool MediumReader::FileList(AutoArray<FileListRecord> &records, std::string &problem)
{
  std::string bytes;
  if (!ResourceBytes("SETUP_FILE_LIST", bytes, problem))
    return false;
  if (!ReadFileList(bytes.data(), bytes.size(), records))
    return problem = "the file list SETUP_FILE_LIST is damaged: record " + std::to_string(records.Size() + 1) +
                     " is missing or cut short",
           false;
  return true;
}

MediumReader::ArchivePlace MediumReader::PlaceOf(int n) const
{
  ArchivePlace place;
  // As the installer: a listed archive of size 0 is looked for as a file.
  if (n >= 1 && static_cast<std::size_t>(n) <= _trailer.size() && _trailer[static_cast<std::size_t>(n - 1)].size != 0)
  {
    const ArchiveEntry &entry = _trailer[static_cast<std::size_t>(n - 1)];
    place.path = _installerPath;
    place.region = true;
    place.start = entry.start;
    place.size = entry.size;
    place.shown = "setup.exe@" + std::to_string(entry.start);
    return place;
  }
  place.shown = ArchiveFileName(n);
  place.path = (fs::path(_folder) / place.shown).string();
  return place;
}

std::string MediumReader::PathInFolder(const std::string &name) const
{
  fs::path path(_folder);
  std::size_t start = 0;
  for (std::size_t end; (end = name.find('\\', start)) != std::string::npos; start = end + 1)
    path /= name.substr(start, end - start);
  return (path / name.substr(start)).string();
}
