// What setup.exe registers with the system, checked from outside: registry
// keys and values, file types, the uninstall entry, shell links read back by
// lnkinfo, the calls the stand-ins of the outside components received, and
// the install log; the DirectX and OpenAL outcomes; and a failure late in
// the run whose rollback takes all of it away again.

#include "tests/e2e/scenarioSteps.hpp"
#include "tests/e2e/unixTool.hpp"
#include "tests/support/tempFolder.hpp"

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

namespace
{
using e2e::AnswerNextBox;
using e2e::ClickOnPage;
using e2e::MessageIcon;
using e2e::Narrow;
using e2e::ProgramRun;
using e2e::TableRow;
using e2e::WizardNext;

const TableRow AppName{L"SETUP_STR_APP_NAME", L"Velq Setup", L"Velq-Installation"};
const TableRow Failed{L"SETUP_STR_RESULT_ERROR", L"Setup failed.", L"Fehlgeschlagen."};
const TableRow DirectXFailed{L"SETUP_STR_RESULT_DIRECTX_ERROR", L"DirectX failed.", L"DirectX fehlt."};
const TableRow Restart{L"SETUP_STR_RESULT_RESTART", L"Restart now?", L"Neu starten?"};
const TableRow OpenALPath{L"SETUP_STR_OPEN_AL_ERROR_PATH", L"No OpenAL installer.", L"Kein OpenAL."};
const TableRow OpenALReboot{L"SETUP_STR_OPEN_AL_REBOOT", L"OpenAL wants a restart.", L"OpenAL: Neustart."};
const TableRow OpenALDenied{L"SETUP_STR_OPEN_AL_ACCESS_DENIED", L"OpenAL: access denied.", L"OpenAL: verweigert."};
// A colon cannot stand in a script field; a translation brings it.
const TableRow ManualName{L"VELQ_MANUAL", L"Velq: Manual", L"Velq: Handbuch"};

const wchar_t *const ProductKey = L"Software\\QorSetupE2E\\Velq";
const wchar_t *const UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velq";

std::wstring Wide(const char *path) { return e2e::WindowsPathFromBuild(path); }

std::wstring RegistryText(HKEY root, const std::wstring &key, const wchar_t *value)
{
  wchar_t text[1024] = {};
  DWORD size = sizeof text;
  if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return L"(missing)";
  return text;
}

bool KeyExists(HKEY root, const std::wstring &key)
{
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}

std::wstring SpecialFolder(int id)
{
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, 0, path)) ? path : L"";
}

// The log's records as the installer makes them: in order, each once.
struct ExpectedLog
{
  std::vector<std::wstring> lines;
  void Add(wchar_t letter, const std::wstring &text)
  {
    std::wstring line = std::wstring(1, letter) + L":" + text;
    if (std::find(lines.begin(), lines.end(), line) == lines.end())
      lines.push_back(line);
  }
  // "D" for every folder of path below its drive root, outermost first.
  void AddFolders(const std::wstring &path)
  {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
      Add(L'D', path.substr(0, at));
    Add(L'D', path);
  }
  std::string Text(const std::wstring &keyName) const
  {
    std::string text = Narrow(keyName) + "\r\n";
    for (const std::wstring &line : lines)
      text += Narrow(line) + "\r\n";
    return text;
  }
};

