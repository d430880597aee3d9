#include "Tools/mksetup/fileBytes.hpp"

namespace
{
bool SeekTo(std::FILE *file, std::uint64_t offset)
{
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool SizeOf(std::FILE *file, std::uint64_t &size)
{
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0)
    return false;
  __int64 end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0)
    return false;
  off_t end = ftello(file);
#endif
  if (end < 0)
    return false;
  size = static_cast<std::uint64_t>(end);
  return true;
}
} // namespace

FileBytes::~FileBytes()
{
  if (_file)
    std::fclose(_file);
}

bool FileBytes::Open(const std::string &name)
{
  if (_file)
    std::fclose(_file);
  _size = 0;
  _file = std::fopen(name.c_str(), "rb");
  if (!_file)
    return false;
  if (!SizeOf(_file, _size))
  {
    std::fclose(_file);
    _file = nullptr;
    return false;
  }
  return true;
}

bool FileBytes::ReadAt(std::uint64_t offset, void *destination, std::size_t count)
{
  if (!_file || offset > _size || count > _size - offset)
    return false;
  if (count == 0)
    return true;
  return SeekTo(_file, offset) && std::fread(destination, 1, count, _file) == count;
}
