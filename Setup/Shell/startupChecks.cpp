#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/accessCheck.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/Shell/startupOptions.hpp"

namespace
{
// DirectXSetupGetVersion of the medium's DirectX setup library.
using DirectXGetVersionFunction = INT(WINAPI *)(DWORD *version, DWORD *revision);

// The installed physical memory; 0 when it cannot be had (then the question
// is asked rather than skipped).
unsigned long long PhysicalMemory()
{
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

// The current directory with a trailing backslash; at most MAX_PATH characters.
std::wstring CurrentFolder()
{
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
  std::wstring folder = length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
  if (folder.empty() || folder.back() != L'\\')
    folder += L'\\';
  return folder;
}

bool ProductKeyExists(const std::wstring &key)
{
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}
} // namespace

int CSetupObject::RunStartupChecks()
{
  if (!HasInstallAccess())
  {
    MessageBoxKey(L"SETUP_STR_NO_ACCESS", MB_ICONERROR);
    resultCode = ResultError;
    return StateResult;
  }

  if (IsMemoryShort(PhysicalMemory()) &&
      MessageBoxKey(L"SETUP_STR_NOT_ENOUGH_SPACE", MB_YESNO | MB_ICONQUESTION) == IDNO)
  {
    resultCode = ResultCancelled;
    return StateResult;
  }

  LanguageSuffix() = ChooseLanguage(GetUserDefaultLangID()).suffix;
  {
    CWaitCursor wait;
    sourceFolder = CurrentFolder();
    sourceFolderCopy = sourceFolder;
    scriptPath = sourceFolder + L"setup.dat";
    // A failed read has shown its message and set its result code.
    if (!ReadScript())
      return StateResult;
    if (!ParseScript())
    {
      resultCode = ResultError;
      return StateResult;
    }
    RunLog::Write(L"script read: " + std::to_wstring(scriptLines.size()) + L" lines, " +
                  std::to_wstring(copyList.size()) + L" items to copy, " + std::to_wstring(totalSize) + L" bytes");
    directXNeeded = 1;
    ReadDirectXVersion();
  }
  // What the command line says overrides the script.
  if (switches.installFolder)
    installFolder = *switches.installFolder;
  if (switches.allUsers)
    allUsers = 1;

  if (ProductKeyExists(productKey) && MessageBoxKey(L"SETUP_STR_ALREADY_INSTALLED", MB_YESNO | MB_ICONQUESTION) == IDNO)
  {
    resultCode = ResultCancelled;
    return StateResult;
  }
  return StateWizard;
}

void CSetupObject::ReadDirectXVersion()
{
  directXVersion = 0;
  directXRevision = 0;
  std::wstring library = sourceFolder + L"DirectX" + L"\\dsetup.dll";
  HMODULE module = LoadLibraryW(library.c_str());
  if (!module)
    return;
  auto getVersion = reinterpret_cast<DirectXGetVersionFunction>(
      reinterpret_cast<void *>(GetProcAddress(module, "DirectXSetupGetVersion")));
  DWORD version = 0, revision = 0;
  if (getVersion && getVersion(&version, &revision) != 0)
  {
    directXVersion = version;
    directXRevision = revision;
  }
  FreeLibrary(module);
}
