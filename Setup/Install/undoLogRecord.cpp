#include "Setup/Install/installLogs.hpp"

#include "Setup/Data/logRecord.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/System/gameListGuid.hpp"

#include <windows.h>

namespace
{
void DeleteKeyWithoutSubkeys(HKEY root, const std::wstring &path)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  DWORD subkeys = 0;
  LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS && subkeys == 0)
    RegDeleteKeyW(root, path.c_str());
}

void RemoveFolder(const std::wstring &path)
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
  RemoveDirectoryW(path.c_str());
}

using GameListRemoval = HRESULT(WINAPI *)(GUID *instance);

void RemoveGameListEntry(const std::wstring &text)
{
  std::wstring identifierText;
  std::wstring libraryPath;
  if (!SplitGameListRecord(text, identifierText, libraryPath))
    return;
  HMODULE library = LoadLibraryW(libraryPath.c_str());
  if (!library)
    return;
  // An identifier that does not read back whole would name some other
  // registration: nothing is removed then.
  GameListIdentifier identifier;
  if (ParseGameListIdentifier(identifierText, identifier))
  {
    GUID instance = GuidOfIdentifier(identifier);
    if (auto remove = reinterpret_cast<GameListRemoval>(
            reinterpret_cast<void *>(GetProcAddress(library, "RemoveFromGameExplorer"))))
      remove(&instance);
    if (auto removeTasks =
            reinterpret_cast<GameListRemoval>(reinterpret_cast<void *>(GetProcAddress(library, "RemoveTasks"))))
      removeTasks(&instance);
  }
  FreeLibrary(library);
}
} // namespace

void UndoLogRecord(const std::wstring &record)
{
  LogRecordParts parts;
  if (!SplitLogRecord(record, parts))
    return;
  switch (parts.letter)
  {
  case L'C':
    DeleteKeyWithoutSubkeys(HKEY_CLASSES_ROOT, parts.text);
    break;
  case L'K':
    DeleteKeyWithoutSubkeys(HKEY_LOCAL_MACHINE, parts.text);
    break;
  case L'D':
    RemoveFolder(parts.text);
    break;
  case L'F':
    if (PathExists(parts.text))
      DeleteFileW(parts.text.c_str());
    break;
  case L'G':
    RemoveGameListEntry(parts.text);
    break;
  default:
    break;
  }
}
