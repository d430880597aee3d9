// The copy phase of a run from the script's items to the files on disk: plain
// and gzip sources, bank members beside the installer and appended to its
// host file, named resources, media, verification, and every way a file fails.
#include "Setup/Install/mediumSearch.hpp"
#include "tests/Setup/scriptFixture.hpp"
#include "tests/support/installMedia.hpp"

#include "Es/Strings/wideText.hpp"

#include <fstream>

namespace
{
// Text with some repetition, so that packing has something to do.
std::string Sample(std::size_t size, char seed)
{
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i)
    text += std::string("line ") + seed + std::to_string(i * 7919 % 1000) + "\n";
  text.resize(size);
  return text;
}

HANDLE NoThread(LPTHREAD_START_ROUTINE, void *) { return nullptr; }
} // namespace

namespace
{
// Drives with their labels and the files on them, in drive order.
class MadeUpDrives : public DriveQueries
{
public:
  struct Drive
  {
    std::wstring root;
    std::wstring label;
    std::vector<std::wstring> files;
  };
  explicit MadeUpDrives(std::vector<Drive> drives) : _drives(std::move(drives)) {}

  std::vector<std::wstring> DriveRoots() override
  {
    ++searches;
    std::vector<std::wstring> roots;
    for (const Drive &drive : _drives)
      roots.push_back(drive.root);
    return roots;
  }
  std::wstring VolumeLabel(const std::wstring &root) override
  {
    for (const Drive &drive : _drives)
      if (drive.root == root)
        return drive.label;
    return std::wstring();
  }
  bool FileExists(const std::wstring &path) override
  {
    for (const Drive &drive : _drives)
      for (const std::wstring &file : drive.files)
        if (drive.root + file == path)
          return true;
    return false;
  }

  int searches = 0;

private:
  std::vector<Drive> _drives;
};
} // namespace

class CopyEngine : public ScriptTest
{
protected:
  void SetUp() override
  {
    ScriptTest::SetUp();
    install = folder.Path() / "installed";
  }
  void TearDown() override
  {
    setup.StopCopy();
    StartCopyThread() = _savedStarter;
    ScriptTest::TearDown();
  }

  // The script's head: a log, the install folder, the total size.
  std::string Head() const
  {
    std::string path = install.string();
    return "U:D:uninst.exe:Velq:Velq\r\nI:N:" + path + "\r\nL:1000\r\n";
  }

  // Steps the driver from the copy start as the unattended run does, up to
  // the integration steps or the result.
  void RunCopyPhase()
  {
    setup.driverState = StateCopyStart;
    for (int steps = 0; steps < 100000 && setup.driverState != StateResult && setup.driverState < 20; ++steps)
    {
      setup.Step();
      if (setup.driverState == 11)
        setup.WaitForCopyEnd(5000);
    }
  }

  std::vector<std::wstring> Records()
  {
    return setup.logs.empty() ? std::vector<std::wstring>() : setup.logs.front()->records;
  }
  // The texts of the boxes shown, for failure messages.
  static std::string Boxes()
  {
    std::string texts;
    for (const ShownBox &box : shownBoxes())
      texts += "[" + Utf8FromWide(box.text) + "] ";
    return texts;
  }
  std::wstring Installed(const std::string &name) const { return (install / name).wstring(); }

  std::filesystem::path install;

private:
  CopyThreadStarter _savedStarter = StartCopyThread();
};

TEST_F(CopyEngine, GzipSourcesAreWrittenInflatedWhateverTheirNameAndEveryByteIsCounted)
{
  MakeFile("data\\levels\\one.lvl.gz", GzipBytes(Sample(300000, 'a')));
  MakeFile("data\\plain.bin", GzipBytes("gzip data under any name"));
  ASSERT_TRUE(Run(Head() + "D:data:data\r\n"));
  RunCopyPhase();
  EXPECT_EQ(setup.driverState, 20);
  EXPECT_TRUE(TempFolder::Read(install / "data/levels/one.lvl") == Sample(300000, 'a'));
  EXPECT_EQ(TempFolder::Read(install / "data/plain.bin"), "gzip data under any name");
  EXPECT_EQ(setup.CopiedBytes(), 300000 + 24);
  // Each folder is recorded once, however many files lie in it.
  std::vector<std::wstring> records = Records();
  EXPECT_EQ(std::count(records.begin(), records.end(), L"D:" + install.wstring() + L"\\data"), 1);
}

