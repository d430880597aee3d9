#include "tests/Setup/scriptFixture.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

class CopyListTest : public ScriptTest
{
protected:
  std::vector<std::wstring> SourceNames()
  {
    std::vector<std::wstring> names;
    for (CSetupFileItem *item : CopyItems())
      names.push_back(item->sourceName);
    return names;
  }
};

using FolderExpansion = CopyListTest;

TEST_F(FolderExpansion, WithoutAMediumTheFolderIsScannedAtOnce)
{
  MakeFile("data\\a.txt");
  MakeFile("data\\Packed.BIN.GZ");
  MakeFile("data\\.profile");
  MakeFile("data\\sub\\deep\\c.txt");
  MakeFile("data\\.svn\\entries");
  MakeFile("database\\other.txt");
  ASSERT_TRUE(Run("U:D:uninst.exe:Velq:Velq\r\nF:first.bin:first.bin\r\nD:data:game\\data\r\n"
                  "F:last.bin:last.bin\r\nL:1\r\n"));

  std::vector<CSetupFileItem *> items = CopyItems();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items.front()->sourceName, L"first.bin");
  EXPECT_EQ(items.back()->sourceName, L"last.bin");
  std::vector<std::pair<std::wstring, std::wstring>> found;
  for (std::size_t i = 1; i + 1 < items.size(); ++i)
  {
    found.emplace_back(items[i]->sourceName, items[i]->destination);
    EXPECT_EQ(items[i]->logList, std::vector<std::wstring>{L"uninst.log"});
    EXPECT_EQ(items[i]->archiveNumber, -1);
    EXPECT_FALSE(items[i]->directory);
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::pair<std::wstring, std::wstring>>{
                       {L"data\\.profile", L"game\\data\\.profile"},
                       {L"data\\Packed.BIN.GZ", L"game\\data\\Packed.BIN"},
                       {L"data\\a.txt", L"game\\data\\a.txt"},
                       {L"data\\sub\\deep\\c.txt", L"game\\data\\sub\\deep\\c.txt"}}));
}

TEST_F(FolderExpansion, WithAMediumTheFolderBecomesOneUnloggedOrLoggedDirectoryItem)
{
  MakeFile("data\\a.txt");
  ASSERT_TRUE(Run("U:D:uninst.exe:Velq:Velq\r\nC:DISK1:velq.id:disk1\\\r\nD:data:game\r\nDN:data:plain\r\n"
                  "Dn:data:logged\r\nL:1\r\n"));
  std::vector<CSetupFileItem *> items = CopyItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_TRUE(items[0]->directory);
  EXPECT_EQ(items[0]->sourceName, L"data");
  EXPECT_EQ(items[0]->destination, L"game");
  EXPECT_EQ(items[0]->medium, setup.media.front().get());
  EXPECT_EQ(items[0]->logList, std::vector<std::wstring>{L"uninst.log"});
  EXPECT_TRUE(items[1]->logList.empty());
  EXPECT_EQ(items[2]->logList, std::vector<std::wstring>{L"uninst.log"});
}

TEST_F(FolderExpansion, AtCopyTimeTheFilesGoAheadOfTheItemsThatFollowed)
{
  MakeFile("disk\\data\\a.txt");
  ASSERT_TRUE(Run("F:x.bin:x.bin\r\nL:1\r\n"));
  CCdRom medium;
  std::size_t inserted = setup.ExpandFolder({L"velq.log"}, setup.sourceFolder + L"disk\\", L"data", L"game", &medium,
                                            setup.copyList.begin());
  ASSERT_EQ(inserted, 1u);
  EXPECT_EQ(SourceNames(), (std::vector<std::wstring>{L"data\\a.txt", L"x.bin"}));
  EXPECT_EQ(setup.copyList.front()->medium, &medium);
  EXPECT_EQ(setup.copyList.front()->logList, std::vector<std::wstring>{L"velq.log"});
}

TEST_F(FolderExpansion, AFileListReplacesTheDiskAndSelectsByPlainPrefix)
{
  MakeFile("data\\on-disk-only.txt");
  UseResources({{L"SETUP_FILE_LIST", FileListBytes({{"Data\\a.txt.gz", 10, 1},
                                                    {"other\\b.txt", 20, 3},
                                                    {"database\\c.txt", 30, 2},
                                                    {"data\\sub\\d.bin", 40, 0}})}});
  ASSERT_TRUE(Run("D:data:game\r\nF:OTHER\\B.TXT:b.txt\r\nF:missing.txt:m.txt\r\nL:1\r\n"));
  std::vector<CSetupFileItem *> items = CopyItems();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0]->sourceName, L"Data\\a.txt.gz");
  EXPECT_EQ(items[0]->destination, L"game\\a.txt");
  EXPECT_EQ(items[0]->archiveNumber, 1);
  EXPECT_EQ(items[0]->size, 10);
  // The prefix has no backslash: a sibling folder with the same start comes too.
  EXPECT_EQ(items[1]->sourceName, L"database\\c.txt");
  EXPECT_EQ(items[1]->destination, L"gamebase\\c.txt");
  EXPECT_EQ(items[2]->archiveNumber, 0);
  EXPECT_EQ(items[3]->archiveNumber, 3);
  EXPECT_EQ(items[4]->archiveNumber, -1);
  EXPECT_TRUE(setup.HasNumberedArchives());
}

