#include "Setup/Script/scriptParser.hpp"
#include "tests/Setup/scriptFixture.hpp"

#include <string>

namespace
{
std::wstring Expanded(const wchar_t *text)
{
  wchar_t buffer[1024];
  DWORD length = ExpandEnvironmentStringsW(text, buffer, 1024);
  return length > 0 && length <= 1024 ? buffer : L"";
}
} // namespace

using ScriptReading = ScriptTest;

TEST_F(ScriptReading, OnlyCarriageReturnLineFeedEndsALineAndEmptyLinesAreDropped)
{
  ASSERT_TRUE(Run("\xEF\xBB\xBFG:one\nR:two\r\n\r\n\r\nJ:lone\rcr\r\nL:5"));
  ASSERT_EQ(setup.scriptLines.size(), 3u);
  EXPECT_EQ(setup.groupName, L"one\nR:two");
  EXPECT_EQ(setup.browseFolderName, L"lone\rcr");
  EXPECT_EQ(setup.totalSize, 5);
}

TEST_F(ScriptReading, AFieldIsExpandedAfterTheCutSoATranslatedColonNeverSplitsIt)
{
  ASSERT_TRUE(Run("F:$KEY_COLONS:$KEY_INNER\\file.bin\r\nG:$KEY_PLAIN$\r\nL:1\r\n"));
  ASSERT_EQ(setup.copyList.size(), 1u);
  EXPECT_EQ(setup.copyList.front()->sourceName, L"x:y:z");
  EXPECT_EQ(setup.copyList.front()->destination, L"inner Velq\\file.bin");
  ASSERT_EQ(setup.scriptFields[0].size(), 3u);
  EXPECT_EQ(setup.scriptLines[0], L"F:x:y:z:inner Velq\\file.bin");
  // A sign at the end of a field is left alone.
  EXPECT_EQ(setup.groupName, L"Velq$");
}

TEST_F(ScriptReading, ALineLongerThanTheFormatAllowsRefusesTheScript)
{
  std::string longest = "G:" + std::string(997, 'a');
  ASSERT_TRUE(Run(longest + "\r\nL:1\r\n"));
  EXPECT_EQ(setup.groupName.size(), 997u);

  CSetupObject other;
  other.scriptPath = setup.scriptPath;
  folder.Write("setup.dat", longest + "a\r\nL:1\r\n");
  EXPECT_FALSE(other.ReadScript());
  EXPECT_EQ(other.resultCode, ResultInternalError);
  EXPECT_TRUE(other.scriptLines.empty());
  ASSERT_EQ(shownBoxes().size(), 1u);
  EXPECT_EQ(shownBoxes()[0].type, static_cast<UINT>(MB_ICONERROR));
  EXPECT_NE(shownBoxes()[0].text.find(setup.scriptPath), std::wstring::npos);
}

TEST_F(ScriptReading, AMissingScriptIsAnInternalError)
{
  setup.scriptPath = setup.sourceFolder + L"nothing.dat";
  EXPECT_FALSE(setup.ReadScript());
  EXPECT_EQ(setup.resultCode, ResultInternalError);
  ASSERT_EQ(shownBoxes().size(), 1u);
  EXPECT_EQ(shownBoxes()[0].text, L"Cannot read " + setup.scriptPath);
}

using ScriptCommands = ScriptTest;

