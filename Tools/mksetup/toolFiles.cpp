#include "Tools/mksetup/toolFiles.hpp"

#include "El/QStream/qStream.hpp"
#include "Tools/mksetup/commandLine.hpp"

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

bool RegularFileSize(const std::string &name, std::uint32_t &size)
{
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(name, error);
  if (error || !std::filesystem::exists(status))
  {
    ToolMessage("cannot open %s: no such file", name.c_str());
    return false;
  }
  if (!std::filesystem::is_regular_file(status))
  {
    ToolMessage("%s is not a regular file", name.c_str());
    return false;
  }
  std::uintmax_t fullSize = std::filesystem::file_size(name, error);
  if (error)
  {
    ToolMessage("cannot read the size of %s: %s", name.c_str(), error.message().c_str());
    return false;
  }
  if (fullSize > std::numeric_limits<std::uint32_t>::max())
  {
    ToolMessage("%s is too large (4 GiB or more)", name.c_str());
    return false;
  }
  size = static_cast<std::uint32_t>(fullSize);
  return true;
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
