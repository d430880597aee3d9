#include "Setup/Shell/finishActions.hpp"

#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

namespace
{
// A fake file system for the "%L" rule that remembers what was asked.
struct ExistingFiles
{
  ExistingFiles(std::initializer_list<std::wstring> names = {}) : files(names) {}
  std::wstring Resolve(const std::wstring &file)
  {
    return ResolveLanguageFile(file, L"C:\\G\\", L".german",
                               [this](const std::wstring &path)
                               {
                                 asked.push_back(path);
                                 return files.count(path) != 0;
                               });
  }
  std::set<std::wstring> files;
  std::vector<std::wstring> asked;
};

std::wstring FolderOf(const TempFolder &folder) { return folder.Path().wstring() + L"\\"; }
} // namespace

TEST(FinishActionLine, IsReadByPosition)
{
  // Position 2 is the tick mark, the folder is at 4; bars before position 6
  // cut nothing.
  FinishAction action = ParseFinishAction(L"E|D|S|game.exe -windowed|Start|now");
  EXPECT_EQ(action.action, L'E');
  EXPECT_EQ(action.folder, L'S');
  EXPECT_EQ(action.file, L"game.exe -windowed");
  EXPECT_EQ(ParseFinishAction(L"W:-:S:tools\\tool.exe").file, L"tools\\tool.exe");
}

TEST(FinishActionLine, ShortLinesReadAsEmpty)
{
  FinishAction empty = ParseFinishAction(L"");
  EXPECT_EQ(empty.action, 0);
  EXPECT_EQ(empty.folder, 0);
  FinishAction noFolder = ParseFinishAction(L"E:+:");
  EXPECT_EQ(noFolder.action, L'E');
  EXPECT_EQ(noFolder.folder, 0);
  FinishAction noFile = ParseFinishAction(L"E:+:D:");
  EXPECT_EQ(noFile.folder, L'D');
  EXPECT_EQ(noFile.file, L"");
}

TEST(FinishActionFolder, InstallFolderForDSourceFolderForSNoneOtherwise)
{
  EXPECT_EQ(FinishActionFolder(L'D', L"C:\\G\\", L"D:\\"), L"C:\\G\\");
  EXPECT_EQ(FinishActionFolder(L'S', L"C:\\G\\", L"D:\\"), L"D:\\");
  EXPECT_EQ(FinishActionFolder(L'A', L"C:\\G\\", L"D:\\"), L"");
  EXPECT_EQ(FinishActionFolder(L'X', L"C:\\G\\", L"D:\\"), L"");
}

TEST(LanguageFile, SuffixedFileThenPlainFileThenSuffixedName)
{
  ExistingFiles both{L"C:\\G\\readme.german.txt", L"C:\\G\\readme.txt"};
  EXPECT_EQ(both.Resolve(L"readme%L.txt"), L"readme.german.txt");
  ExistingFiles plain{L"C:\\G\\readme.txt"};
  EXPECT_EQ(plain.Resolve(L"readme%L.txt"), L"readme.txt");
  EXPECT_EQ(plain.asked, (std::vector<std::wstring>{L"C:\\G\\readme.german.txt", L"C:\\G\\readme.txt"}));
  ExistingFiles none;
  EXPECT_EQ(none.Resolve(L"readme%L.txt"), L"readme.german.txt");
}

TEST(LanguageFile, NameWithoutMarkerIsNotLookedUp)
{
  ExistingFiles none;
  EXPECT_EQ(none.Resolve(L"readme.txt"), L"readme.txt");
  EXPECT_TRUE(none.asked.empty());
}

TEST(ProgramLaunch, ProgramAndArgumentsGiveAQuotedFullPathThenTheArguments)
{
  ProgramLaunch launch = BuildProgramLaunch(L"C:\\Program Files\\Marrowdyne\\", L"game.exe -windowed -fast");
  EXPECT_EQ(launch.application, L"C:\\Program Files\\Marrowdyne\\game.exe");
  EXPECT_EQ(launch.commandLine, L"\"C:\\Program Files\\Marrowdyne\\game.exe\" -windowed -fast");
}

TEST(ProgramLaunch, WithoutBlankTheCommandLineIsEmpty)
{
  ProgramLaunch launch = BuildProgramLaunch(L"C:\\G\\", L"game.exe");
  EXPECT_EQ(launch.application, L"C:\\G\\game.exe");
  EXPECT_EQ(launch.commandLine, L"");
}

TEST(RunFinishAction, CreateDesktopNeedsActionEAndFolderA)
{
  int calls = 0;
  auto count = [&calls] { ++calls; };
  RunFinishAction(L"E:+:A:createdesktop|Icons", L"C:\\G\\", L"D:\\", L"", count);
  RunFinishAction(L"e:+:A:CreateDesktop|Icons", L"C:\\G\\", L"D:\\", L"", count);
  EXPECT_EQ(calls, 2);
  RunFinishAction(L"O:+:A:createdesktop|Icons", L"C:\\G\\", L"D:\\", L"", count);
  RunFinishAction(L"E:+:A:createdesktops|Icons", L"C:\\G\\", L"D:\\", L"", count);
  EXPECT_EQ(calls, 2);
}

TEST(RunFinishAction, ExecuteStartsTheProgramInItsFolderWithItsArguments)
{
  TempFolder install;
  std::filesystem::path saved = std::filesystem::current_path();
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::filesystem::copy_file(std::filesystem::path(system) / "cmd.exe", install.Path() / "cmd.exe");
  RunFinishAction(L"E:+:D:cmd.exe /c echo started>started.txt|Start", FolderOf(install), L"", L"", nullptr);
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), install.Path()));
  std::filesystem::current_path(saved);
  // Not waited for: look for what cmd writes into its working folder.
  std::filesystem::path started = install.Path() / "started.txt";
  for (int i = 0; i < 200 && TempFolder::Read(started.string()) != "started\r\n"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(TempFolder::Read(started.string()), "started\r\n");
}

TEST(RunFinishAction, WaitReturnsAfterTheLanguageProgramHasEnded)
{
  TempFolder source;
  std::string mark = (source.Path() / "mark.txt").string();
  source.Write("tool.german.bat", "@ping -n 2 127.0.0.1 >nul\r\n@echo german>\"" + mark + "\"\r\n");
  source.Write("tool.bat", "@echo plain>\"" + mark + "\"\r\n");
  RunFinishAction(L"W:+:S:tool%L.bat|Wait", L"", FolderOf(source), L".german", nullptr);
  EXPECT_EQ(TempFolder::Read(mark), "german\r\n");
}
