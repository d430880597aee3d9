#include "Uninstall/uninstaller.hpp"

#include "El/WindowsFirewall/firewall.hpp"
#include "Setup/Data/logRecord.hpp"
#include "Setup/Install/installLogs.hpp"

#include <windows.h>

namespace
{
const wchar_t UninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool KeyIsEmpty(HKEY root, const std::wstring &path)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD subkeys = 0, values = 0;
  LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                    nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}
} // namespace

CUninstaller::CUninstaller(Folders folders) : _folders(std::move(folders)) {}

void CUninstaller::UndoRecords(const std::vector<std::wstring> &records)
{
  for (auto record = records.rbegin(); record != records.rend(); ++record)
  {
    LogRecordParts parts;
    if (!SplitLogRecord(*record, parts))
    {
      _events.push_back(L"skipped, not a record: " + *record);
      continue;
    }
    switch (parts.letter)
    {
    case L'F':
      UndoFile(parts.text);
      break;
    case L'D':
      UndoFolder(parts.text);
      break;
    case L'K':
    case L'C':
      UndoKey(parts.letter == L'C', parts.text);
      break;
    case L'U':
      UndoValue(parts.text);
      break;
    case L'G':
      UndoGameList(*record, parts.text);
      break;
    case L'W':
      UndoFirewall(parts.text);
      break;
    default:
      _events.push_back(L"nothing to undo: " + *record);
      break;
    }
  }
}

void CUninstaller::Refuse(const std::wstring &record, const wchar_t *why)
{
  _remaining.push_back(record + L" (" + why + L")");
  _events.push_back(L"refused " + record + L": " + why);
}

bool CUninstaller::PassesThroughLink(const std::wstring &path) const
{
  if (!IsWithin(path, _folders.install))
    return false;
  for (std::size_t at = _folders.install.size(); at != std::wstring::npos && at < path.size();
       at = path.find(L'\\', at + 1))
  {
    DWORD attributes = GetFileAttributesW(path.substr(0, at).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return true;
  }
  return false;
}

void CUninstaller::UndoFile(const std::wstring &path)
{
  const std::wstring record = L"F:" + path;
  if (JudgePath(path, _folders.windows, {}) != PathVerdict::Allowed)
    return Refuse(record, L"not a path the product may own");
  if (IsWithin(path, _folders.self) && path.size() == _folders.self.size())
  {
    _events.push_back(L"after the end: " + record);
    return;
  }
  if (PassesThroughLink(path))
    return Refuse(record, L"reached through a link");
  UndoOutcome outcome = UndoLogRecord(record);
  _events.push_back(std::wstring(UndoOutcomeText(outcome)) + L": " + record);
  if (outcome == UndoOutcome::Left)
    _remaining.push_back(path);
}

void CUninstaller::UndoFolder(const std::wstring &path)
{
  const std::wstring record = L"D:" + path;
  PathVerdict verdict = JudgePath(path, _folders.windows, _folders.protectedFolders);
  // The system's folders are on the log because links were made inside
  // them: they stay without a word.
  if (verdict == PathVerdict::SystemFolder)
  {
    _events.push_back(L"a system folder, kept: " + record);
    return;
  }
  if (verdict != PathVerdict::Allowed)
    return Refuse(record, L"not a folder the product may own");
  if (PassesThroughLink(path))
    return Refuse(record, L"reached through a link");
  UndoOutcome outcome = UndoLogRecord(record);
  _events.push_back(std::wstring(UndoOutcomeText(outcome)) + L": " + record);
  // A folder that still holds the uninstaller goes once it has ended; any
  // other that is not empty holds what someone else put there.
  if (outcome == UndoOutcome::Left && IsWithin(_folders.install, path))
    _foldersAfterExit.push_back(path);
}

void CUninstaller::UndoKey(bool classesRoot, const std::wstring &key)
{
  const std::wstring record = std::wstring(classesRoot ? L"C:" : L"K:") + key;
  if (!IsPlainKeyPath(key))
    return Refuse(record, L"not a key path");
  UndoOutcome outcome = UndoLogRecord(record);
  _events.push_back(std::wstring(UndoOutcomeText(outcome)) + L": " + record);
  if (!classesRoot || outcome == UndoOutcome::Left)
    return;
  // The file type's class key held nothing but the keys recorded.
  for (std::size_t cut = key.rfind(L'\\'); cut != std::wstring::npos; cut = key.rfind(L'\\', cut - 1))
  {
    std::wstring parent = key.substr(0, cut);
    if (!KeyIsEmpty(HKEY_CLASSES_ROOT, parent) || RegDeleteKeyW(HKEY_CLASSES_ROOT, parent.c_str()) != ERROR_SUCCESS)
      break;
    _events.push_back(L"removed, left empty: C:" + parent);
    if (cut == 0)
      break;
  }
}

void CUninstaller::UndoValue(const std::wstring &text)
{
  const std::wstring record = L"U:" + text;
  std::wstring key, value;
  if (!SplitValueRecord(text, key, value) || !IsPlainKeyPath(key))
    return Refuse(record, L"not a key and value");
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
  {
    _events.push_back(L"already gone: " + record);
    return;
  }
  LSTATUS status = RegDeleteValueW(opened, value.c_str());
  RegCloseKey(opened);
  _events.push_back(std::wstring(status == ERROR_SUCCESS ? L"removed: " : L"already gone: ") + record);
  // The key was made for the value.
  if (KeyIsEmpty(HKEY_CURRENT_USER, key) && RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()) == ERROR_SUCCESS)
    _events.push_back(L"removed, left empty: U:" + key);
}

void CUninstaller::UndoGameList(const std::wstring &record, const std::wstring &text)
{
  // Loading a library runs its code: only the game-list library that came
  // with the product, in the install folder itself, is loaded.
  const std::wstring expected = _folders.install + L"\\GameuxInstallHelper.dll";
  std::wstring identifier, library;
  if (!SplitGameListRecord(text, identifier, library) || library.size() != expected.size() ||
      !IsWithin(library, expected) || PassesThroughLink(library))
    return Refuse(record, L"not the product's game-list library");
  UndoOutcome outcome = UndoLogRecord(record);
  _events.push_back(std::wstring(UndoOutcomeText(outcome)) + L": " + record);
}

void CUninstaller::UndoFirewall(const std::wstring &path)
{
  bool removed = WindowsFirewallRemoveApplication(path.c_str());
  _events.push_back(std::wstring(removed ? L"removed: W:" : L"not removed: W:") + path);
}

void CUninstaller::RemoveUninstallKey(const std::wstring &keyName)
{
  if (!IsPlainKeyName(keyName))
  {
    Refuse(L"uninstall key " + keyName, L"not a key name");
    return;
  }
  UndoOutcome outcome = UndoLogRecord(L"K:" + std::wstring(UninstallRoot) + keyName);
  _events.push_back(std::wstring(UndoOutcomeText(outcome)) + L": the uninstall key " + keyName);
}