TEST_F(ScriptCommands, TheTotalSizeIsACNumberAndWithoutItTheParseFails)
{
  EXPECT_TRUE(Run("L:0x10\r\n"));
  EXPECT_EQ(setup.totalSize, 16);
  EXPECT_TRUE(Run("L:010\r\n"));
  EXPECT_EQ(setup.totalSize, 8);
  EXPECT_TRUE(Run("L:5000000000 bytes\r\n"));
  EXPECT_EQ(setup.totalSize, 5'000'000'000);

  setup.totalSize = 0;
  EXPECT_FALSE(Run("L:0\r\n"));
  EXPECT_FALSE(Run("G:no size\r\n"));
  setup.totalSize = 7;
  EXPECT_FALSE(Run("L:about 10\r\n"));
}

TEST_F(ScriptCommands, AMediumNeedsFourFieldsAndItsFolderKeepsColons)
{
  ASSERT_TRUE(Run("C:DISK1:velq.id:disk1\\\r\nF:a.bin:a.bin\r\nC:DISK2:velq2.id:x:y\\\r\nL:1\r\n"));
  ASSERT_EQ(setup.media.size(), 2u);
  EXPECT_EQ(setup.media.front()->volumeLabel, L"DISK1");
  EXPECT_EQ(setup.media.front()->testFile, L"velq.id");
  EXPECT_EQ(setup.media.back()->folder, L"x:y\\");
  EXPECT_EQ(setup.copyList.front()->medium, setup.media.front().get());
  // The copy phase looks for the first medium itself.
  EXPECT_EQ(setup.currentMedium, nullptr);

  CSetupObject other;
  other.scriptPath = setup.scriptPath;
  folder.Write("setup.dat", "L:1\r\nC:DISK1:velq.id\r\n");
  ASSERT_TRUE(other.ReadScript());
  EXPECT_FALSE(other.ParseScript());
}

TEST_F(ScriptCommands, FinishActionsStopAtTenAndKeepTheWholeLine)
{
  std::string script = "L:1\r\n";
  for (int i = 0; i < 11; ++i)
    script += "E:+:D:game" + std::to_string(i) + ".exe|Start $KEY_PLAIN\r\n";
  ASSERT_TRUE(Run(script));
  ASSERT_EQ(setup.finishActions.size(), 10u);
  EXPECT_EQ(setup.finishActions[0], L"E:+:D:game0.exe|Start Velq");
  EXPECT_EQ(setup.finishActions[9], L"E:+:D:game9.exe|Start Velq");
}

TEST_F(ScriptCommands, OptionsFollowTheirValuesAndIgnoreUnknownOnes)
{
  ASSERT_TRUE(Run("L:1\r\nQ:ALLUSERS:nope\r\nQ:directx:Silent\r\nQ:openal:no\r\nQ:license:yes\r\n"
                  "Q:info:oh yes\r\nQ:testVolumeLabel:no\r\nQ:colour:blue\r\nQ:directx:maybe\r\n"
                  "Q:filetype:.sav:VelqSave:bin\\velq.exe:0\r\nQ:firewall:bin\\velq.exe\r\n"
                  "Q:geplaytask:Play:bin\\velq.exe\r\nQ:gameexplorer:ge.gdf\r\n"
                  "Q:registry:Path:string:HKLM:Software\\Velq:%(INSTALL_PATH):x\r\n"
                  "Q:registry:Path:dword:hklm:Software\\Velq:1\r\nQ:registry:Path:string:hkxx:Software:1\r\n"
                  "Q:registry:only:three:colons\r\n"));
  EXPECT_FALSE(setup.allUsersQuestion);
  EXPECT_EQ(setup.directXMode, DirectXSilent);
  EXPECT_FALSE(setup.openAL);
  EXPECT_TRUE(setup.licensePage);
  EXPECT_TRUE(setup.infoPage);
  EXPECT_FALSE(TestVolumeLabel());
  ASSERT_EQ(setup.fileTypes.size(), 1u);
  EXPECT_EQ(setup.fileTypes[0], L".sav:VelqSave:bin\\velq.exe:0");
  EXPECT_EQ(setup.firewallEntries, std::vector<std::wstring>{L"bin\\velq.exe"});
  EXPECT_EQ(setup.playTasks, std::vector<std::wstring>{L"Play:bin\\velq.exe"});
  EXPECT_EQ(setup.gameExplorerFile, L"ge.gdf");
  ASSERT_EQ(setup.registryActions.size(), 1u);
  EXPECT_EQ(setup.registryActions[0].root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(setup.registryActions[0].key, L"Software\\Velq");
  EXPECT_EQ(setup.registryActions[0].valueName, L"Path");
  EXPECT_EQ(setup.registryActions[0].data, L"%(INSTALL_PATH):x");
}

TEST_F(ScriptCommands, ARunAppIsAnUnloggedFileInstalledWithoutItsPackedExtension)
{
  ASSERT_TRUE(Run("U:D:uninst.exe:Velq:Velq\r\nQ:runapp:redist\\Helper.EXE.GZ\r\nQ:runapp:tool.gzip\r\nL:1\r\n"));
  ASSERT_EQ(setup.copyList.size(), 2u);
  EXPECT_EQ(setup.copyList.front()->sourceName, L"redist\\Helper.EXE.GZ");
  EXPECT_EQ(setup.copyList.front()->destination, L"redist\\Helper.EXE");
  EXPECT_TRUE(setup.copyList.front()->logList.empty());
  EXPECT_EQ(setup.copyList.back()->destination, L"tool.gzip");
  EXPECT_EQ(setup.runList, (std::vector<std::wstring>{L"redist\\Helper.EXE", L"tool.gzip"}));
}

TEST_F(ScriptCommands, ShortcutsGoToTheirListsWithNameArgumentsAndTarget)
{
  ASSERT_TRUE(Run("L:1\r\nS:Velq:bin\\velq.exe\r\nsad:Velq Safe:-safe:bin\\velq.exe\r\nSD:Readme:doc:x.txt\r\n"
                  "SA:Short\r\n"));
  ASSERT_EQ(setup.startMenuShortcuts.size(), 1u);
  EXPECT_EQ(setup.startMenuShortcuts.front()->sourceName, L"Velq");
  EXPECT_EQ(setup.startMenuShortcuts.front()->destination, L"bin\\velq.exe");
  ASSERT_EQ(setup.desktopShortcuts.size(), 2u);
  EXPECT_EQ(setup.desktopShortcuts.front()->arguments, L"-safe");
  EXPECT_EQ(setup.desktopShortcuts.front()->destination, L"bin\\velq.exe");
  EXPECT_EQ(setup.desktopShortcuts.back()->destination, L"doc:x.txt");
  EXPECT_TRUE(setup.desktopShortcuts.back()->arguments.empty());
}

TEST_F(ScriptCommands, LogsStackUpAndLoggedItemsCarryTheStackAsItStood)
{
  ASSERT_TRUE(Run("U:D:uninst.exe:VelqKey:Velq: The Game\r\n"
                  "A:Velq\r\n"
                  "F:a.bin:a.bin\r\n"
                  "U:x:bin\\remove.v2.exe:VelqAddon:Addon\r\n"
                  "S:Velq:bin\\velq.exe\r\n"
                  "X:b.bin:b.bin\r\n"
                  "U:n\r\n"
                  "F:c.bin:c.bin\r\n"
                  "U:P:Studio:Marrowdyne\r\n"
                  "I:N:D:\\Games\\Velq\r\n"
                  "U:p:Path\r\n"
                  "U:P:Studio:Marrowdyne\r\n"
                  "U:N\r\nU:N\r\nF:d.bin:d.bin\r\nL:1\r\n"));
  ASSERT_EQ(setup.logs.size(), 2u);
  const CSetupLogFileItem &first = *setup.logs.front();
  const CSetupLogFileItem &second = *setup.logs.back();
  EXPECT_EQ(first.name, L"uninst.log");
  EXPECT_EQ(first.ownerNames, (std::vector<std::wstring>{L"uninst.log", L"uninst.log"}));
  EXPECT_TRUE(first.programInInstallFolder);
  EXPECT_EQ(first.uninstallProgram, L"uninst.exe");
  EXPECT_EQ(first.uninstallKeyName, L"VelqKey");
  EXPECT_EQ(first.displayName, L"Velq: The Game");
  EXPECT_EQ(second.name, L"bin\\remove.v2.log");
  EXPECT_EQ(second.ownerNames,
            (std::vector<std::wstring>{L"uninst.log", L"bin\\remove.v2.log", L"bin\\remove.v2.log"}));
  EXPECT_FALSE(second.programInInstallFolder);

  // The product logs are the stack when the product was named.
  EXPECT_EQ(setup.productLogs, std::vector<std::wstring>{L"uninst.log"});
  EXPECT_EQ(first.records, (std::vector<std::wstring>{L"P:Studio:Marrowdyne", L"P:Path", L"P:M:D:\\Games\\Velq"}));
  EXPECT_TRUE(second.records.empty());

  std::vector<CSetupFileItem *> items = CopyItems();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0]->logList, std::vector<std::wstring>{L"uninst.log"});
  EXPECT_TRUE(items[1]->logList.empty());
  EXPECT_EQ(items[2]->logList, std::vector<std::wstring>{L"uninst.log"});
  EXPECT_TRUE(items[3]->logList.empty());
  EXPECT_EQ(setup.startMenuShortcuts.front()->logList,
            (std::vector<std::wstring>{L"uninst.log", L"bin\\remove.v2.log"}));
}

