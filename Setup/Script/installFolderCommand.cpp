#include "Setup/Data/scriptLines.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Script/scriptParser.hpp"

#include <cwctype>

#include <windows.h>

namespace
{
// The registry reads of the install folder fit a 260-byte buffer; a longer
// value counts as unreadable.
constexpr DWORD RegistryTextBytes = 260;
// ExpandEnvironmentStringsW's room, in characters.
constexpr DWORD ExpandedPathLength = 260;

bool ReadRegistryText(HKEY root, const std::wstring &key, const std::wstring &valueName, std::wstring &text)
{
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return false;
  wchar_t buffer[RegistryTextBytes / sizeof(wchar_t)] = {};
  DWORD bytes = sizeof buffer;
  DWORD type = 0;
  LSTATUS status =
      RegQueryValueExW(opened, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(buffer), &bytes);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  // The stored text need not end with a terminator.
  std::size_t length = bytes / sizeof(wchar_t);
  text.assign(buffer, length);
  text.resize(text.find(L'\0') == std::wstring::npos ? length : text.find(L'\0'));
  return true;
}

void EnsureTrailingBackslash(std::wstring &path)
{
  if (path.empty() || path.back() != L'\\')
    path += L'\\';
}

// One trailing separator goes, but a root such as "C:\" keeps it.
void RemoveTrailingSeparator(std::wstring &path)
{
  if (path.size() >= 4 && (path.back() == L'\\' || path.back() == L'/'))
    path.pop_back();
}

// The text with environment variables expanded; as it stands when the result
// does not fit.
std::wstring ExpandEnvironment(const std::wstring &text)
{
  wchar_t buffer[ExpandedPathLength];
  DWORD needed = ExpandEnvironmentStringsW(text.c_str(), buffer, ExpandedPathLength);
  if (needed == 0 || needed > ExpandedPathLength)
    return text;
  return buffer;
}

// A folder of the current user's shell ("Personal", "Desktop"), else the
// fallback below the user's profile.
std::wstring UserShellFolder(const wchar_t *valueName, const wchar_t *fallback)
{
  std::wstring folder;
  if (!ReadRegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        valueName, folder))
    folder = fallback;
  EnsureTrailingBackslash(folder);
  return folder;
}

bool IsKind(const std::wstring &kind, const wchar_t *name) { return SameNameBlind(kind, name); }

std::wstring FieldOrEmpty(const std::vector<std::wstring> &fields, std::size_t index)
{
  return index < fields.size() ? fields[index] : std::wstring();
}
} // namespace

std::wstring InstallFolderOfLine(const std::vector<std::wstring> &fields)
{
  const std::wstring &kind = fields[1];
  // A path with a drive letter was cut at its colon; kind N joins it again.
  bool joinedPath = IsKind(kind, L"N");
  std::wstring path = joinedPath ? fields[2] + L":" + FieldOrEmpty(fields, 3) : fields[2];
  std::size_t registryField = joinedPath ? 4 : 3;
  std::wstring key = FieldOrEmpty(fields, registryField);
  std::wstring valueName = FieldOrEmpty(fields, registryField + 1);
  std::wstring subfolder = FieldOrEmpty(fields, registryField + 2);

  std::wstring folder;
  if (!key.empty() && !valueName.empty() && ReadRegistryText(HKEY_LOCAL_MACHINE, key, valueName, folder))
  {
    EnsureTrailingBackslash(folder);
    folder += subfolder;
    RemoveTrailingSeparator(folder);
    return folder;
  }

  if (IsKind(kind, L"documents"))
    folder = UserShellFolder(L"Personal", L"%userprofile%\\My Documents") + path;
  else if (IsKind(kind, L"desktop"))
    folder = UserShellFolder(L"Desktop", L"%userprofile%\\Desktop") + path;
  else if (IsKind(kind, L"temp") || IsKind(kind, L"tmp"))
    folder = L"%temp%\\" + path;
  else if (IsKind(kind, L"S") || IsKind(kind, L"programs") || IsKind(kind, L"programfiles"))
    folder = L"%ProgramFiles%\\" + path;
  else if (joinedPath)
    return ExpandEnvironment(path);
  else
    return path;
  folder = ExpandEnvironment(folder);
  RemoveTrailingSeparator(folder);
  return folder;
}

void ScriptParser::InstallFolder(const std::vector<std::wstring> &fields)
{
  _setup.installFolder = InstallFolderOfLine(fields);
}
