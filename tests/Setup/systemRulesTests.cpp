// The rules of the system steps that need no system: registry data
// expansion and file types, link paths, prerequisite outcomes, game-list
// tasks and firewall entries.
#include "Setup/System/entryTexts.hpp"
#include "Setup/System/prerequisiteRules.hpp"
#include "Setup/System/registryText.hpp"
#include "Setup/System/shortcutRules.hpp"

#include <gtest/gtest.h>

namespace
{
TEST(RegistryText, DataExpansionFollowsThePercentRules)
{
  const std::wstring folder = L"D:\\Games\\Velq\\";
  EXPECT_EQ(ExpandRegistryData(L"%(INSTALL_PATH)\\bin", folder), L"D:\\Games\\Velq\\bin");
  EXPECT_EQ(ExpandRegistryData(L"%(install_path)", folder), L"D:\\Games\\Velq");
  EXPECT_EQ(ExpandRegistryData(L"a%(OTHER)b", folder), L"ab");
  EXPECT_EQ(ExpandRegistryData(L"100%%", folder), L"100%");
  EXPECT_EQ(ExpandRegistryData(L"50%", folder), L"50");
  EXPECT_EQ(ExpandRegistryData(L"%x%(INSTALL_PATH", folder), L"x");
  // Wide text throughout: a folder outside any ANSI code page survives.
  EXPECT_EQ(ExpandRegistryData(L"%(INSTALL_PATH)", L"C:\\\u6E38\u620F\\"), L"C:\\\u6E38\u620F");
}

TEST(RegistryText, FileTypes)
{
  FileTypeEntry entry;
  ASSERT_TRUE(ParseFileType(L".sav:Velq.Save:bin\\prog.exe:0", entry));
  EXPECT_EQ(entry.extension, L".sav");
  EXPECT_EQ(entry.className, L"Velq.Save");
  EXPECT_EQ(entry.program, L"bin\\prog.exe");
  EXPECT_EQ(entry.iconIndex, L"0");
  EXPECT_TRUE(ParseFileType(L".a:b:c:1:extra", entry) && entry.iconIndex == L"1:extra");
  EXPECT_FALSE(ParseFileType(L".sav:Velq.Save:bin\\prog.exe", entry));
  EXPECT_FALSE(ParseFileType(L"nothing", entry));
  EXPECT_EQ(OpenCommand(L"D:\\Games\\prog.exe"), L"\"D:\\Games\\prog.exe\" \"%1\"");
}

TEST(ShortcutRules, LinkPathAndWorkingFolder)
{
  // The colon becomes a blank and the blank after it stays; a backslash in
  // the name makes a sub-folder.
  EXPECT_EQ(LinkPath(L"C:\\Menu\\Velq", L"Velq: Manual"), L"C:\\Menu\\Velq\\Velq  Manual.lnk");
  EXPECT_EQ(LinkPath(L"C:\\Desktop\\", L"Tools\\Editor"), L"C:\\Desktop\\Tools\\Editor.lnk");
  EXPECT_EQ(LinkWorkingFolder(L"D:\\Games\\Velq\\bin\\velq.exe"), L"D:\\Games\\Velq\\bin");
  EXPECT_EQ(LinkWorkingFolder(L"D:/Games/velq.exe"), L"D:/Games");
  EXPECT_EQ(LinkWorkingFolder(L"velq.exe"), L"velq.exe");
}

TEST(PrerequisiteRules, DirectXResult)
{
  EXPECT_EQ(DirectXResultAfter(0, -5), -2);
  EXPECT_EQ(DirectXResultAfter(0, 1), -1);
  EXPECT_EQ(DirectXResultAfter(-2, 1), -2);
  EXPECT_EQ(DirectXResultAfter(3, 1), 3);
  EXPECT_EQ(DirectXResultAfter(3, 0), 3);
}

TEST(PrerequisiteRules, OpenALMessages)
{
  EXPECT_EQ(OpenALMessageFor(InstallerStart::Ran, 0).key + OpenALMessageFor(InstallerStart::Ran, 0).text, L"");
  EXPECT_EQ(OpenALMessageFor(InstallerStart::Missing, 0).key, L"SETUP_STR_OPEN_AL_ERROR_PATH");
  EXPECT_EQ(OpenALMessageFor(InstallerStart::Failed, 0).key, L"SETUP_STR_OPEN_AL_ERROR");
  EXPECT_EQ(OpenALMessageFor(InstallerStart::Ran, -1).key, L"SETUP_STR_OPEN_AL_ERROR");
  EXPECT_EQ(OpenALMessageFor(InstallerStart::Ran, 1).key, L"SETUP_STR_OPEN_AL_REBOOT");
  EXPECT_EQ(OpenALMessageFor(InstallerStart::Ran, 2).key, L"SETUP_STR_OPEN_AL_ACCESS_DENIED");
  OpenALMessage other = OpenALMessageFor(InstallerStart::Ran, 3);
  EXPECT_EQ(other.key, L"");
  EXPECT_EQ(other.text, L"Unable to install OpenAL.\nReturned value was: 3");
}

TEST(EntryTexts, GameTasksAndFirewallEntries)
{
  GameTask task;
  ASSERT_TRUE(ParseGameTask(L"Play:game.exe", task));
  EXPECT_EQ(task.name + L"|" + task.program + L"|" + task.arguments, L"Play|game.exe|");
  ASSERT_TRUE(ParseGameTask(L"Play:bin\\game.exe:-window -x:y", task));
  EXPECT_EQ(task.name + L"|" + task.program + L"|" + task.arguments, L"Play|bin\\game.exe|-window -x:y");
  EXPECT_FALSE(ParseGameTask(L"no colon", task));

  std::wstring name, program;
  ASSERT_TRUE(SplitFirewallEntry(L":bin\\server.exe", name, program));
  EXPECT_EQ(name, L"");
  EXPECT_EQ(program, L"bin\\server.exe");
  ASSERT_TRUE(SplitFirewallEntry(L"Velq Server:", name, program));
  EXPECT_EQ(name + L"|" + program, L"Velq Server|");
  EXPECT_FALSE(SplitFirewallEntry(L"server.exe", name, program));
}
} // namespace
