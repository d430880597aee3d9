#include "El/QStream/qbRegistry.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
// One stored member per name, each holding its own name as data.
std::string BankOf(const std::vector<std::string> &names)
{
  std::string bytes, data;
  auto word = [&bytes](std::uint32_t value)
  {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<char>(value >> (8 * i)));
  };
  for (const std::string &name : names)
  {
    bytes += name;
    bytes.push_back('\0');
    for (std::uint32_t value :
         {0u, static_cast<std::uint32_t>(name.size()), 0u, 77u, static_cast<std::uint32_t>(name.size())})
      word(value);
    data += name;
  }
  bytes.push_back('\0');
  for (int i = 0; i < 5; ++i)
    word(0);
  return bytes + data;
}

// Turns the registry on for one test and leaves it empty and off.
struct RegistryScope
{
  RegistryScope() { GEnableBanks = true; }
  ~RegistryScope()
  {
    ClearBanks();
    GEnableBanks = false;
  }
};

std::string Folder(const TempFolder &folder) { return folder.Path().string() + "/"; }
} // namespace

TEST(QFBankRegistry, SwitchedOffEverythingGoesToThePlainFiles)
{
  TempFolder folder;
  std::string plain = folder.Write("plain.txt", "12345");
  EXPECT_EQ(FindBankForPath("data\\x"), nullptr);
  EXPECT_EQ(QFBankFileSize(plain.c_str()), 5u);
  EXPECT_TRUE(QFBankFileExist(plain.c_str()));
  QIFStreamB stream;
  QFBankOpenStream(stream, plain.c_str());
  EXPECT_EQ(stream.Size(), 5u);
  EXPECT_EQ(stream.GetBank(), nullptr);
}

TEST(QFBankRegistry, MountedBanksServeThePathsUnderTheirPrefix)
{
  RegistryScope scope;
  TempFolder folder;
  folder.Write("data.vbk", BankOf({"a.txt", "b.txt"}));
  folder.Write("datasub.vbk", BankOf({"c.txt"}));
  EXPECT_EQ(AddBank(Folder(folder).c_str(), "", "data", true, nullptr, nullptr, nullptr), "data\\");
  EXPECT_EQ(AddBank(Folder(folder).c_str(), "data\\", "datasub", false, nullptr, nullptr, nullptr), "data\\datasub\\");
  EXPECT_EQ(RegisteredBankCount(), 2);

  // The longest prefix wins, ignoring case; drive paths never go to banks.
  EXPECT_EQ(FindBankForPath("DATA\\DataSub\\c.txt"), RegisteredBank(1));
  EXPECT_EQ(FindBankForPath("data\\a.txt"), RegisteredBank(0));
  EXPECT_EQ(FindBankForPath("c:\\data\\a.txt"), nullptr);
  EXPECT_EQ(FindBankForPath(""), nullptr);

  EXPECT_EQ(QFBankFileSize("data\\b.txt"), 5u);
  EXPECT_EQ(QFBankFileTime("data\\b.txt"), 77);
  EXPECT_TRUE(QFBankFileExist("data\\datasub\\c.txt"));
  EXPECT_FALSE(QFBankFileExist("data\\missing.txt"));
  EXPECT_LT(QFBankCompare("data\\a.txt", "data\\b.txt"), 0);
  EXPECT_LT(QFBankCompare("elsewhere.txt", "data\\a.txt"), 0);

  QIFStreamB stream;
  QFBankOpenStream(stream, "data\\b.txt");
  char bytes[8];
  EXPECT_EQ(stream.read(bytes, 8), 5);
  EXPECT_EQ(std::string(bytes, 5), "b.txt");
  EXPECT_EQ(stream.GetBank(), RegisteredBank(0));

  RemoveBank("data\\", "datasub", false);
  EXPECT_EQ(RegisteredBankCount(), 1);
}

TEST(QFBankRegistry, RefusedOrMissingBanksAreNotKept)
{
  RegistryScope scope;
  TempFolder folder;
  folder.Write("data.vbk", BankOf({"a.txt"}));
  CapturingFrame frame;
  EXPECT_TRUE(AddBank(Folder(folder).c_str(), "", "missing", true, nullptr, nullptr, nullptr).IsEmpty());
  auto refuse = [](QFBank &, RefCount *) { return false; };
  EXPECT_TRUE(AddBank(Folder(folder).c_str(), "", "data", true, nullptr, refuse, nullptr).IsEmpty());
  EXPECT_EQ(RegisteredBankCount(), 0);
}