TEST_F(FolderExpansion, TheScriptCanComeFromTheResource)
{
  UseResources({{L"SETUP.DAT", "L:2\r\nG:From the resource\r\n"}});
  folder.Write("setup.dat", "L:1\r\nG:From the file\r\n");
  ASSERT_TRUE(setup.ReadScript() && setup.ParseScript());
  EXPECT_EQ(setup.groupName, L"From the resource");
  EXPECT_FALSE(setup.HasNumberedArchives());
  EXPECT_EQ(setup.ArchiveNumberOf(L"a.txt"), -1);
}

using CrcMatching = CopyListTest;

TEST_F(CrcMatching, EntriesMatchSourceNamesBlindToCaseAndAFinalGz)
{
  folder.Write("setup.crc", "DATA\\A.TXT 0000ABCD\n"
                            "b.txt.gz 12\n"
                            "twice.txt 1\n"
                            "twice.txt 2\n"
                            "c.txt  fF\n"
                            "my file.txt 99\n"
                            "no-blank-here\n"
                            "dir 5\n"
                            "d.txt zz\n");
  ASSERT_TRUE(Run("C:DISK:id:\\\r\nF:data\\a.txt.gz:a.txt\r\nF:B.TXT:b.txt\r\nF:twice.txt:1\r\nX:twice.txt:2\r\n"
                  "F:c.txt:c\r\nF:my:my\r\nD:dir:dir\r\nF:d.txt:d\r\nF:unlisted.txt:u\r\nL:1\r\n"));
  std::vector<CSetupFileItem *> items = CopyItems();
  ASSERT_EQ(items.size(), 9u);
  const std::pair<bool, std::uint32_t> expected[] = {{true, 0xABCD}, {true, 0x12}, {true, 1}, {true, 2}, {true, 0xFF},
                                                     {true, 0xF},    {false, 0},   {true, 0}, {false, 0}};
  for (std::size_t i = 0; i < items.size(); ++i)
  {
    EXPECT_EQ(items[i]->verify, expected[i].first) << i;
    EXPECT_EQ(items[i]->expectedCrc, expected[i].second) << i;
  }
  EXPECT_EQ(setup.crcList.size(), 8u);
}

TEST_F(CrcMatching, ARangeReceivesOnlyItsOwnItems)
{
  folder.Write("setup.crc", "a.txt 7\n");
  ASSERT_TRUE(Run("C:DISK:id:\\\r\nD:data:game\r\nL:1\r\n"));
  auto item = std::make_unique<CSetupFileItem>();
  item->sourceName = L"A.TXT";
  setup.copyList.push_front(std::move(item));
  setup.ApplyCrcList(setup.copyList.begin(), std::next(setup.copyList.begin()));
  EXPECT_TRUE(setup.copyList.front()->verify);
  EXPECT_EQ(setup.copyList.front()->expectedCrc, 7u);
  EXPECT_FALSE(setup.copyList.back()->verify);
}

using ScriptPictures = CopyListTest;

TEST_F(ScriptPictures, ThresholdsShareTheTotalSizeByWeight)
{
  // A 1 x 1 bitmap file beside the installer: file header, information
  // header, one padded row of one pixel.
  std::string bitmap("BM", 2);
  const std::pair<std::uint32_t, int> fields[] = {{58, 4}, {0, 4}, {54, 4}, {40, 4}, {1, 4},
                                                  {1, 4},  {1, 2}, {24, 2}, {0, 4},  {4, 4},
                                                  {0, 4},  {0, 4}, {0, 4},  {0, 4},  {0x00FF00, 4}};
  for (const auto &[value, bytes] : fields)
    for (int i = 0; i < bytes; ++i)
      bitmap.push_back(static_cast<char>(value >> (8 * i)));
  folder.Write("one.bmp", bitmap);

  ASSERT_TRUE(Run("P:one.bmp:1\r\nP:missing.bmp:1.0\r\nP:one.bmp:2\r\nL:1000\r\n"));
  std::vector<std::int64_t> thresholds;
  for (auto &picture : setup.pictures)
    thresholds.push_back(picture->threshold);
  EXPECT_EQ(thresholds, (std::vector<std::int64_t>{0, 250, 500}));
  EXPECT_NE(setup.pictures.front()->bitmap, nullptr);
  EXPECT_EQ(setup.pictures.front()->sourcePath, L"one.bmp");
  EXPECT_EQ((*std::next(setup.pictures.begin()))->bitmap, nullptr);
}

TEST_F(ScriptPictures, WeightsThatAreNoNumberOrAddToNothingStillPlaceEveryPicture)
{
  ASSERT_TRUE(Run("P:a.bmp:heavy\r\nP:b.bmp:1\r\nL:1000\r\n"));
  EXPECT_EQ(setup.pictures.back()->threshold, 500);
  setup.pictures.clear();
  ASSERT_TRUE(Run("P:c.bmp:1\r\nP:d.bmp:-1\r\nP:e.bmp:0\r\nL:1000\r\n"));
  for (auto &picture : setup.pictures)
    EXPECT_EQ(picture->threshold, 0);
}
