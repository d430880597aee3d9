#include "Setup/Data/fileList.hpp"

#include "El/QStream/qOStream.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace
{
using Flat = std::tuple<std::string, std::int32_t, int>;

AutoArray<FileListRecord> List(const std::vector<Flat> &records)
{
  AutoArray<FileListRecord> list;
  for (const auto &[name, size, archiveNumber] : records)
  {
    FileListRecord record;
    record.name = name.c_str();
    record.size = size;
    record.archiveNumber = static_cast<std::int8_t>(archiveNumber);
    list.Add(record);
  }
  return list;
}

std::vector<Flat> Flatten(const AutoArray<FileListRecord> &records)
{
  std::vector<Flat> flat;
  for (const FileListRecord &record : records)
    flat.emplace_back(record.name.Data(), record.size, record.archiveNumber);
  return flat;
}

std::string Stored(AutoArray<FileListRecord> records)
{
  QOStrStream out;
  EXPECT_TRUE(WriteFileList(out, records));
  return {out.str(), static_cast<std::size_t>(out.pcount())};
}

std::vector<std::string> NamesOf(const std::vector<const FileListRecord *> &records)
{
  std::vector<std::string> names;
  for (const FileListRecord *record : records)
    names.emplace_back(record->name.Data());
  return names;
}
} // namespace

TEST(FileList, WrittenListReadsBackWithEveryField)
{
  const std::vector<Flat> written = {{"data\\a.pbo", 5, 1}, {"", 0, 0}, {"big.bin", -1, -1}, {"last", INT32_MIN, 127}};
  std::string bytes = Stored(List(written));
  AutoArray<FileListRecord> read = List({{"stale", 1, 1}});
  ASSERT_TRUE(ReadFileList(bytes.data(), bytes.size(), read));
  EXPECT_EQ(Flatten(read), written);
}

TEST(FileList, ACountBeyondTheDataKeepsTheWholeRecordsAndReservesNoMore)
{
  std::string bytes = Stored(List({{"one", 1, 1}, {"two", 2, 2}}));
  bytes.replace(0, 4, "\xFF\xFF\xFF\x7F", 4);
  AutoArray<FileListRecord> read;
  EXPECT_FALSE(ReadFileList(bytes.data(), bytes.size(), read));
  EXPECT_EQ(Flatten(read), (std::vector<Flat>{{"one", 1, 1}, {"two", 2, 2}}));
  EXPECT_LE(read.MaxSize(), 2);

  // Counts from 2^31 up are just as far beyond the data, not an empty list.
  bytes.replace(0, 4, "\x00\x00\x00\x80", 4);
  EXPECT_FALSE(ReadFileList(bytes.data(), bytes.size(), read));
}

TEST(FileList, DataCutAnywhereGivesFalseAndTheRecordsBeforeTheCut)
{
  std::string bytes = Stored(List({{"first.txt", 10, 1}, {"", 0, -1}, {"third", 30, 3}}));
  // Where each record ends: after the count, 9 + 1 + 5, 1 + 5, 5 + 1 + 5 bytes.
  const std::size_t ends[] = {4 + 15, 4 + 15 + 6, 4 + 15 + 6 + 11};
  ASSERT_EQ(bytes.size(), ends[2]);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut)
  {
    int whole = 0;
    for (std::size_t end : ends)
      whole += end <= cut ? 1 : 0;
    std::string part = bytes.substr(0, cut);
    AutoArray<FileListRecord> read;
    EXPECT_FALSE(ReadFileList(part.data(), part.size(), read)) << cut;
    EXPECT_EQ(read.Size(), whole) << cut;
  }
}

TEST(FileList, ANameEndsAtAByte255)
{
  std::string bytes = std::string("\x01\0\0\0", 4) + "ab\xFF" + std::string("\x05\0\0\0\x02", 5);
  AutoArray<FileListRecord> read;
  ASSERT_TRUE(ReadFileList(bytes.data(), bytes.size(), read));
  EXPECT_EQ(Flatten(read), (std::vector<Flat>{{"ab", 5, 2}}));
}

TEST(FileList, ArchiveNumberInIgnoresCaseTakesTheFirstMatchAndIsMinus1WithoutOne)
{
  AutoArray<FileListRecord> records = List({{"Data\\A.pbo", 1, 2}, {"data\\a.PBO", 1, 5}, {"data\\b.pbo", 1, 0}});
  EXPECT_EQ(ArchiveNumberIn(records, "DATA\\A.PBO"), 2);
  EXPECT_EQ(ArchiveNumberIn(records, "data\\b.pbo"), 0);
  // The whole name, not a prefix or a longer name.
  for (const char *absent : {"data\\a", "data\\a.pbo.bak", "data/a.pbo", ""})
    EXPECT_EQ(ArchiveNumberIn(records, absent), -1) << absent;
  EXPECT_EQ(ArchiveNumberIn({}, "data\\a.pbo"), -1);
  // Only ASCII letters fold.
  EXPECT_EQ(ArchiveNumberIn(List({{"\xC4.txt", 1, 4}}), "\xE4.txt"), -1);
  EXPECT_EQ(ArchiveNumberIn(List({{"[", 1, 4}}), "{"), -1);
}

TEST(FileList, NumberedArchivesAreThoseAboveZero)
{
  EXPECT_FALSE(NamesNumberedArchives({}));
  EXPECT_FALSE(NamesNumberedArchives(List({{"a", 1, -1}, {"b", 1, 0}})));
  EXPECT_TRUE(NamesNumberedArchives(List({{"a", 1, -1}, {"b", 1, 1}})));
  EXPECT_TRUE(NamesNumberedArchives(List({{"a", 1, 127}})));
}

TEST(FileList, RecordsUnderIsAPlainCaseBlindPrefixInListOrder)
{
  AutoArray<FileListRecord> records =
      List({{"data\\a", 1, 1}, {"other\\data\\c", 1, 1}, {"database\\x", 1, 1}, {"DATA\\B", 1, 1}, {"dat", 1, 1}});
  EXPECT_EQ(NamesOf(RecordsUnder(records, "data")), (std::vector<std::string>{"data\\a", "database\\x", "DATA\\B"}));
  EXPECT_EQ(NamesOf(RecordsUnder(records, "Data\\")), (std::vector<std::string>{"data\\a", "DATA\\B"}));
  EXPECT_EQ(RecordsUnder(records, "").size(), 5u);
  EXPECT_TRUE(RecordsUnder(records, "data\\a\\deeper").empty());
  EXPECT_EQ(RecordsUnder(records, "other").front(), &records[1]);
}