class SetupSystem : public ::testing::Test
{
protected:
  void SetUp() override
  {
    Clean();
    ASSERT_TRUE(_folder.CopyIn(Wide(SETUP_EXE_PATH), L"setup.exe"));
    ASSERT_TRUE(_folder.Write(L"setup.csv", e2e::SetupTable({AppName, Failed, DirectXFailed, Restart, OpenALPath,
                                                             OpenALReboot, OpenALDenied, ManualName})));
    ASSERT_TRUE(_folder.Write(L"velq.exe", "velq"));
    ASSERT_TRUE(_folder.Write(L"manual.txt", "manual"));
    ASSERT_TRUE(_folder.Write(L"velq.gdf", "gdf"));
    ASSERT_TRUE(CreateDirectoryW(_folder.File(L"DirectX").c_str(), nullptr));
    ASSERT_TRUE(_folder.CopyIn(Wide(STANDINS_PATH "/dsetup.dll"), L"DirectX\\dsetup.dll"));
    ASSERT_TRUE(_folder.CopyIn(Wide(STANDINS_PATH "/OpenALwEAX.exe"), L"OpenALwEAX.exe"));
    ASSERT_TRUE(_folder.CopyIn(Wide(STANDINS_PATH "/OpenALwEAX.exe"), L"tool.exe"));
    ASSERT_TRUE(_folder.CopyIn(Wide(STANDINS_PATH "/GameuxInstallHelper.dll"), L"GameuxInstallHelper.dll"));
  }
  void TearDown() override { Clean(); }

  static void Clean()
  {
    e2e::RemoveProductRegistration();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\QorSetupE2E");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QorSetupE2E");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".vsav");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Velq.Save");
    std::error_code ignored;
    // The shell may still look into a folder it saw links made in: a few
    // tries.
    for (int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
      for (int attempt = 0; attempt < 50 && e2e::PathExists(SpecialFolder(folder) + L"\\Velq Group"); ++attempt)
      {
        std::filesystem::remove_all(SpecialFolder(folder) + L"\\Velq Group", ignored);
        Sleep(attempt ? 100 : 0);
      }
    for (int folder : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY})
      std::filesystem::remove(SpecialFolder(folder) + L"\\Velq.lnk", ignored);
  }

  std::wstring Install() const { return _folder.File(L"installed"); }

  // The product with every kind of registration; lines add options.
  void Script(const std::string &lines)
  {
    ASSERT_TRUE(_folder.Write(
        L"setup.dat",
        "U:D:uninstall.exe:Velq:Velq Deluxe\r\nA:Velq\r\nR:Software\\QorSetupE2E\\Velq\r\nG:Velq Group\r\nI:N:" +
            Narrow(Install()) +
            "\r\nL:1000\r\n"
            "Q:filetype:.vsav:Velq.Save:bin\\velq.exe:0\r\n"
            "Q:registry:Path:string:hklm:Software\\QorSetupE2E\\Velq\\Paths:%(INSTALL_PATH)\\bin\r\n"
            "Q:registry:Volume:string:hkcu:Software\\QorSetupE2E\\Velq:100%%\r\n"
            "Q:firewall:Velq Server:bin\\velq.exe\r\n"
            "Q:gameexplorer:velq.gdf\r\nQ:geplaytask:Play:bin\\velq.exe:-window\r\nQ:geplaytask:broken\r\n"
            "Q:geplaytask:Safe:bin\\velq.exe\r\nQ:gesupporttask:Manual:manual.txt\r\n"
            "F:velq.exe:bin\\velq.exe\r\nF:manual.txt:manual.txt\r\nF:velq.gdf:velq.gdf\r\n"
            "S:$VELQ_MANUAL:manual.txt\r\nSA:Tools\\Editor:-edit:bin\\velq.exe\r\nSD:Velq:bin\\velq.exe\r\n" +
            lines));
  }

  void Start(ProgramRun &run)
  {
    ASSERT_TRUE(run.Start(_folder.File(L"setup.exe"), _folder.Path(), e2e::RunOptions{{}, L"en_US.UTF-8"}))
        << run.Error();
  }

  std::string Calls(const std::wstring &file) const { return TempFolder::Read(std::filesystem::path(file)); }

  // The product with DirectX, a run-list program, the game-list library and
  // the desktop shortcuts, installed through the wizard for all users (the
  // common Start menu and desktop, the game list's all-users scope).
  void InstallEverythingThroughTheWizard()
  {
    Script("Q:directx:silent\r\nQ:runapp:tool.exe\r\nF:GameuxInstallHelper.dll:GameuxInstallHelper.dll\r\n"
           "E:+:A:createdesktop|Desktop shortcuts\r\n");
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    std::optional<e2e::WizardView> welcome = run.WaitForWizardPage(e2e::WelcomePage);
    ASSERT_TRUE(welcome) << run.Error();
    ASSERT_TRUE(run.Click(welcome->window, 1036));
    ASSERT_TRUE(run.Click(welcome->window, WizardNext));
    ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, e2e::DestinationPage, WizardNext));
    ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    EXPECT_EQ(run.ExitCode(), 0);
  }

  // What an installation into install left on the machine, with that folder
  // written as "<install>": every file and its bytes, the values written,
  // the links as lnkinfo reads them.
  std::string Snapshot(const std::wstring &install) const
  {
    std::string text;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(install))
      text += Narrow(entry.path().wstring()) + "\n" +
              (entry.is_regular_file() ? TempFolder::Read(entry.path()) + "\n" : std::string());
    for (const auto &[root, key, value] :
         {std::tuple{HKEY_LOCAL_MACHINE, std::wstring(ProductKey), L"MAIN"},
          {HKEY_LOCAL_MACHINE, std::wstring(UninstallKey), L"UninstallString"},
          {HKEY_LOCAL_MACHINE, std::wstring(ProductKey) + L"\\Paths", L"Path"},
          {HKEY_CURRENT_USER, std::wstring(ProductKey), L"Volume"},
          {HKEY_CLASSES_ROOT, std::wstring(L"Velq.Save\\shell\\open\\command"), nullptr}})
      text += Narrow(RegistryText(root, key, value)) + "\n";
    const std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Velq Group";
    for (const std::wstring &link : {group + L"\\Tools\\Editor.lnk", group + L"\\Velq  Manual.lnk",
                                     SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Velq.lnk"})
    {
      std::string info;
      e2e::RunUnixTool(LNKINFO_PATH, link, info);
      text += info.substr(info.find("Local path"), info.find("Link target identifier") - info.find("Local path"));
    }
    const std::string folder = Narrow(install);
    for (std::size_t at = text.find(folder); at != std::string::npos; at = text.find(folder, at))
      text.replace(at, folder.size(), "<install>");
    return text;
  }

  e2e::TestFolder _folder;
};

