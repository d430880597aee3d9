#include "Setup/Install/archiveTable.hpp"

#include "Es/Framework/appFrame.hpp"

#include <windows.h>

namespace
{
// The host file through the wide file API, so that a folder name the ANSI
// code page cannot hold still works.
class HostFile : public ArchiveHostBytes
{
public:
  explicit HostFile(const std::wstring &path)
      : _file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr))
  {
    LARGE_INTEGER size;
    if (_file != INVALID_HANDLE_VALUE && GetFileSizeEx(_file, &size))
      _size = static_cast<std::uint64_t>(size.QuadPart);
  }
  ~HostFile() override
  {
    if (_file != INVALID_HANDLE_VALUE)
      CloseHandle(_file);
  }
  HostFile(const HostFile &) = delete;
  HostFile &operator=(const HostFile &) = delete;

  std::uint64_t Size() const override { return _size; }
  bool ReadAt(std::uint64_t offset, void *destination, std::size_t count) override
  {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ReadFile(_file, destination, static_cast<DWORD>(count), &read, &at) && read == count;
  }

private:
  HANDLE _file;
  std::uint64_t _size = 0;
};
} // namespace

void ArchiveTable::LoadArchiveTable(const std::wstring &hostPath)
{
  HostFile host(hostPath);
  entries = ReadArchiveTrailer(host);
  for (std::size_t k = 0; k < entries.size(); ++k)
    LogF("setup%02d.bin start=%llu size=%u", static_cast<int>(k + 1), static_cast<unsigned long long>(entries[k].start),
         static_cast<unsigned>(entries[k].size));
  loaded = true;
}

void ArchiveTable::SelectArchive(int n)
{
  if (n >= 1 && static_cast<std::size_t>(n) <= entries.size())
  {
    selectedStart = entries[static_cast<std::size_t>(n) - 1].start;
    selectedSize = entries[static_cast<std::size_t>(n) - 1].size;
    return;
  }
  selectedStart = 0;
  selectedSize = 0;
}
