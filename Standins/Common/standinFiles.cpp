#include "Standins/Common/standinFiles.hpp"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace standin
{
namespace
{
std::string Trim(const std::string &text)
{
  const char *blanks = " \t\r\n";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
} // namespace

std::wstring RecordFile(const wchar_t *name)
{
  wchar_t folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"STANDIN_RECORDS", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return FileBeside(name);
  std::wstring path(folder, length);
  if (path.back() != L'\\')
    path += L'\\';
  return path + name;
}

std::wstring FileBeside(const wchar_t *name)
{
  // The module holding this function is the stand-in itself, whether a
  // library or a program.
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&FileBeside), &self))
    return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;)
  {
    DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return {};
    if (length < path.size())
    {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos)
    return {};
  return path.substr(0, slash + 1) + name;
}

Settings ReadSettings(const std::wstring &file)
{
  Settings settings;
  HANDLE in = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE)
    return settings;
  std::string text;
  char block[4096];
  DWORD got = 0;
  while (ReadFile(in, block, sizeof block, &got, nullptr) && got > 0)
    text.append(block, got);
  CloseHandle(in);

  std::size_t start = 0;
  while (start < text.size())
  {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty())
      continue;
    std::size_t gap = line.find_first_of(" \t");
    if (gap == std::string::npos)
      settings[line] = std::string();
    else
      settings[line.substr(0, gap)] = Trim(line.substr(gap));
  }
  return settings;
}

long long SettingNumber(const Settings &settings, const std::string &key, long long fallback)
{
  auto found = settings.find(key);
  if (found == settings.end() || found->second.empty())
    return fallback;
  const char *text = found->second.c_str();
  char *end = nullptr;
  errno = 0;
  long long value = std::strtoll(text, &end, 0);
  if (errno != 0 || *end != '\0')
    return fallback;
  return value;
}

void AppendLine(const std::wstring &file, const std::string &line)
{
  if (file.empty())
    return;
  HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return;
  std::string bytes = line + "\r\n";
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(out);
}

std::string Utf8(const wchar_t *text)
{
  if (!text || !*text)
    return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1)
    return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(size - 1));
  return bytes;
}
} // namespace standin