TEST_F(SetupSystem, AFullInstallRegistersTheProductAndItsLogListsEverything)
{
  ASSERT_NO_FATAL_FAILURE(InstallEverythingThroughTheWizard());

  const std::wstring install = Install();
  const std::wstring velq = install + L"\\bin\\velq.exe";
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductKey, L"MAIN"), install);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString"), install + L"\\uninstall.exe");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayName"), L"Velq Deluxe");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".vsav", nullptr), L"Velq.Save");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Velq.Save\\shell\\open\\command", nullptr), L"\"" + velq + L"\" \"%1\"");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Velq.Save\\DefaultIcon", nullptr), velq + L",0");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, std::wstring(ProductKey) + L"\\Paths", L"Path"), install + L"\\bin");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, ProductKey, L"Volume"), L"100%");

  // The links, read by a parser of our own choosing.
  const std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Velq Group";
  const std::wstring desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  std::string link;
  ASSERT_TRUE(e2e::RunUnixTool(LNKINFO_PATH, group + L"\\Tools\\Editor.lnk", link)) << link;
  EXPECT_NE(link.find("Description\t\t\t: Tools\\Editor"), std::string::npos) << link;
  EXPECT_NE(link.find("Working directory\t\t: " + Narrow(install) + "\\bin"), std::string::npos) << link;
  EXPECT_NE(link.find("Command line arguments\t\t: -edit"), std::string::npos) << link;
  EXPECT_NE(link.find("Local path\t\t\t: " + Narrow(velq)), std::string::npos) << link;
  ASSERT_TRUE(e2e::RunUnixTool(LNKINFO_PATH, group + L"\\Velq  Manual.lnk", link)) << link;
  EXPECT_NE(link.find("Description\t\t\t: Velq: Manual"), std::string::npos) << link;
  EXPECT_TRUE(e2e::PathExists(desktop + L"\\Velq.lnk"));

  // The stand-ins' records of what they were asked.
  const std::string id = "00001234-00AB-0C0D-0E1F-203040506070";
  const std::string folder = Narrow(install) + "\\";
  EXPECT_EQ(Calls(_folder.File(L"DirectX\\dsetupCalls.txt")),
            "DirectXSetupGetVersion\r\nDirectXSetupA " + Narrow(_folder.Path()) + "DirectX 0x10018\r\n");
  EXPECT_EQ(Calls(_folder.File(L"openALCalls.txt")), "\"" + Narrow(_folder.File(L"OpenALwEAX.exe")) + "\" /s /r\r\n");
  EXPECT_EQ(Calls(install + L"\\gameListCalls.txt"),
            "AddToGameExplorerA " + folder + "velq.gdf|" + folder + "|3|" + id + "\r\nCreateTaskA 3|" + id +
                "|0|0|Play|" + folder + "bin\\velq.exe|-window\r\nCreateTaskA 3|" + id + "|0|2|Safe|" + folder +
                "bin\\velq.exe|\r\nCreateTaskA 3|" + id + "|1|0|Manual|" + folder + "manual.txt|\r\n");
  // The run-list program ran in the install folder and was deleted.
  EXPECT_TRUE(e2e::PathExists(install + L"\\openALCalls.txt"));
  EXPECT_FALSE(e2e::PathExists(install + L"\\tool.exe"));

  ExpectedLog log;
  for (const wchar_t *file : {L"bin\\velq.exe", L"manual.txt", L"velq.gdf", L"GameuxInstallHelper.dll"})
  {
    std::wstring path = install + L"\\" + file;
    log.AddFolders(path.substr(0, path.rfind(L'\\')));
    log.Add(L'F', path);
  }
  log.Add(L'W', velq);
  log.AddFolders(group);
  log.Add(L'F', group + L"\\Velq  Manual.lnk");
  log.AddFolders(group + L"\\Tools");
  log.Add(L'F', group + L"\\Tools\\Editor.lnk");
  log.Add(L'K', UninstallKey);
  log.Add(L'K', ProductKey);
  for (const wchar_t *key : {L".vsav", L"Velq.Save\\shell\\open\\command", L"Velq.Save\\DefaultIcon"})
    log.Add(L'C', key);
  log.Add(L'K', std::wstring(ProductKey) + L"\\Paths");
  log.Add(L'U', std::wstring(ProductKey) + L":Volume");
  log.Add(L'G', L"{    1234-  AB- C0D- E1F-203040506070}:" + install + L"\\GameuxInstallHelper.dll");
  log.Add(L'F', install + L"\\uninstall.log");
  log.AddFolders(desktop);
  log.Add(L'F', desktop + L"\\Velq.lnk");
  EXPECT_EQ(Calls(install + L"\\uninstall.log"), log.Text(L"Velq"));
}