TEST_F(CopyEngine, APlainFileThatKeepsFailingItsChecksumIsReportedWithItsBytesTakenBack)
{
  MakeFile("good.txt", "good");
  MakeFile("bad.txt", "bad bytes");
  // "bad.txt" never checks out; "good.txt" is not verified.
  folder.Write("setup.crc", "bad.txt 1234\n");
  ASSERT_TRUE(Run(Head() + "F:good.txt:good.txt\r\nF:bad.txt:bad.txt\r\n"));

  RunCopyPhase();
  EXPECT_EQ(setup.driverState, StateResult);
  EXPECT_EQ(setup.resultCode, ResultError);
  ASSERT_EQ(shownBoxes().size(), 1u);
  EXPECT_EQ(shownBoxes()[0].text, L"Damaged " + Installed("bad.txt"));
  EXPECT_EQ(shownBoxes()[0].type, UINT(MB_ICONERROR));
  EXPECT_EQ(setup.CopiedBytes(), 4);
}

TEST_F(CopyEngine, GzipDataCutShortIsAReadErrorNotAShortFile)
{
  std::string gzip = GzipBytes(Sample(200000, 'c'));
  MakeFile("cut.bin", gzip.substr(0, gzip.size() / 2));
  ASSERT_TRUE(Run(Head() + "F:cut.bin:cut.bin\r\n"));
  RunCopyPhase();
  EXPECT_EQ(setup.resultCode, ResultError);
  ASSERT_EQ(shownBoxes().size(), 1u);
  EXPECT_EQ(shownBoxes()[0].text, L"Cannot read " + setup.sourceFolder + L"cut.bin");
}

TEST_F(CopyEngine, AMediumIsSearchedOnceAndItsFolderCopiedWhenItsTurnComesVerifiedByItsEntries)
{
  // The "drive" is a folder here; its root ends with a backslash as a
  // drive's does.
  std::wstring driveRoot = (folder.Path() / "drive").wstring() + L"\\";
  MadeUpDrives drives({{L"C:\\", L"", {}}, {driveRoot, L"DISC1", {L"disc1.tag"}}});
  DriveQueries *saved = MediumDrives();
  MediumDrives() = &drives;
  MakeFile("drive\\game\\data\\a.txt", "alpha");
  MakeFile("drive\\game\\data\\b.txt", "bravo");
  MakeFile("drive\\game\\last.txt", "last");
  // The entry for b.txt is wrong: only an entry matched at expansion can say so.
  folder.Write("setup.crc", "data\\b.txt 1234\n");
  ASSERT_TRUE(Run(Head() + "C:DISC1:disc1.tag:game\\\r\nD:data:data\r\nF:last.txt:last.txt\r\n"));
  RunCopyPhase();
  MediumDrives() = saved;
  EXPECT_EQ(drives.searches, 1);
  EXPECT_EQ(setup.currentMediumRoot, driveRoot);
  ASSERT_EQ(shownBoxes().size(), 1u) << Boxes();
  EXPECT_EQ(shownBoxes()[0].text, L"Damaged " + Installed("data\\b.txt"));
  // The folder's files came first: the file after the directory was not reached.
  EXPECT_EQ(TempFolder::Read(install / "data/a.txt"), "alpha");
  EXPECT_FALSE(std::filesystem::exists(install / "last.txt"));
}

TEST_F(CopyEngine, AStoppedCopyEndsBeforeItsFileIsUndoneSoTheFileDoesNotComeBack)
{
  MakeFile("large.bin", Sample(40u << 20, 'l'));
  ASSERT_TRUE(Run(Head() + "F:large.bin:large.bin\r\n"));
  setup.driverState = StateCopyStart;
  setup.Step();
  setup.Step();
  ASSERT_TRUE(setup.IsCopyRunning());
  // What state 100 does after a cancellation.
  setup.StopCopy();
  EXPECT_FALSE(setup.IsCopyRunning());
  EXPECT_LT(setup.CopiedBytes(), std::int64_t(40) << 20);
  setup.RollbackInstallLogs();
  Sleep(200);
  EXPECT_FALSE(std::filesystem::exists(install / "large.bin"));
  EXPECT_FALSE(std::filesystem::exists(install));
}

