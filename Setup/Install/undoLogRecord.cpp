#include "Setup/Install/installLogs.hpp"

#include "Setup/Data/logRecord.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/System/gameListGuid.hpp"

#include <windows.h>

namespace
{
UndoOutcome DeleteKeyWithoutSubkeys(HKEY root, const std::wstring &path)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return UndoOutcome::Gone;
  DWORD subkeys = 0;
  LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS && subkeys == 0 && RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS)
    return UndoOutcome::Removed;
  return UndoOutcome::Left;
}

UndoOutcome RemoveFolder(const std::wstring &path)
{
  // Folder creation leaves the current directory in the deepest folder it
  // entered, which would keep that folder in use.
  if (!SetCurrentDirectoryW(L"C:\\"))
  {
    wchar_t system[MAX_PATH + 1];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
      SetCurrentDirectoryW(system);
  }
  if (RemoveDirectoryW(path.c_str()))
    return UndoOutcome::Removed;
  return PathExists(path) ? UndoOutcome::Left : UndoOutcome::Gone;
}

using GameListRemoval = HRESULT(WINAPI *)(GUID *instance);

UndoOutcome RemoveGameListEntry(const std::wstring &text)
{
  std::wstring identifierText;
  std::wstring libraryPath;
  if (!SplitGameListRecord(text, identifierText, libraryPath))
    return UndoOutcome::Left;
  HMODULE library = LoadLibraryW(libraryPath.c_str());
  if (!library)
    return UndoOutcome::Left;
  bool removed = false;
  // An identifier that does not read back whole would name some other
  // registration: nothing is removed then.
  GameListIdentifier identifier;
  if (ParseGameListIdentifier(identifierText, identifier))
  {
    GUID instance = GuidOfIdentifier(identifier);
    if (auto remove = reinterpret_cast<GameListRemoval>(
            reinterpret_cast<void *>(GetProcAddress(library, "RemoveFromGameExplorer"))))
      removed = SUCCEEDED(remove(&instance));
    if (auto removeTasks =
            reinterpret_cast<GameListRemoval>(reinterpret_cast<void *>(GetProcAddress(library, "RemoveTasks"))))
      removeTasks(&instance);
  }
  FreeLibrary(library);
  return removed ? UndoOutcome::Removed : UndoOutcome::Left;
}
} // namespace

UndoOutcome UndoLogRecord(const std::wstring &record)
{
  LogRecordParts parts;
  if (!SplitLogRecord(record, parts))
    return UndoOutcome::NoAction;
  switch (parts.letter)
  {
  case L'C':
    return DeleteKeyWithoutSubkeys(HKEY_CLASSES_ROOT, parts.text);
  case L'K':
    return DeleteKeyWithoutSubkeys(HKEY_LOCAL_MACHINE, parts.text);
  case L'D':
    return RemoveFolder(parts.text);
  case L'F':
    if (!PathExists(parts.text))
      return UndoOutcome::Gone;
    return DeleteFileW(parts.text.c_str()) ? UndoOutcome::Removed : UndoOutcome::Left;
  case L'G':
    return RemoveGameListEntry(parts.text);
  default:
    return UndoOutcome::NoAction;
  }
}

const wchar_t *UndoOutcomeText(UndoOutcome outcome)
{
  switch (outcome)
  {
  case UndoOutcome::Removed:
    return L"removed";
  case UndoOutcome::Gone:
    return L"already gone";
  case UndoOutcome::Left:
    return L"left in place";
  default:
    return L"nothing to undo";
  }
}
