#include "Setup/Data/scriptLines.hpp"
#include "Setup/Script/scriptText.hpp"
#include "Setup/Script/setupObject.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(SetupObject, AScriptThatSaysNothingLeavesTheDefaults)
{
  CSetupObject setup;
  EXPECT_EQ(setup.driverState, 0);
  EXPECT_EQ(setup.resultCode, 0);
  EXPECT_EQ(setup.installFolder, L"C:\\Program Files\\Marrowdyne");
  EXPECT_EQ(setup.browseFolderName, L"Marrowdyne");
  EXPECT_EQ(setup.groupName, L"Marrowdyne");
  EXPECT_EQ(setup.productKey, L"Software\\Marrowdyne");
  EXPECT_EQ(setup.directXMode, DirectXDialog);
  EXPECT_TRUE(setup.openAL);
  EXPECT_TRUE(setup.allUsersQuestion);
  EXPECT_FALSE(setup.licensePage);
  EXPECT_FALSE(setup.infoPage);
  EXPECT_EQ(setup.licensePageIndex, -1);
  EXPECT_EQ(setup.totalSize, 0);
  for (int choice : setup.finishChoices)
    EXPECT_EQ(choice, 0);
  EXPECT_TRUE(TestVolumeLabel());
}

TEST(SetupObject, TheWorkersSharedStateIsKeptBehindTheLock)
{
  CSetupObject setup;
  EXPECT_FALSE(setup.IsCopyRunning());
  setup.SetCopyRunning(true);
  EXPECT_TRUE(setup.IsCopyRunning());
  setup.RequestCopyStop();
  EXPECT_TRUE(setup.IsCopyStopRequested());
  setup.ClearCopyStopRequest();
  EXPECT_FALSE(setup.IsCopyStopRequested());

  setup.AddCopiedBytes(5'000'000'000);
  setup.AddCopiedBytes(7);
  EXPECT_EQ(setup.CopiedBytes(), 5'000'000'007);
  setup.ResetCopiedBytes();
  EXPECT_EQ(setup.CopiedBytes(), 0);

  setup.SetCurrentTexts(L"data\\a.bin", L"C:\\Games\\a.bin");
  std::wstring source, destination;
  setup.GetCurrentTexts(source, destination);
  EXPECT_EQ(source, L"data\\a.bin");
  EXPECT_EQ(destination, L"C:\\Games\\a.bin");

  // The error waits while the worker runs, then is taken once.
  std::wstring error;
  setup.SetCopyError(L"KEY_WITH_PATH", L"C:\\Games\\a.bin");
  EXPECT_FALSE(setup.TakeCopyError(error));
  setup.SetCopyRunning(false);
  EXPECT_TRUE(setup.TakeCopyError(error));
  EXPECT_EQ(error, L"KEY_WITH_PATH ... not localized!");
  EXPECT_FALSE(setup.TakeCopyError(error));
}

TEST(SetupObject, WithoutAResourceModuleOrResourceNamedDataIsEmpty)
{
  CSetupObject setup;
  EXPECT_TRUE(setup.FindNamedResource("SETUP_3RD_PARTY_AND_DATA").empty());
  setup.resourceModulePath = L"C:\\no\\such\\module.dll";
  EXPECT_TRUE(setup.FindNamedResource("SETUP.CSV").empty());
}

TEST(SetupObject, AScriptFileIsReadWhenPresent)
{
  TempFolder folder;
  CSetupObject setup;
  std::string name = folder.Write("setup.dat", "\xEF\xBB\xBFL:1000\r\n");
  setup.scriptPath = std::wstring(name.begin(), name.end());
  EXPECT_TRUE(setup.ReadScript());
  EXPECT_EQ(setup.resultCode, ResultSuccess);
}

TEST(SetupObject, TextsComeFromTheCurrentFolderWhenNoResourceHasThem)
{
  TempFolder folder;
  std::string name = folder.Write("license.txt", "Licence text\n");
  CSetupObject setup;
  EXPECT_EQ(setup.LoadText(name.c_str(), false), "Licence text\n");
  EXPECT_EQ(setup.LoadText(folder.File("missing.txt").c_str(), false), "");
  EXPECT_EQ(setup.resultCode, ResultSuccess);
}

TEST(ScriptText, TheStartMarkIsSkippedOnlyInTextsLongerThanTwoBytes)
{
  auto skipped = [](const std::string &text)
  {
    std::span<const char> rest = SkipTextStartMark(text);
    return std::string(rest.data(), rest.size());
  };
  EXPECT_EQ(skipped("\xEF\xBB\xBF"
                    "abc"),
            "abc");
  EXPECT_EQ(skipped("\xFF\xFEx"), "x");
  EXPECT_EQ(skipped("\xFE\xFFx"), "x");
  EXPECT_EQ(skipped("\xFF\xFE"), "\xFF\xFE");
  EXPECT_EQ(skipped("abc"), "abc");
}

TEST(ScriptText, FilesLargerThanTheLimitAreRefused)
{
  TempFolder folder;
  std::string name = folder.Write("big.dat", std::string(100, 'x'));
  std::wstring wide(name.begin(), name.end());
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(wide, bytes, 100));
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_FALSE(ReadWholeFile(wide, bytes, 99));
  EXPECT_TRUE(bytes.empty());
}
