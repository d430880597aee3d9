// What the uninstaller may touch: the path rules, and a log written to do
// harm, whose records are refused and reported while nothing outside them
// is touched.
#include "Uninstall/uninstallMain.hpp"
#include "Uninstall/uninstaller.hpp"

#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace
{
const std::wstring Windows = L"C:\\windows";

void Write(const std::wstring &path, const std::string &bytes)
{
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

TEST(RemovalRules, OnlyPlainPathsOutsideTheSystemsFolders)
{
  const std::vector<std::wstring> system = {L"C:\\users\\root\\Desktop", L"C:\\ProgramData\\Start Menu"};
  EXPECT_EQ(JudgePath(L"C:\\Games\\Velq\\velq.exe", Windows, system), PathVerdict::Allowed);
  EXPECT_EQ(JudgePath(L"C:\\users\\root\\Desktop\\Velq.lnk", Windows, system), PathVerdict::Allowed);
  EXPECT_EQ(JudgePath(L"C:\\", Windows, system), PathVerdict::DriveRoot);
  EXPECT_EQ(JudgePath(L"C:\\WINDOWS\\system32\\kernel32.dll", Windows, system), PathVerdict::UnderWindows);
  EXPECT_EQ(JudgePath(L"C:\\Windows", Windows, system), PathVerdict::UnderWindows);
  EXPECT_EQ(JudgePath(L"C:\\WindowsApps\\x", Windows, system), PathVerdict::Allowed);
  for (const wchar_t *path :
       {L"velq.exe", L"\\\\server\\share\\x", L"\\\\?\\C:\\x", L"C:\\Games\\..\\windows", L"C:\\Games\\.\\x",
        L"C:\\Games\\\\x", L"C:\\x:stream", L"C:\\Games\\*", L"C:/Games/x", L""})
    EXPECT_EQ(JudgePath(path, Windows, system), PathVerdict::NotAPlainPath) << path;
  // A folder that holds one of the system's folders is one of them too.
  EXPECT_EQ(JudgePath(L"C:\\users\\root", Windows, system), PathVerdict::SystemFolder);
  EXPECT_EQ(JudgePath(L"C:\\Users\\Root\\Desktop", Windows, system), PathVerdict::SystemFolder);
}

TEST(RemovalRules, TheCommandLine)
{
  UninstallOptions options = ReadUninstallOptions({L"/s", L"/LOG=C:\\a b\\x.log", L"/x"});
  EXPECT_TRUE(options.silent && !options.finish);
  EXPECT_EQ(options.installLog, L"C:\\a b\\x.log");
  EXPECT_EQ(options.unknown, std::vector<std::wstring>{L"/x"});
  UninstallOptions finish = ReadUninstallOptions({L"/FINISH=42", L"C:\\a\\uninstall.exe", L"/S"});
  EXPECT_TRUE(finish.finish && !finish.silent);
  EXPECT_EQ(finish.finishProcess, 42u);
  EXPECT_EQ(finish.finishPaths, (std::vector<std::wstring>{L"C:\\a\\uninstall.exe", L"/S"}));
}

TEST(Uninstaller, AHostileLogTouchesNothingBeyondWhatTheRulesAllow)
{
  TempFolder folder;
  const std::wstring root = folder.Path().wstring();
  const std::wstring install = root + L"\\installed";
  const std::wstring outside = root + L"\\outside";
  std::filesystem::create_directories(install);
  std::filesystem::create_directories(outside);
  Write(outside + L"\\keep.txt", "keep");
  Write(install + L"\\velq.exe", "velq");
  Write(outside + L"\\GameuxInstallHelper.dll", "not a library");
  // A link inside the install folder that leads out of it, where the system
  // can make one (Wine 8 answers success and makes none).
  bool linked = CreateSymbolicLinkW((install + L"\\data").c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
                std::filesystem::exists(install + L"\\data\\keep.txt");

  CUninstaller uninstaller({install, install + L"\\uninstall.exe", Windows, {}});
  uninstaller.UndoRecords({L"F:" + Windows + L"\\win.ini", L"D:C:\\", L"F:..\\keep.txt", L"K:", L"K:\\Software",
                           L"U:Software\\Velq",
                           L"G:{    1234-  AB- C0D- E1F-203040506070}:" + outside + L"\\GameuxInstallHelper.dll",
                           L"F:" + install + L"\\data\\keep.txt", L"F:" + install + L"\\velq.exe", L"x"});
  uninstaller.RemoveUninstallKey(L"..\\..\\Run");

  EXPECT_TRUE(std::filesystem::exists(outside + L"\\keep.txt"));
  EXPECT_TRUE(std::filesystem::exists(Windows + L"\\win.ini"));
  EXPECT_FALSE(std::filesystem::exists(install + L"\\velq.exe"));
  // Everything refused is named in what remains.
  EXPECT_EQ(uninstaller.Remaining().size(), linked ? 8u : 7u);
  for (const std::wstring &remaining : uninstaller.Remaining())
    EXPECT_NE(remaining.find(L" ("), std::wstring::npos) << std::string(remaining.begin(), remaining.end());
}
} // namespace