TEST_F(SetupSystem, ASilentInstallLeavesWhatTheWizardLeavesAndAFailedOneLeavesNothing)
{
  ASSERT_NO_FATAL_FAILURE(InstallEverythingThroughTheWizard());
  const std::string throughTheWizard = Snapshot(Install());
  Clean();

  // Another folder, with a blank; no window at all.
  const std::wstring folder = _folder.File(L"silent target");
  const std::wstring log = _folder.File(L"silent.log");
  ProgramRun silent;
  ASSERT_TRUE(silent.Start(
      _folder.File(L"setup.exe"), _folder.Path(),
      e2e::RunOptions{{L"/S", L"/ALLUSERS", L"/DESKTOP", L"/LOG=" + log, L"/D=" + folder}, L"en_US.UTF-8"}))
      << silent.Error();
  ASSERT_TRUE(silent.WaitForExit(std::chrono::milliseconds(60000))) << silent.Error();
  EXPECT_EQ(silent.ExitCode(), 0);
  EXPECT_EQ(Snapshot(folder), throughTheWizard);
  // The log file: a time stamp on every line, and each kind of event.
  const std::string events = Calls(log);
  const std::string where = Narrow(folder);
  for (const std::string &event :
       {std::string("Qor Setup 1.0.0.0\r\n"), std::string("script read: "), std::string("state 11\r\n"),
        "copied " + Narrow(_folder.Path()) + "velq.exe to " + where +
            "\\bin\\velq.exe: 4 bytes, no checksum, 1 attempt",
        "registry HKLM\\Software\\QorSetupE2E\\Velq MAIN = " + where + ": written",
        "link " + Narrow(SpecialFolder(CSIDL_COMMON_PROGRAMS)) + "\\Velq Group\\Tools\\Editor.lnk to " + where +
            "\\bin\\velq.exe: made",
        "firewall " + where + "\\bin\\velq.exe (Velq Server): let through", std::string("game list: "),
        std::string("DirectX: the setup answered 0"), std::string("result code 0, exit code 0\r\n")})
    EXPECT_NE(events.find(event), std::string::npos) << event << "\nin\n" << events;
  EXPECT_EQ(events.substr(0, 2), "20");
  EXPECT_EQ(events.find("message: "), std::string::npos) << events;
  Clean();

  // Silent and failing (the game-list library is missing): no box, the
  // rollback, and the error's exit code.
  Script("Q:directx:no\r\nQ:openAL:no\r\n");
  ProgramRun failing;
  ASSERT_TRUE(failing.Start(_folder.File(L"setup.exe"), _folder.Path(),
                            e2e::RunOptions{{L"/S", L"/LOG=" + log, L"/D=" + Install() + L"2"}, L"en_US.UTF-8"}))
      << failing.Error();
  ASSERT_TRUE(failing.WaitForExit(std::chrono::milliseconds(60000))) << failing.Error();
  EXPECT_EQ(failing.ExitCode(), 3);
  EXPECT_FALSE(e2e::PathExists(Install() + L"2"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  const std::string undone = Calls(log);
  for (const std::string &event :
       {"message: " + Narrow(Failed.english), "undo F:" + Narrow(Install()) + "2\\bin\\velq.exe: removed",
        "undo K:" + Narrow(UninstallKey) + ": removed", std::string("result code 3, exit code 3")})
    EXPECT_NE(undone.find(event), std::string::npos) << event << "\nin\n" << undone;

  // A log that cannot be made stops the run before anything is done.
  std::filesystem::remove_all(std::filesystem::path(Install()));
  ProgramRun noLog;
  ASSERT_TRUE(noLog.Start(_folder.File(L"setup.exe"), _folder.Path(),
                          e2e::RunOptions{{L"/S", L"/LOG=" + _folder.File(L"missing\\run.log")}, L"en_US.UTF-8"}))
      << noLog.Error();
  ASSERT_TRUE(noLog.WaitForExit()) << noLog.Error();
  EXPECT_EQ(noLog.ExitCode(), 1);
  EXPECT_FALSE(e2e::PathExists(Install()));

  // An unknown switch installs nothing and says which switches there are.
  ProgramRun unknown;
  ASSERT_TRUE(unknown.Start(_folder.File(L"setup.exe"), _folder.Path(),
                            e2e::RunOptions{{L"/ALLUSERS", L"/QUIET"}, L"en_US.UTF-8"}))
      << unknown.Error();
  std::optional<e2e::MessageBoxView> box = unknown.NextMessageBox();
  ASSERT_TRUE(box) << unknown.Error();
  EXPECT_EQ(box->text, L"Unknown switch: /QUIET\n\nKnown switches: /S, /D=<folder>, /ALLUSERS, /DESKTOP, "
                       L"/NORESTART, /NOPROMPT, /LOG=<file>, /MODULE=<path>, /DEBUG");
  ASSERT_TRUE(unknown.Press(*box, IDOK)) << unknown.Error();
  ASSERT_TRUE(unknown.WaitForExit()) << unknown.Error();
  EXPECT_EQ(unknown.ExitCode(), 1);
}

TEST_F(SetupSystem, TheUninstallerLeavesTheMachineAsItWasButForThePlayersOwnFiles)
{
  // The stand-ins keep their records outside the install folder, which the
  // uninstaller is to leave empty.
  ASSERT_TRUE(SetEnvironmentVariableW(L"STANDIN_RECORDS", _folder.Path().c_str()));
  ASSERT_TRUE(_folder.CopyIn(Wide(UNINSTALL_EXE_PATH), L"uninstall.exe"));
  Script("Q:directx:silent\r\nF:GameuxInstallHelper.dll:GameuxInstallHelper.dll\r\nF:uninstall.exe:uninstall.exe\r\n");
  const std::wstring install = Install();
  const std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Velq Group";
  const std::wstring desktopLink = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Velq.lnk";
  ProgramRun setup;
  ASSERT_TRUE(setup.Start(_folder.File(L"setup.exe"), _folder.Path(),
                          e2e::RunOptions{{L"/S", L"/ALLUSERS", L"/DESKTOP"}, L"en_US.UTF-8"}))
      << setup.Error();
  ASSERT_TRUE(setup.WaitForExit(std::chrono::milliseconds(60000))) << setup.Error();
  ASSERT_EQ(setup.ExitCode(), 0);
  ASSERT_TRUE(e2e::PathExists(group + L"\\Tools\\Editor.lnk") && e2e::PathExists(desktopLink));
  // What the player made there is not the product's.
  ASSERT_TRUE(CreateDirectoryW((install + L"\\saves").c_str(), nullptr));
  ASSERT_TRUE(e2e::WriteFileBytes(install + L"\\saves\\slot1.sav", "saved"));

  // Asked, the player says No: nothing goes.
  ProgramRun declined;
  ASSERT_TRUE(declined.Start(install + L"\\uninstall.exe", install, e2e::RunOptions{{}, L"en_US.UTF-8"}))
      << declined.Error();
  std::optional<e2e::MessageBoxView> question = declined.NextMessageBox();
  ASSERT_TRUE(question) << declined.Error();
  EXPECT_EQ(question->text, L"Do you want to remove Velq Deluxe and all of its parts?");
  ASSERT_TRUE(declined.Press(*question, IDNO)) << declined.Error();
  ASSERT_TRUE(declined.WaitForExit()) << declined.Error();
  EXPECT_EQ(declined.ExitCode(), 2);
  EXPECT_TRUE(e2e::PathExists(install + L"\\bin\\velq.exe") && KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));

  ProgramRun uninstall;
  const std::wstring events = _folder.File(L"uninstall events.txt");
  ASSERT_TRUE(uninstall.Start(install + L"\\uninstall.exe", install,
                              e2e::RunOptions{{L"/S", L"/EVENTS=" + events}, L"en_US.UTF-8"}))
      << uninstall.Error();
  ASSERT_TRUE(uninstall.WaitForExit()) << uninstall.Error();
  EXPECT_EQ(uninstall.ExitCode(), 0) << Calls(events);
  // Its own file goes once it has ended.
  for (int i = 0; i < 100 && e2e::PathExists(install + L"\\uninstall.exe"); ++i)
    Sleep(100);
  SetEnvironmentVariableW(L"STANDIN_RECORDS", nullptr);

  std::vector<std::wstring> left;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(install))
    left.push_back(entry.path().lexically_relative(install).wstring());
  EXPECT_EQ(left, (std::vector<std::wstring>{L"saves", L"saves\\slot1.sav"}));
  for (const auto &[root, key] : {std::pair{HKEY_LOCAL_MACHINE, std::wstring(ProductKey)},
                                  {HKEY_LOCAL_MACHINE, std::wstring(UninstallKey)},
                                  {HKEY_CLASSES_ROOT, std::wstring(L".vsav")},
                                  {HKEY_CLASSES_ROOT, std::wstring(L"Velq.Save")},
                                  {HKEY_CURRENT_USER, std::wstring(ProductKey)}})
    EXPECT_FALSE(KeyExists(root, key)) << Narrow(key);
  EXPECT_FALSE(e2e::PathExists(group));
  EXPECT_FALSE(e2e::PathExists(desktopLink));
  const std::string id = "00001234-00AB-0C0D-0E1F-203040506070";
  const std::string calls = Calls(_folder.File(L"gameListCalls.txt"));
  EXPECT_NE(calls.find("RemoveFromGameExplorer " + id + "\r\nRemoveTasks " + id + "\r\n"), std::string::npos) << calls;
  EXPECT_NE(Calls(events).find("removed: W:" + Narrow(install) + "\\bin\\velq.exe"), std::string::npos)
      << Calls(events);
}

