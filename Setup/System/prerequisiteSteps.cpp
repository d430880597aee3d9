#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/programStart.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/Shell/workingFolder.hpp"
#include "Setup/System/prerequisiteRules.hpp"

namespace
{
// DirectXSetupA of the DirectX setup library.
using DirectXSetupFunction = INT(WINAPI *)(HWND owner, LPSTR sourcePath, DWORD flags);
// The DirectX core with its display and sound drivers.
constexpr DWORD DirectXCoreWithDrivers = 0x10018;

constexpr int DeleteAttempts = 10;
constexpr DWORD DeleteRetryMilliseconds = 100;

// Loads a library with its own folder searched for what it needs in turn.
HMODULE LoadLibraryFromFolder(const std::wstring &path)
{
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void DeleteWithRetries(const std::wstring &path)
{
  for (int attempt = 0; attempt < DeleteAttempts; ++attempt)
  {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str()))
      return;
    Sleep(DeleteRetryMilliseconds);
  }
}
} // namespace

void CSetupObject::RunDirectXStep()
{
  std::wstring temporary = TemporaryFolder();
  std::span<const char> bank = FindNamedResource("DIRECTX_INSTALLER");
  if (!bank.empty() && !temporary.empty())
    UnpackBankInto(bank, temporary);

  HMODULE library = temporary.empty() ? nullptr : LoadLibraryFromFolder(temporary + L"\\DirectX\\dsetup.dll");
  if (!library)
    library = LoadLibraryFromFolder(sourceFolder + L"DirectX\\dsetup.dll");
  if (!library)
  {
    RunLog::Write(L"DirectX: no dsetup.dll in the temporary or the source folder");
    resultCode = ResultDirectXError;
    return;
  }
  // The setup reads its files from the medium's DirectX folder, wherever the
  // library itself came from.
  std::string setupFolder = AnsiFromWide(sourceFolder + L"DirectX");
  int setupResult = -1;
  if (auto setup =
          reinterpret_cast<DirectXSetupFunction>(reinterpret_cast<void *>(GetProcAddress(library, "DirectXSetupA"))))
    setupResult = setup(MainWindow(), setupFolder.data(), DirectXCoreWithDrivers);
  FreeLibrary(library);
  RunLog::Write(L"DirectX: the setup answered " + std::to_wstring(setupResult));
  resultCode = DirectXResultAfter(resultCode, setupResult);
}

void CSetupObject::RunOpenALStep()
{
  FillTemporaryFolder();
  std::wstring program = TemporaryFolder() + L"\\OpenALwEAX.exe";
  if (TemporaryFolder().empty() || !CanReadFile(program))
    program = sourceFolder + L"OpenALwEAX.exe";

  InstallerStart start = InstallerStart::Ran;
  long installerExit = 0;
  // The path is quoted, so a folder with blanks still reaches the installer
  // as one argument.
  if (HANDLE process = StartProgram(program, L"\"" + program + L"\" /s /r", std::wstring()))
    installerExit = static_cast<long>(static_cast<std::int32_t>(WaitForProgram(process)));
  else
  {
    DWORD error = GetLastError();
    start = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? InstallerStart::Missing
                                                                           : InstallerStart::Failed;
  }

  RunLog::Write(L"OpenAL: " + program +
                (start == InstallerStart::Ran ? L" exited with " + std::to_wstring(installerExit) : L" did not start"));
  OpenALMessage message = OpenALMessageFor(start, installerExit);
  if (!message.key.empty())
    MessageBoxKey(message.key.c_str(), MB_ICONWARNING);
  else if (!message.text.empty())
    MessageBox(message.text, MB_ICONWARNING);
}

void CSetupObject::RunProgramList()
{
  HWND window = MainWindow();
  if (window)
    ShowWindow(window, SW_HIDE);
  std::wstring folder = WithBackslash(installFolder);
  for (const std::wstring &entry : runList)
  {
    std::wstring program = folder + entry;
    HANDLE process = StartProgram(program, std::wstring(), folder);
    if (!process)
    {
      RunLog::Write(L"run " + program + L": did not start");
      continue;
    }
    DWORD code = WaitForProgram(process);
    // The program may still hold its file for a moment after it ended.
    DeleteWithRetries(program);
    RunLog::Write(L"run " + program + L": exited with " + std::to_wstring(code) +
                  (PathExists(program) ? L", its file stays" : L", its file deleted"));
  }
  if (window)
    ShowWindow(window, SW_SHOW);
}