TEST(QFBankRegistry, LockUnlockAndUnloading)
{
  RegistryScope scope;
  TempFolder folder;
  folder.Write("one.vbk", BankOf({"a.txt"}));
  folder.Write("two.vbk", BankOf({"b.txt"}));
  AddBank(Folder(folder).c_str(), "", "one", true, nullptr, nullptr, nullptr);
  AddBank(Folder(folder).c_str(), "", "two", true, nullptr, nullptr, nullptr);
  CapturingFrame frame;
  LockBank("one\\");
  LockBank("two\\");
  EXPECT_TRUE(RegisteredBank(0)->IsLoaded());
  LockBank("ONE\\");
  EXPECT_TRUE(frame.Contains("Lock: Bank ONE\\ not found"));
  UnlockBank("nope");
  EXPECT_TRUE(frame.Contains("Unlock: Bank nope not found"));
  MakeBankLockable("nope", true);
  EXPECT_TRUE(frame.Contains("MakeLockable: Bank nope not found"));

  // With every bank locked the first loaded one goes, as a locked bank.
  EXPECT_TRUE(UnloadOneBank());
  EXPECT_TRUE(frame.Contains("Unloading locked bank"));
  EXPECT_FALSE(RegisteredBank(0)->IsLoaded());

  QFBankFunctionsQFBank hooks;
  std::string twoName = Folder(folder) + "TWO.vbk";
  QIFStreamB open;
  ASSERT_TRUE(open.openInBank(*RegisteredBank(1), "b.txt"));
  EXPECT_FALSE(hooks.ReleaseBankFile(twoName.c_str()));
  open.close();
  EXPECT_TRUE(hooks.ReleaseBankFile(twoName.c_str()));
  EXPECT_FALSE(RegisteredBank(1)->IsLoaded());
  EXPECT_TRUE(QFBankFunctions().ReleaseBankFile("anything"));
}

TEST(QFBankLog, WritesEachNameOnceAndRemembersEarlierRuns)
{
  TempFolder folder;
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  {
    QFBankLog log;
    log.Open("data\\");
    log.FileUsed("a.txt");
    log.FileUsed("a.txt");
    log.FileUsed("b.txt");
  }
  {
    QFBankLog again;
    again.Open("data\\");
    again.FileUsed("b.txt");
    again.FileUsed("c.txt");
  }
  std::filesystem::current_path(previous);
  // The log is a text file: Windows ends its lines with CR LF.
  std::string log = TempFolder::Read((folder.Path() / "FilesUsed" / "data.log").string());
  log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
  EXPECT_EQ(log, "a.txt\nb.txt\nc.txt\n");
}

TEST(QFBankPointer, SubReferencesStayInsideTheRegion)
{
  Ref<QFBankPointer> pointer = new QFBankPointer("file.bin", 100, 50);
  Ref<QFBankPointer> inner = pointer->SubReference(10, 20);
  EXPECT_EQ(inner->Start(), 110u);
  EXPECT_EQ(inner->Length(), 20u);
  Ref<QFBankPointer> tail = pointer->SubReference(40, 100);
  EXPECT_EQ(tail->Length(), 10u);
  Ref<QFBankPointer> beyond = pointer->SubReference(80, 5);
  EXPECT_EQ(beyond->Start(), 150u);
  EXPECT_EQ(beyond->Length(), 0u);
  EXPECT_STREQ(pointer->Name(), "file.bin");

  TempFolder folder;
  std::string name = folder.Write("region.bin", "0123456789");
  Ref<QFBankPointer> any = new QFBankPointerToAny(name.c_str(), 2, 5);
  CapturingFrame frame;
  QIFStream stream;
  any->OpenPart(stream, 1, 2);
  EXPECT_TRUE(frame.Contains("Assertion failed 'Not tested'"));
  char bytes[4];
  EXPECT_EQ(stream.read(bytes, 4), 2);
  EXPECT_EQ(std::string(bytes, 2), "34");
}

TEST(QFBankFiles, ListBankFilesNamesOnlyBanks)
{
  TempFolder folder;
  folder.Write("one.vbk", "");
  folder.Write("Two.VBK", "");
  folder.Write("other.txt", "");
  std::vector<std::string> names;
  ASSERT_TRUE(ListBankFiles(
      folder.Path().string().c_str(),
      [](const char *name, bool, void *context)
      {
        static_cast<std::vector<std::string> *>(context)->push_back(name);
        return true;
      },
      &names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Two.VBK", "one.vbk"}));
}
