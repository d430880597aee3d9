#include "Setup/Shell/workingFolder.hpp"

#include "tests/support/memoryBank.hpp"
#include "tests/support/quietFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace
{
const std::wstring Temp = L"C:\\users\\player\\Temp\\";

// What a product name makes of the working folder after the temporary path.
std::wstring FolderPart(const std::wstring &product)
{
  std::wstring folder = TemporaryWorkingFolderName(Temp, product);
  EXPECT_EQ(folder.compare(0, Temp.size(), Temp), 0) << "not inside the temporary folder";
  return folder.substr(Temp.size());
}

std::span<const char> Span(const std::string &bytes) { return {bytes.data(), bytes.size()}; }

std::set<std::string> Names(const std::filesystem::path &folder)
{
  std::set<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}
} // namespace

TEST(WorkingFolderName, ProductNameWithColonAndOtherUnfitCharactersBlanked)
{
  EXPECT_EQ(TemporaryWorkingFolderName(Temp, L"Marrowdyne: Gold 2.1"), Temp + L"Marrowdyne  Gold 2.1 - Installer");
  EXPECT_EQ(FolderPart(L"a<b>c\"d/e\\f|g?h*i\tj"), L"a b c d e f g h i j - Installer");
}

TEST(WorkingFolderName, NameCannotLeadOutOfTheTemporaryFolder)
{
  for (const wchar_t *product : {L"..\\..\\Windows", L"../x", L"\\\\server\\share", L"C:\\Windows"})
    EXPECT_EQ(FolderPart(product).find_first_of(L"\\/:"), std::wstring::npos) << product;
  for (const wchar_t *product : {L"..", L". .", L"..."})
    EXPECT_EQ(FolderPart(product).find(L'.'), std::wstring::npos) << product;
}

TEST(WorkingFolderName, EmptyTemporaryPathGivesNoFolder)
{
  EXPECT_EQ(TemporaryWorkingFolderName(L"", L"Marrowdyne"), L"");
}

TEST(UserTemporaryPath, IsAnExistingFolderEndingInABackslash)
{
  std::wstring path = UserTemporaryPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.back(), L'\\');
  EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

class UnpackBank : public ::testing::Test
{
protected:
  std::filesystem::path Target() const { return folder.Path() / "unpacked"; }
  std::string Read(const std::string &name) const { return TempFolder::Read((Target() / name).string()); }

  QuietFrame quiet;
  TempFolder folder;
};

TEST_F(UnpackBank, EveryMemberBecomesAFileWithItsBytesInItsSubfolder)
{
  std::string binary("BM\0\x01\xff\x7f", 6);
  // Larger than the output buffer, so it is written in several pieces.
  std::string large(200000, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>(i * 7 + i / 251);
  std::filesystem::create_directories(Target());
  folder.Write("unpacked\\readme.txt", "an old and much longer text");
  std::string bank =
      StoredBankBytes({{"readme.txt", "hello"}, {"data\\setupWelcome.bmp", binary}, {"large.bin", large}});
  ASSERT_TRUE(UnpackBankInto(Span(bank), Target().wstring()));
  EXPECT_EQ(Read("readme.txt"), "hello");
  EXPECT_EQ(Read("data\\setupwelcome.bmp"), binary);
  EXPECT_EQ(Read("large.bin"), large);
}

TEST_F(UnpackBank, MissingFoldersAreCreated)
{
  std::string bank = StoredBankBytes({{"a\\b\\deep.txt", "deep"}});
  ASSERT_TRUE(UnpackBankInto(Span(bank), (Target() / "more").wstring() + L"\\"));
  EXPECT_EQ(Read("more\\a\\b\\deep.txt"), "deep");
}

TEST_F(UnpackBank, MembersThatWouldLeaveTheFolderAreSkipped)
{
  std::string bank = StoredBankBytes({{"..\\evil1.txt", "x"},
                                      {"sub\\..\\..\\evil2.txt", "x"},
                                      {"sub\\. .\\evil3.txt", "x"},
                                      {"\\evil4.txt", "x"},
                                      {"c:evil5.txt", "x"},
                                      {"con", "x"},
                                      {"good.txt", "good"}});
  ASSERT_TRUE(UnpackBankInto(Span(bank), Target().wstring()));
  EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"unpacked"}));
  EXPECT_EQ(Names(Target()), (std::set<std::string>{"good.txt"}));
}

TEST_F(UnpackBank, BankCutShortIsRefusedAndNothingWritten)
{
  std::string whole = StoredBankBytes({{"readme.txt", "hello"}, {"other.txt", "world"}});
  EXPECT_FALSE(UnpackBankInto(Span(whole.substr(0, whole.size() - 2)), Target().wstring()));
  // Cut inside the table: no member can be read.
  for (std::size_t length : {0, 1, 14, 30})
    UnpackBankInto(Span(whole.substr(0, length)), Target().wstring());
  EXPECT_FALSE(std::filesystem::exists(Target()));
}

TEST_F(UnpackBank, NoFolderIsRefused)
{
  std::string bank = StoredBankBytes({{"readme.txt", "hello"}});
  EXPECT_FALSE(UnpackBankInto(Span(bank), L""));
}