TEST_F(ScriptCommands, TheProductNameAndTheSimpleTextsAreTheRestOfTheLine)
{
  ASSERT_TRUE(Run("A:Velq: Rise\r\nG:Marrowdyne:Velq\r\nJ:Velq\r\nR:Software\\Velq\r\nL:1\r\n"));
  EXPECT_EQ(ProductName(), L"Velq: Rise");
  EXPECT_EQ(setup.groupName, L"Marrowdyne:Velq");
  EXPECT_EQ(setup.browseFolderName, L"Velq");
  EXPECT_EQ(setup.productKey, L"Software\\Velq");
}

TEST_F(ScriptCommands, UnknownAndShortLinesAreSkippedWithoutDebug)
{
  const char *script =
      "Z:what:$KEY_PLAIN\r\n:empty first field\r\nF:only\r\n//:comment\r\n/:/comment\r\n; note\r\nL:1\r\n";
  ASSERT_TRUE(Run(script));
  EXPECT_TRUE(setup.copyList.empty());
  EXPECT_TRUE(shownBoxes().empty());

  setup.debug = true;
  ASSERT_TRUE(Run(script));
  ASSERT_EQ(shownBoxes().size(), 2u);
  EXPECT_EQ(shownBoxes()[0].text,
            L"Warning: The following setup.dat line was not recognized as command\n\nZ:what:Velq");
  EXPECT_EQ(shownBoxes()[0].type, 0u);
  EXPECT_EQ(shownBoxes()[1].text, L"Warning: The following setup.dat line was not recognized as command\n\n//:comment");
}

