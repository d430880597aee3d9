// Install logs written to disk, and undone after a failed run.
#include "Es/Strings/wideText.hpp"
#include "Setup/Data/logRecord.hpp"
#include "Setup/Install/installLogs.hpp"
#include "tests/Setup/scriptFixture.hpp"

#include <fstream>
#include <map>
#include <shlobj.h>

namespace
{
CSetupLogFileItem &AddLog(CSetupObject &setup, const std::wstring &name, const std::wstring &key,
                          std::vector<std::wstring> owners)
{
  setup.logs.push_back(std::make_unique<CSetupLogFileItem>());
  CSetupLogFileItem &log = *setup.logs.back();
  log.name = name;
  log.uninstallKeyName = key;
  log.ownerNames = std::move(owners);
  return log;
}

bool KeyExists(HKEY root, const wchar_t *path)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void MakeKey(HKEY root, const wchar_t *path)
{
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS)
    RegCloseKey(key);
}
} // namespace

using InstallLogs = ScriptTest;

TEST_F(InstallLogs, EachLogFileHoldsTheKeyNameAndItsRecordsInUtf8AndListsItselfInItsOwners)
{
  setup.installFolder = folder.Path().wstring();
  AddLog(setup, L"base.log", L"Velq", {L"base.log", L"base.log"});
  AddLog(setup, L"addon.log", L"Velq Add\u00f6n", {L"base.log", L"addon.log", L"addon.log"});
  setup.AddLogRecord(L"base.log", L'D', L"C:\\Games\\Velq");
  setup.AddLogRecord(L"addon.log", L'F', L"C:\\Games\\Velq\\\u0444\u0430\u0439\u043b.txt");
  setup.AddLogRecord(L"addon.log", L'F', L"C:\\Games\\Velq\\\u0444\u0430\u0439\u043b.txt");

  setup.WriteInstallLogs();
  std::string root = Utf8FromWide(setup.installFolder + L"\\");
  EXPECT_EQ(TempFolder::Read(folder.Path() / "base.log"),
            "Velq\r\nD:C:\\Games\\Velq\r\nF:" + root + "base.log\r\nF:" + root + "addon.log\r\n");
  EXPECT_EQ(TempFolder::Read(folder.Path() / "addon.log"),
            "Velq Add\xC3\xB6n\r\nF:C:\\Games\\Velq\\\xD1\x84\xD0\xB0\xD0\xB9"
            "\xD0\xBB.txt\r\nF:" +
                root + "addon.log\r\n");
}

TEST_F(InstallLogs, ARollbackLeavesNothingThatTheLogsRecorded)
{
  // The base log made the folders; the add-on's files lie in them, one with
  // a name no ANSI code page holds.
  std::filesystem::path game = folder.Path() / "Velq";
  std::filesystem::create_directories(game / "data");
  std::wstring root = game.wstring();
  std::wstring odd = root + L"\\data\\\u4e2d\u6587\u0444.txt";
  folder.Write("Velq/data/a.txt", "a");
  std::ofstream(std::filesystem::path(odd)) << "odd";
  folder.Write("Velq/kept.txt", "not ours");

  AddLog(setup, L"base.log", L"Velq", {});
  AddLog(setup, L"addon.log", L"Addon", {});
  setup.AddLogRecord(L"base.log", L'D', root);
  setup.AddLogRecord(L"base.log", L'D', root + L"\\data");
  setup.AddLogRecord(L"addon.log", L'F', root + L"\\data\\a.txt");
  setup.AddLogRecord(L"addon.log", L'F', odd);
  setup.AddLogRecord(L"addon.log", L'F', root + L"\\never-made.txt");
  setup.AddLogRecord(L"addon.log", L'X', L"unknown letter");
  setup.AddLogRecord(L"addon.log", L'F', std::wstring(5000, L'x'));

  // Keys: one left empty, one that another program gave a subkey.
  MakeKey(HKEY_LOCAL_MACHINE, L"Software\\VelqTest\\Empty");
  MakeKey(HKEY_LOCAL_MACHINE, L"Software\\VelqTest\\Shared\\Foreign");
  MakeKey(HKEY_CLASSES_ROOT, L".velqtest");
  setup.AddLogRecord(L"base.log", L'K', L"Software\\VelqTest\\Empty");
  setup.AddLogRecord(L"base.log", L'K', L"Software\\VelqTest\\Shared");
  setup.AddLogRecord(L"addon.log", L'C', L".velqtest");

  setup.RollbackInstallLogs();
  EXPECT_TRUE(std::filesystem::exists(game / "kept.txt"));
  EXPECT_FALSE(std::filesystem::exists(game / "data"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\VelqTest\\Empty"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\VelqTest\\Shared"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".velqtest"));
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VelqTest");

  // Once the folder is empty, nothing of it stays; an empty folder of the
  // system's own, recorded on a link's way, stays all the same.
  wchar_t publicDocuments[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, 0, publicDocuments)));
  setup.AddLogRecord(L"base.log", L'D', publicDocuments);
  std::filesystem::remove(game / "kept.txt");
  setup.RollbackInstallLogs();
  EXPECT_FALSE(std::filesystem::exists(game));
  EXPECT_TRUE(std::filesystem::exists(publicDocuments));
}

TEST_F(InstallLogs, AGameListRecordCallsTheRemovalsTheLibraryExports)
{
  std::filesystem::path standins = std::filesystem::path(e2e::WindowsPathFromBuild(STANDINS_PATH));
  GameListIdentifier id{0x1234, 0xA, 0xBEEF, {0x1, 0xFF, 0x0, 0xF, 0x10, 0xAB, 0x2, 0xC}};
  std::map<std::string, std::string> expected = {
      {"GameuxInstallHelper.dll", "RemoveFromGameExplorer 00001234-000A-BEEF-01FF-000F10AB020C\r\n"
                                  "RemoveTasks 00001234-000A-BEEF-01FF-000F10AB020C\r\n"},
      {"GameuxInstallHelperWithoutTasks.dll", "RemoveFromGameExplorer 00001234-000A-BEEF-01FF-000F10AB020C\r\n"}};
  for (const auto &[library, calls] : expected)
  {
    std::filesystem::path copy = folder.Path() / library;
    std::filesystem::remove(folder.Path() / "gameListCalls.txt");
    ASSERT_TRUE(
        std::filesystem::copy_file(standins / library, copy, std::filesystem::copy_options::overwrite_existing));
    UndoLogRecord(L"G:" + FormatGameListIdentifier(id) + L":" + copy.wstring());
    EXPECT_EQ(TempFolder::Read(folder.Path() / "gameListCalls.txt"), calls) << library;
  }
  // An identifier that does not read back whole removes nothing.
  std::filesystem::remove(folder.Path() / "gameListCalls.txt");
  UndoLogRecord(L"G:{1234-A-BEEF-1FF-0F10AB2C}:" + (folder.Path() / "GameuxInstallHelper.dll").wstring());
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "gameListCalls.txt"));
}