class BankCopy : public CopyEngine
{
protected:
  // A bank of stored, packed, gzip and damaged members beside the installer,
  // and the file list naming them, one member the bank lacks, one of an
  // archive that is nowhere, and a resource.
  void MakeMedium()
  {
    std::string damaged = PackedBytes(Sample(100000, 'd'));
    damaged.back() = static_cast<char>(damaged.back() + 1);
    BankWriter writer;
    writer.AddMember("stored.txt", QFBankStored, 12, 0, "stored bytes");
    writer.AddMember("packed\\big.dat", QFBankPacked, 700000, 0, PackedBytes(Sample(700000, 'p')));
    std::string notes = GzipBytes(Sample(5000, 'g'));
    writer.AddMember("packed\\notes.txt.GZ", QFBankPacked, static_cast<std::uint32_t>(notes.size()), 0,
                     PackedBytes(notes));
    writer.AddMember("damaged.bin", QFBankPacked, 100000, 0, damaged);
    QOStrStream out;
    writer.Write(out);
    folder.Write("setup01.bin", std::string(out.str(), static_cast<std::size_t>(out.pcount())));
    UseResources({{L"SETUP_FILE_LIST", FileListBytes({{"stored.txt", 12, 1},
                                                      {"packed\\big.dat", 700000, 1},
                                                      {"packed\\notes.txt.GZ", 5000, 1},
                                                      {"damaged.bin", 100000, 1},
                                                      {"absent.txt", 1, 1},
                                                      {"elsewhere.bin", 1, 3},
                                                      {"resource.txt", 8, 0}})},
                  {L"RESOURCE.TXT", "resource"}});
  }
};

TEST_F(BankCopy, StoredPackedAndGzipMembersBesideTheInstallerAreWrittenWhole)
{
  MakeMedium();
  ASSERT_TRUE(Run(Head() + "F:stored.txt:a\\stored.txt\r\nD:packed:b\r\nF:Resource.txt:resource.txt\r\n"));
  RunCopyPhase();
  EXPECT_EQ(setup.resultCode, ResultSuccess);
  EXPECT_EQ(TempFolder::Read(install / "a/stored.txt"), "stored bytes");
  EXPECT_TRUE(TempFolder::Read(install / "b/big.dat") == Sample(700000, 'p'))
      << "size " << TempFolder::Read(install / "b/big.dat").size();
  EXPECT_TRUE(TempFolder::Read(install / "b/notes.txt") == Sample(5000, 'g'))
      << "size " << TempFolder::Read(install / "b/notes.txt").size();
  EXPECT_EQ(TempFolder::Read(install / "resource.txt"), "resource");
  EXPECT_EQ(setup.CopiedBytes(), 12 + 700000 + 5000 + 8);
}

TEST_F(BankCopy, DamagedMissingAndAbsentMembersAreReadErrorsNotShortFiles)
{
  MakeMedium();
  ASSERT_TRUE(Run(Head()));
  // Damaged: the packed member's checksum is off by one. Missing: the bank
  // lacks a member the list names. Absent: archive 3 is nowhere.
  for (const char *name : {"damaged.bin", "absent.txt", "elsewhere.bin"})
  {
    shownBoxes().clear();
    setup.resultCode = ResultSuccess;
    auto item = std::make_unique<CSetupFileItem>();
    item->sourceName = Wide(name);
    item->destination = Wide(name);
    item->archiveNumber = setup.ArchiveNumberOf(item->sourceName);
    setup.copyList.push_back(std::move(item));
    RunCopyPhase();
    EXPECT_EQ(setup.resultCode, ResultError) << name;
    ASSERT_EQ(shownBoxes().size(), 1u) << name;
    EXPECT_EQ(shownBoxes()[0].text, L"Cannot read " + setup.sourceFolder + Wide(name));
    EXPECT_FALSE(std::filesystem::exists(install / name) && std::filesystem::file_size(install / name) == 0) << name;
  }
}

