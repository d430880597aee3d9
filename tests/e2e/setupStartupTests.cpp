// setup.exe from start-up to its final message, driven as a user would: each
// test gives the program a folder of its own with the files of the scenario,
// starts it there, reads every message box it shows and answers it.

#include "tests/e2e/scenarioSteps.hpp"

#include "Es/Strings/wideText.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
using e2e::AnswerNextBox;
using e2e::MessageIcon;
using e2e::Narrow;
using e2e::NotLocalized;
using e2e::ProductKeyPath;
using e2e::ProgramRun;
using e2e::RunOptions;
using e2e::SetupTable;
using e2e::TableRow;

// Wine needs an X display to open a window. Without one every scenario would
// time out waiting for its first box; say so once instead. The rig's own
// process stays connected to Wine's desktop for the whole run, which keeps
// the desktop process alive between the runs of setup.exe (it ends about
// 10 s after its last client, and the next window would wait for a new one).
class DisplayEnvironment : public ::testing::Environment
{
public:
  void SetUp() override
  {
    std::string error;
    ASSERT_TRUE(e2e::CanOpenWindows(error)) << error;
  }
};
[[maybe_unused]] ::testing::Environment *const displayEnvironment =
    ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

// The texts of the start-up and result messages. The German ones hold
// letters beyond ASCII, so a run in German also shows that the table is
// read as UTF-8.
const TableRow AppName{L"SETUP_STR_APP_NAME", L"Marrowdyne Setup", L"Marrowdyne-Installation"};
const TableRow FileRead{L"SETUP_STR_ERR_FILE_READ", L"The file %1 could not be read.",
                        L"Die Datei %1 lie\u00df sich nicht lesen."};
const TableRow InternalError{L"SETUP_STR_RESULT_INTERERR", L"Setup stopped after an internal error.",
                             L"Die Installation wurde nach einem internen Fehler beendet."};
const TableRow AlreadyInstalled{L"SETUP_STR_ALREADY_INSTALLED", L"The product is already installed. Install it again?",
                                L"Das Produkt ist bereits installiert. Erneut installieren?"};
const TableRow CancelledByUser{L"SETUP_STR_RESULT_CANCELUSER", L"Setup was cancelled.",
                               L"Die Installation wurde abgebrochen."};
const TableRow Failed{L"SETUP_STR_RESULT_ERROR", L"Setup failed.", L"Die Installation ist fehlgeschlagen."};

std::string StartupTable()
{
  return SetupTable({AppName, FileRead, InternalError, AlreadyInstalled, CancelledByUser, Failed});
}

// A registry key of the prefix that exists for the test and is deleted
// afterwards, also when the test fails.
class LocalMachineKey
{
public:
  explicit LocalMachineKey(const wchar_t *path) : _path(path)
  {
    HKEY key = nullptr;
    _status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (_status == ERROR_SUCCESS)
      RegCloseKey(key);
  }
  ~LocalMachineKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, _path); }
  LocalMachineKey(const LocalMachineKey &) = delete;
  LocalMachineKey &operator=(const LocalMachineKey &) = delete;

  bool Created() const { return _status == ERROR_SUCCESS; }
  LSTATUS Status() const { return _status; }

private:
  const wchar_t *_path;
  LSTATUS _status;
};

bool LocalMachineKeyExists(const wchar_t *path)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// A folder (with a file in it) made for the test at a fixed place, removed
// afterwards whatever the program did with it.
class PlantedFolder
{
public:
  explicit PlantedFolder(std::wstring path) : _path(std::move(path))
  {
    _made = (CreateDirectoryW(_path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) &&
            e2e::WriteFileBytes(_path + L"\\leftover.txt", "from an earlier run");
  }
  ~PlantedFolder()
  {
    DeleteFileW((_path + L"\\leftover.txt").c_str());
    RemoveDirectoryW(_path.c_str());
  }
  PlantedFolder(const PlantedFolder &) = delete;
  PlantedFolder &operator=(const PlantedFolder &) = delete;

  bool Made() const { return _made; }

private:
  std::wstring _path;
  bool _made = false;
};

class SetupStartup : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_FALSE(_folder.Path().empty()) << "no test folder under " << Narrow(e2e::TemporaryFolder());
    std::wstring setupExe = e2e::WindowsPathFromBuild(SETUP_EXE_PATH);
    ASSERT_TRUE(_folder.CopyIn(setupExe, L"setup.exe")) << "cannot copy " << Narrow(setupExe);
  }

  void Start(ProgramRun &run, const RunOptions &options)
  {
    ASSERT_TRUE(run.Start(_folder.File(L"setup.exe"), _folder.Path(), options)) << run.Error();
  }

  // Without a script the program reports the file it could not read, then
  // the internal error, and ends.
  void RunWithoutScript(const RunOptions &options, const std::wstring &caption, const std::wstring &fileReadText,
                        const std::wstring &internalErrorText)
  {
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run, options));
    ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {caption, fileReadText, MessageIcon::Error, {IDOK}}, IDOK));
    ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {caption, internalErrorText, MessageIcon::Warning, {IDOK}}, IDOK));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    EXPECT_EQ(run.ExitCode(), 1);
  }

  std::wstring ScriptPath() const { return _folder.File(L"setup.dat"); }

  // The text with %1 replaced by the argument, as the program shows it.
  static std::wstring WithArgument(const std::wstring &text, const std::wstring &argument)
  {
    std::wstring shown = text;
    shown.replace(shown.find(L"%1"), 2, argument);
    return shown;
  }

  e2e::TestFolder _folder;
};

RunOptions English() { return RunOptions{{}, L"en_US.UTF-8"}; }

