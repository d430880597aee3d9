#include "Setup/System/registryWrite.hpp"

#include "Setup/Shell/runLog.hpp"

namespace
{
const wchar_t *RootName(HKEY root)
{
  if (root == HKEY_LOCAL_MACHINE)
    return L"HKLM";
  if (root == HKEY_CURRENT_USER)
    return L"HKCU";
  return root == HKEY_CLASSES_ROOT ? L"HKCR" : L"?";
}
} // namespace

bool WriteRegistryString(HKEY root, const std::wstring &key, const std::wstring &valueName, const std::wstring &text)
{
  std::wstring what = L"registry " + std::wstring(RootName(root)) + L"\\" + key + L" " +
                      (valueName.empty() ? L"(default)" : valueName) + L" = " + text;
  HKEY opened = nullptr;
  if (RegCreateKeyW(root, key.c_str(), &opened) != ERROR_SUCCESS)
  {
    RunLog::Write(what + L": key not created");
    return false;
  }
  // The byte length counts the terminating null.
  LSTATUS status = RegSetValueExW(opened, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
  RunLog::Write(what + (status == ERROR_SUCCESS ? L": written" : L": not written"));
  return true;
}
