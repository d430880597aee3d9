#include "Setup/Shell/setupApp.hpp"

#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/Shell/startupOptions.hpp"
#include "Setup/Shell/workingFolder.hpp"
#include "Setup/res/version.h"

namespace
{
// The table every lookup of the installer searches.
constexpr const char *GlobalTable = "global";

bool WriteWholeFile(const std::wstring &name, std::span<const char> bytes)
{
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  bool complete =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && complete;
}
} // namespace

CQorSetupApp::CQorSetupApp() { setup.application = this; }

bool CQorSetupApp::InitInstance()
{
  EnableControlContainer();

  CommandSwitches switches = ReadCommandSwitches(ArgumentText(GetCommandLineW()));
  if (switches.used)
  {
    setup.switches = switches;
    setup.debug = switches.debug;
    setup.resourceModulePath = switches.resourceModulePath;
  }
  else
  {
    StartupOptions options = ParseStartupOptions(ProcessArguments());
    setup.debug = options.debug;
    setup.resourceModulePath = options.resourceModulePath;
  }

  // The column of the table is chosen before any text is loaded.
  SetStringtableLanguage(ChooseLanguage(GetUserDefaultLangID()).name);
  LoadStringtableForStartup();

  _title = LocalizeKey(L"SETUP_STR_APP_NAME");
  _savedAppName = m_pszAppName;
  m_pszAppName = _title.c_str();

  // Nothing may change before the log that is to record it exists.
  if (!setup.switches.logFile.empty())
  {
    if (!RunLog::Open(setup.switches.logFile))
    {
      setup.MessageBox(L"Cannot create the log file " + setup.switches.logFile + L".", MB_ICONERROR);
      setup.exitCode = ResultInternalError;
      return false;
    }
    RunLog::CaptureLogFrame();
    RunLog::Write(L"Qor Setup " SETUP_VERSION_STRING);
    RunLog::Write(L"command line: " + std::wstring(GetCommandLineW()));
    RunLog::Write(L"language: " + WideFromUtf8(ChooseLanguage(GetUserDefaultLangID()).name));
  }

  // Nothing is done on a command line that cannot be trusted to say what
  // was meant.
  if (!setup.switches.unknown.empty())
  {
    setup.MessageBox(L"Unknown switch: " + setup.switches.unknown.front() + L"\n\nKnown switches: " + KnownSwitchesText,
                     MB_ICONERROR);
    setup.exitCode = ResultInternalError;
    RunLog::Write(L"exit code 1");
    return false;
  }

  setup.driverState = StateStartup;
  while (setup.Step())
  {
  }
  return false;
}

int CQorSetupApp::ExitInstance()
{
  if (_savedAppName)
    m_pszAppName = _savedAppName;
  CWinApp::ExitInstance();
  RunLog::Close();
  return setup.exitCode;
}

void CQorSetupApp::ApplyProductName(const std::wstring &productName)
{
  for (std::size_t at = _title.find(L"%0"); at != std::wstring::npos; at = _title.find(L"%0", at + productName.size()))
    _title.replace(at, 2, productName);
  m_pszAppName = _title.c_str();
}

void CQorSetupApp::LoadStringtableForStartup()
{
  static CPreprocessorFunctions preprocessor;
  SetPreprocessorFunctions(&preprocessor);
  CWaitCursor wait;

  if (CanReadFile(L"setup.csv"))
  {
    LoadStringtable(GlobalTable, ".\\setup.csv", 0.0f, true);
    return;
  }
  std::span<const char> table = setup.FindNamedResource("SETUP.CSV");
  if (table.empty())
    return;
  std::wstring temporaryPath = UserTemporaryPath();
  if (temporaryPath.empty())
    return;
  std::wstring copy = temporaryPath + L"__localizeSetup.csv";
  if (WriteWholeFile(copy, table))
    LoadStringtable(GlobalTable, AnsiFromWide(copy).c_str(), 0.0f, true);
  DeleteFileW(copy.c_str());
}