using InstallFolderLine = ScriptTest;

TEST_F(InstallFolderLine, KindNJoinsTheDriveLetterAgain)
{
  ASSERT_TRUE(Run("I:N:D:\\Games\\X\r\nL:1\r\n"));
  EXPECT_EQ(setup.installFolder, L"D:\\Games\\X");
  // Kind N expands variables and keeps a trailing separator.
  SetEnvironmentVariableW(L"VELQ_GAMES", L"Games");
  ASSERT_TRUE(Run("I:n:D:\\%VELQ_GAMES%\\X\\\r\nL:1\r\n"));
  SetEnvironmentVariableW(L"VELQ_GAMES", nullptr);
  EXPECT_EQ(setup.installFolder, L"D:\\Games\\X\\");
}

TEST_F(InstallFolderLine, KindsBelowSystemFoldersAreExpandedWithoutATrailingSeparator)
{
  ASSERT_TRUE(Run("I:programs:Velq\r\nL:1\r\n"));
  EXPECT_EQ(setup.installFolder, Expanded(L"%ProgramFiles%\\Velq"));
  ASSERT_TRUE(Run("I:S:Velq\\\r\nL:1\r\n"));
  EXPECT_EQ(setup.installFolder, Expanded(L"%ProgramFiles%\\Velq"));
  ASSERT_TRUE(Run("I:TMP:Velq/\r\nL:1\r\n"));
  EXPECT_EQ(setup.installFolder, Expanded(L"%temp%\\Velq"));
  ASSERT_TRUE(Run("I:elsewhere:%temp%\\Velq\\\r\nL:1\r\n"));
  EXPECT_EQ(setup.installFolder, L"%temp%\\Velq\\");
  ASSERT_TRUE(Run("I:documents:Velq\r\nL:1\r\n"));
  EXPECT_GT(setup.installFolder.size(), 5u);
  EXPECT_EQ(setup.installFolder.substr(setup.installFolder.size() - 5), L"\\Velq");
  EXPECT_EQ(setup.installFolder.find(L'%'), std::wstring::npos);
}

TEST_F(InstallFolderLine, ARegistryValueWinsOverTheKind)
{
  const std::wstring key = L"Software\\QorSetupTests\\InstallFolder";
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  const wchar_t stored[] = L"E:\\Velq";
  RegSetValueExW(created, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE *>(stored), sizeof stored);
  std::wstring tooLong(140, L'x');
  RegSetValueExW(created, L"Long", 0, REG_SZ, reinterpret_cast<const BYTE *>(tooLong.c_str()),
                 static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(created);

  bool parsed = Run("I:programs:Velq:Software\\QorSetupTests\\InstallFolder:Path:Data\\\r\nL:1\r\n");
  std::wstring fromRegistry = setup.installFolder;
  bool parsedLong = Run("I:programs:Velq:Software\\QorSetupTests\\InstallFolder:Long:Data\r\nL:1\r\n");
  std::wstring fromKind = setup.installFolder;
  bool parsedMissing = Run("I:N:D:\\Games:Software\\QorSetupTests\\InstallFolder:Missing:Data\r\nL:1\r\n");
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\QorSetupTests");

  ASSERT_TRUE(parsed && parsedLong && parsedMissing);
  EXPECT_EQ(fromRegistry, L"E:\\Velq\\Data");
  EXPECT_EQ(fromKind, Expanded(L"%ProgramFiles%\\Velq"));
  EXPECT_EQ(setup.installFolder, L"D:\\Games");
}

TEST(RegistryActionText, FiveFieldsWithTheDataTakingTheRest)
{
  CRegistryAction action;
  ASSERT_TRUE(ParseRegistryAction(L":String:HKCU:Software\\Velq:a:b", action));
  EXPECT_EQ(action.root, HKEY_CURRENT_USER);
  EXPECT_TRUE(action.valueName.empty());
  EXPECT_EQ(action.data, L"a:b");
  ASSERT_TRUE(ParseRegistryAction(L"v:string:hkcr:.sav:", action));
  EXPECT_EQ(action.root, HKEY_CLASSES_ROOT);
  EXPECT_TRUE(action.data.empty());
  EXPECT_FALSE(ParseRegistryAction(L"v:string:hkcr:.sav", action));
  EXPECT_FALSE(ParseRegistryAction(L"v:strings:hklm:k:d", action));
}
