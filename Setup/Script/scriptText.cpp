#include "Setup/Script/scriptText.hpp"

#include <cstdint>

#include <windows.h>

bool ReadWholeFile(const std::wstring &name, std::string &bytes, std::size_t maxBytes)
{
  HANDLE file =
      CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size = {};
  bool read = GetFileSizeEx(file, &size) && size.QuadPart >= 0 && static_cast<std::uint64_t>(size.QuadPart) <= maxBytes;
  if (read)
  {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    read = bytes.empty() ||
           (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size());
  }
  CloseHandle(file);
  if (!read)
    bytes.clear();
  return read;
}