TEST_F(SetupSystem, DirectXAsksForARestartOrFailsWithoutItsLibrary)
{
  // A restart refused: the run is not undone.
  ASSERT_TRUE(_folder.Write(L"DirectX\\dsetup.txt", "setup 1\r\n"));
  Script("Q:directx:silent\r\nQ:openAL:no\r\nF:GameuxInstallHelper.dll:GameuxInstallHelper.dll\r\n");
  {
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run, false));
    ASSERT_NO_FATAL_FAILURE(
        AnswerNextBox(run, {AppName.english, Restart.english, MessageIcon::Question, {IDYES, IDNO}}, IDNO));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    EXPECT_EQ(run.ExitCode(), 3010);
  }
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, ProductKey, L"MAIN"), Install());
  Clean();

  // No library: the warning, then the result dialog of a success.
  std::filesystem::remove(std::filesystem::path(_folder.File(L"DirectX\\dsetup.dll")));
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run, false));
  ASSERT_NO_FATAL_FAILURE(
      AnswerNextBox(run, {AppName.english, DirectXFailed.english, MessageIcon::Warning, {IDOK}}, IDOK));
  ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  EXPECT_EQ(run.ExitCode(), 4);
  EXPECT_TRUE(e2e::PathExists(Install() + L"\\bin\\velq.exe"));
}