TEST_F(SetupStartup, WithoutTableEveryTextShowsItsKeyAsNotLocalized)
{
  std::wstring caption = std::wstring(L"SETUP_STR_APP_NAME") + NotLocalized;
  RunWithoutScript({}, caption, std::wstring(L"SETUP_STR_ERR_FILE_READ") + NotLocalized,
                   std::wstring(L"SETUP_STR_RESULT_INTERERR") + NotLocalized);
}

TEST_F(SetupStartup, TableInCurrentFolderLocalizesMessagesAndNamesTheMissingScript)
{
  ASSERT_TRUE(_folder.Write(L"setup.csv", StartupTable()));
  RunWithoutScript(English(), AppName.english, WithArgument(FileRead.english, ScriptPath()), InternalError.english);
}

TEST_F(SetupStartup, GermanUserGetsTheGermanColumn)
{
  ASSERT_TRUE(_folder.Write(L"setup.csv", StartupTable()));
  RunWithoutScript(RunOptions{{}, L"de_DE.UTF-8"}, AppName.german, WithArgument(FileRead.german, ScriptPath()),
                   InternalError.german);
}

TEST_F(SetupStartup, EndingRemovesTheTemporaryWorkingFolder)
{
  // No script, so no product name: the folder is the temporary folder
  // followed by " - Installer". It is planted with a file, as an earlier run
  // that died would have left it; the run has to remove it all.
  std::wstring workingFolder = e2e::TemporaryFolder() + L" - Installer";
  PlantedFolder planted(workingFolder);
  ASSERT_TRUE(planted.Made()) << "cannot make " << Narrow(workingFolder);
  ASSERT_TRUE(_folder.Write(L"setup.csv", StartupTable()));

  RunWithoutScript(English(), AppName.english, WithArgument(FileRead.english, ScriptPath()), InternalError.english);

  EXPECT_FALSE(e2e::PathExists(workingFolder)) << Narrow(workingFolder);
}

class SetupTableModule : public SetupStartup
{
protected:
  // A copy of the resource module holding the table as "SETUP.CSV"; its full
  // path is the program's one argument.
  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(SetupStartup::SetUp());
    std::wstring module = e2e::WindowsPathFromBuild(E2E_RESOURCES_PATH);
    ASSERT_TRUE(_folder.CopyIn(module, L"texts.dll")) << "cannot copy " << Narrow(module);
    std::string error;
    ASSERT_TRUE(e2e::AddDataResources(_folder.File(L"texts.dll"), {{L"SETUP.CSV", StartupTable()}}, error)) << error;
    ASSERT_FALSE(e2e::PathExists(_folder.File(L"setup.csv")));
  }

  RunOptions WithModule() const { return RunOptions{{_folder.File(L"texts.dll")}, L"en_US.UTF-8"}; }
};

TEST_F(SetupTableModule, TableFromModuleOnCommandLineLocalizesMessages)
{
  RunWithoutScript(WithModule(), AppName.english, WithArgument(FileRead.english, ScriptPath()), InternalError.english);
}

TEST_F(SetupTableModule, TableFromModuleLeavesNoCopyInTemporaryFolder)
{
  std::wstring copy = e2e::TemporaryFolder() + L"__localizeSetup.csv";
  DeleteFileW(copy.c_str());
  ASSERT_FALSE(e2e::PathExists(copy)) << "cannot remove " << Narrow(copy);

  RunWithoutScript(WithModule(), AppName.english, WithArgument(FileRead.english, ScriptPath()), InternalError.english);

  EXPECT_FALSE(e2e::PathExists(copy)) << Narrow(copy);
}

TEST_F(SetupStartup, AnsweringNoToAlreadyInstalledCancelsTheRun)
{
  LocalMachineKey productKey(ProductKeyPath);
  ASSERT_TRUE(productKey.Created()) << "RegCreateKeyExW failed with " << productKey.Status();
  ASSERT_TRUE(_folder.Write(L"setup.dat", "L:1000\r\nF:a.txt:a.txt\r\n"));
  ASSERT_TRUE(_folder.Write(L"setup.csv", StartupTable()));

  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run, English()));
  ASSERT_NO_FATAL_FAILURE(
      AnswerNextBox(run, {AppName.english, AlreadyInstalled.english, MessageIcon::Question, {IDYES, IDNO}}, IDNO));
  ASSERT_NO_FATAL_FAILURE(
      AnswerNextBox(run, {AppName.english, CancelledByUser.english, MessageIcon::Warning, {IDOK}}, IDOK));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  // Cancelling touches nothing it did not make: the key is still there.
  EXPECT_TRUE(LocalMachineKeyExists(ProductKeyPath));
}

TEST_F(SetupStartup, UnderDebugAnUnknownScriptLineIsShownAndAScriptWithoutSizeFails)
{
  // The product name from the script's A line stands for "%0" in the title.
  const TableRow title{L"SETUP_STR_APP_NAME", L"Setup of %0", L"Installation von %0"};
  ASSERT_TRUE(_folder.Write(L"setup.csv", SetupTable({title, Failed})));
  ASSERT_TRUE(_folder.Write(L"setup.dat", "A:Velq\r\nZ:what:is:this\r\nF:a.txt:a.txt\r\n"));

  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run, RunOptions{{L"-debug"}, L"en_US.UTF-8"}));
  ASSERT_NO_FATAL_FAILURE(
      AnswerNextBox(run,
                    {L"Setup of Velq",
                     L"Warning: The following setup.dat line was not recognized as command\n\nZ:what:is:this",
                     MessageIcon::None,
                     {IDOK}},
                    IDOK));
  ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {L"Setup of Velq", Failed.english, MessageIcon::Warning, {IDOK}}, IDOK));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
}
} // namespace