TEST_F(BankCopy, AFileListNameLeadingOutOfTheInstallFolderIsNeverWritten)
{
  folder.Write("setup01.bin", BankBytes({{"data\\..\\..\\escaped.txt", "x"}, {"data\\fine.txt", "fine"}}));
  UseResources({{L"SETUP_FILE_LIST", FileListBytes({{"data\\fine.txt", 4, 1}, {"data\\..\\..\\escaped.txt", 1, 1}})}});
  ASSERT_TRUE(Run(Head() + "D:data:data\r\n"));
  RunCopyPhase();
  EXPECT_EQ(TempFolder::Read(install / "data/fine.txt"), "fine");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "escaped.txt"));
  ASSERT_EQ(shownBoxes().size(), 1u);
  EXPECT_EQ(shownBoxes()[0].text, L"Cannot read " + setup.sourceFolder + L"data\\..\\..\\escaped.txt");
}

TEST_F(CopyEngine, AWorkerThatCannotStartLeavesNoRunningFlagToWaitFor)
{
  MakeFile("there.txt", "there");
  StartCopyThread() = NoThread;
  CSetupFileItem item;
  item.sourceName = L"there.txt";
  EXPECT_FALSE(setup.StartFileCopy({}, Installed("there.txt"), L"there.txt", 0, false, item));
  EXPECT_FALSE(setup.IsCopyRunning());
  ASSERT_EQ(shownBoxes().size(), 1u);
  EXPECT_EQ(shownBoxes()[0].text, L"Cannot create Thread.");
}

TEST_F(CopyEngine, FoldersAlongTheDestinationAreRecordedExistingOrNew)
{
  setup.logs.push_back(std::make_unique<CSetupLogFileItem>());
  setup.logs.back()->name = L"one.log";
  std::wstring root = install.wstring();
  ASSERT_TRUE(setup.CreateDestinationFolders(root + L"\\a\\b\\file.txt", L"one.log"));
  EXPECT_TRUE(std::filesystem::is_directory(install / "a/b"));
  std::vector<std::wstring> records = Records();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[records.size() - 3], L"D:" + root);
  EXPECT_EQ(records[records.size() - 2], L"D:" + root + L"\\a");
  EXPECT_EQ(records.back(), L"D:" + root + L"\\a\\b");
  // The first folder of the path, below its drive, is recorded too.
  EXPECT_EQ(records.front().substr(0, 5), L"D:C:\\");
  EXPECT_EQ(records.front().find(L'\\', 5), std::wstring::npos);
}

TEST(MediumSearch, TheFirstDriveWithTheLabelAndTheTestFileWins)
{
  MadeUpDrives drives({{L"C:\\", L"SYSTEM", {L"disc2.tag"}},
                       {L"D:\\", L"disc2", {}},
                       {L"E:\\", L"Disc2", {L"disc2.tag"}},
                       {L"F:\\", L"DISC2", {L"disc2.tag"}}});
  CCdRom medium;
  medium.volumeLabel = L"DISC2";
  medium.testFile = L"disc2.tag";
  // The label matches in any case, but D: lacks the file.
  EXPECT_EQ(FindMediumRoot(drives, medium, true), L"E:\\");
  // Without the label test the hard disk listed first takes it.
  EXPECT_EQ(FindMediumRoot(drives, medium, false), L"C:\\");
  medium.testFile = L"other.tag";
  EXPECT_EQ(FindMediumRoot(drives, medium, true), L"");
  MadeUpDrives none({});
  EXPECT_EQ(FindMediumRoot(none, medium, false), L"");
}

TEST(ArchiveSelection, ANumberOutsideTheTableSelectsNothing)
{
  ArchiveTable table;
  table.entries = {{100, 10}, {110, 20}};
  table.SelectArchive(2);
  EXPECT_EQ(table.selectedStart, 110u);
  EXPECT_EQ(table.selectedSize, 20u);
  for (int outside : {0, 3, -1, 127})
  {
    table.SelectArchive(outside);
    EXPECT_EQ(table.selectedStart, 0u) << outside;
    EXPECT_EQ(table.selectedSize, 0u) << outside;
  }
}