TEST_F(SetupSystem, EachOpenALOutcomeShowsItsWarningAndTheInstallGoesOn)
{
  Script("Q:directx:no\r\nF:GameuxInstallHelper.dll:GameuxInstallHelper.dll\r\n");
  const std::pair<const char *, std::wstring> outcomes[] = {
      {"exit 1", OpenALReboot.english},
      {"exit 2", OpenALDenied.english},
      {"exit 3", L"Unable to install OpenAL.\nReturned value was: 3"},
      {nullptr, OpenALPath.english}};
  for (const auto &[setting, text] : outcomes)
  {
    SCOPED_TRACE(Narrow(text));
    if (setting)
      ASSERT_TRUE(_folder.Write(L"OpenALwEAX.txt", setting));
    else
      std::filesystem::remove(std::filesystem::path(_folder.File(L"OpenALwEAX.exe")));
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run, false));
    ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {AppName.english, text, MessageIcon::Warning, {IDOK}}, IDOK));
    ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    Clean();
  }
}

TEST_F(SetupSystem, AMissingGameListLibraryFailsTheRunAndTheRollbackTakesEverythingAway)
{
  // Another program's subkey below a key the run writes to keeps that key.
  HKEY other = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\QorSetupE2E\\Shared\\Other", &other), ERROR_SUCCESS);
  RegCloseKey(other);
  ASSERT_FALSE(e2e::PathExists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Velq Group")) << "left by an earlier run";
  Script("Q:directx:no\r\nQ:openAL:no\r\nQ:registry:Owner:string:hklm:Software\\QorSetupE2E\\Shared:Velq\r\n");
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run, false));
  ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {AppName.english, Failed.english, MessageIcon::Warning, {IDOK}}, IDOK));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  EXPECT_EQ(run.ExitCode(), 3);

  EXPECT_FALSE(e2e::PathExists(Install()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".vsav"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Velq.Save\\shell\\open\\command"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Velq.Save\\DefaultIcon"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\QorSetupE2E\\Shared\\Other"));
  // The user's Start menu this time; the group and its sub-folder are gone.
  EXPECT_FALSE(e2e::PathExists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Velq Group"));
  EXPECT_FALSE(e2e::PathExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Velq.lnk"));
}
} // namespace
