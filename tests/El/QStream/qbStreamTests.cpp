#include "El/QStream/qbStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
// Bank bytes written field by field, as a publisher's tool would.
class BankBytes
{
public:
  BankBytes &Version() { return Record("", QFBankVersion, 0, 0, 0); }
  BankBytes &Pair(const std::string &key, const std::string &value)
  {
    String(key);
    return String(value);
  }
  BankBytes &EndPairs() { return String(""); }
  BankBytes &Record(const std::string &name, std::uint32_t method, std::uint32_t unpacked, std::uint32_t time,
                    std::uint32_t dataSize)
  {
    String(name);
    for (std::uint32_t value : {method, unpacked, 0u, time, dataSize})
      Word(value);
    return *this;
  }
  BankBytes &End() { return Record("", 0, 0, 0, 0); }
  BankBytes &Data(const std::string &data)
  {
    bytes += data;
    return *this;
  }
  BankBytes &String(const std::string &text)
  {
    bytes += text;
    bytes.push_back('\0');
    return *this;
  }
  BankBytes &Word(std::uint32_t value)
  {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<char>(value >> (8 * i)));
    return *this;
  }

  std::string bytes;
};

std::string Pack(const std::string &data)
{
  QIStrStream in(data.data(), static_cast<int>(data.size()));
  QOStrStream out;
  SSCompress().encode(out, in);
  return std::string(out.str(), out.pcount());
}

std::string ReadAll(IFileBuffer *buffer)
{
  std::string bytes(buffer->Size(), '\0');
  bytes.resize(buffer->ReadAt(bytes.data(), 0, buffer->Size()));
  return bytes;
}

std::string Member(QFBank &bank, const char *name)
{
  Ref<IFileBuffer> buffer = bank.ReadMember(name);
  return buffer ? ReadAll(buffer.GetRef()) : "<null>";
}

// A bank held in memory for the test's lifetime.
struct MemoryBank
{
  explicit MemoryBank(std::string data) : bytes(std::move(data))
  {
    opened =
        bank.OpenMemory(new FileBufferFromMemory(bytes.data(), static_cast<QFileSize>(bytes.size())), nullptr, nullptr);
  }
  std::string bytes;
  QFBank bank;
  bool opened;
};
} // namespace

TEST(QFBankLayout, TerminatingRecordAloneIsAnEmptyBank)
{
  BankBytes bytes;
  bytes.End();
  ASSERT_EQ(bytes.bytes.size(), 21u);
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.opened);
  EXPECT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.EntryCount(), 0);
  EXPECT_TRUE(memory.bank.Find("anything").name.IsEmpty());
}

TEST(QFBankLayout, OneStoredMemberOfFiftyBytes)
{
  BankBytes bytes;
  bytes.Record("a.txt", QFBankStored, 3, 1234, 3).End().Data("xyz");
  ASSERT_EQ(bytes.bytes.size(), 50u);
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  const QFBankEntry &entry = memory.bank.Find("a.txt");
  EXPECT_EQ(entry.dataPosition, 47u);
  EXPECT_EQ(entry.timestamp, 1234u);
  EXPECT_EQ(memory.bank.DataPosition("a.txt"), 47u);
  EXPECT_EQ(Member(memory.bank, "a.txt"), "xyz");
}

TEST(QFBankLayout, VersionRecordAndPropertiesComeBeforeTheEntries)
{
  BankBytes bytes;
  bytes.Version().Pair("author", "anna").EndPairs();
  ASSERT_EQ(bytes.bytes.size(), 34u);
  bytes.Record("b.bin", QFBankStored, 2, 0, 2).End().Data("hi");
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.GetProperty("AUTHOR"), "anna");
  EXPECT_EQ(memory.bank.DataPosition("b.bin"), 34u + 26u + 21u);
  EXPECT_EQ(Member(memory.bank, "b.bin"), "hi");
}

TEST(QFBankLayout, FirstPrefixPairSetsThePrefixLaterOnesAreIgnored)
{
  BankBytes bytes;
  bytes.Version().Pair("Prefix", "data").Pair("other", "1").Pair("prefix", "later").EndPairs().End();
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.opened);
  EXPECT_EQ(memory.bank.GetPrefix(), "data\\");
  ASSERT_EQ(memory.bank.Properties().Size(), 1);
  EXPECT_EQ(memory.bank.Properties()[0].key, "other");
  EXPECT_TRUE(memory.bank.GetProperty("prefix").IsEmpty());
}

TEST(QFBankNames, StoredNamesAreLoweredWithBackslashesLookupsOnlyLowered)
{
  BankBytes bytes;
  bytes.Record("Data/Tex.PAA", QFBankStored, 1, 0, 1).End().Data("t");
  MemoryBank memory(bytes.bytes);
  EXPECT_EQ(memory.bank.Find("data\\tex.paa").name, "data\\tex.paa");
  EXPECT_FALSE(memory.bank.Find("DATA\\TEX.PAA").name.IsEmpty());
  EXPECT_TRUE(memory.bank.Find("data/tex.paa").name.IsEmpty());
  EXPECT_TRUE(memory.bank.Contains("Data\\Tex.paa"));
}

TEST(QFBankNames, LaterDuplicateReplacesButBothSizesAdvancePositions)
{
  BankBytes bytes;
  bytes.Record("same", QFBankStored, 2, 0, 2).Record("SAME", QFBankStored, 3, 0, 3).Record("next", 0, 1, 0, 1).End();
  bytes.Data("aa").Data("bbb").Data("c");
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.EntryCount(), 2);
  EXPECT_EQ(Member(memory.bank, "same"), "bbb");
  EXPECT_EQ(Member(memory.bank, "next"), "c");
}

TEST(QFBankNames, OverlongNameIsCutAndTheRestReadAsFields)
{
  // 1023 characters fill the name; the byte after them would be the zero in
  // a proper record. A writer must stay below the limit: the reader takes
  // the following bytes as the next fields.
  std::string name(1023, 'n');
  BankBytes bytes;
  bytes.bytes += name;
  for (std::uint32_t value : {0u, 1u, 0u, 0u, 1u})
    bytes.Word(value);
  bytes.End().Data("z");
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(Member(memory.bank, name.c_str()), "z");
  // The lookup cuts a longer name the same way.
  EXPECT_EQ(Member(memory.bank, (name + "tail").c_str()), "z");
}

TEST(QFBankDamage, DataEndingInsideANameEndsTheTable)
{
  BankBytes bytes;
  bytes.Record("first", QFBankStored, 1, 0, 1);
  bytes.bytes += "seco";
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.EntryCount(), 1);
  EXPECT_TRUE(memory.bank.Contains("first"));
  EXPECT_EQ(Member(memory.bank, "first"), "");
}

TEST(QFBankDamage, DeclaredSizesBeyondTheDataAreReportedButTheBankLoads)
{
  BankBytes bytes;
  bytes.Record("big", QFBankStored, 1000, 0, 1000).End().Data("only a little");
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  EXPECT_TRUE(memory.bank.Load());
  EXPECT_TRUE(frame.Contains("Data file too short"));
  EXPECT_EQ(Member(memory.bank, "big"), "only a little");
}

TEST(QFBankDamage, LyingSizesNeitherWrapPositionsNorAllocateHugely)
{
  BankBytes bytes;
  bytes.Record("a", QFBankStored, 1, 0, 0xFFFFFFFFu).Record("b", QFBankStored, 1, 0, 0xFFFFFFFFu);
  bytes.Record("packed", QFBankPacked, 0xFFFFFFF0u, 0, 4).End().Data("data");
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.DataPosition("b"), 0xFFFFFFFFu);
  EXPECT_EQ(Member(memory.bank, "b"), "");
  EXPECT_EQ(Member(memory.bank, "packed"), "<null>");
  EXPECT_TRUE(frame.Contains("Error decoding packed from"));
}

TEST(QFBankMembers, PackedMembersAreUnpacked)
{
  std::string text;
  for (int i = 0; i < 500; ++i)
    text += "line " + std::to_string(i % 17) + " of the readme\n";
  std::string packed = Pack(text);
  ASSERT_LT(packed.size(), text.size());
  BankBytes bytes;
  bytes.Record("readme.txt", QFBankPacked, static_cast<std::uint32_t>(text.size()), 0,
               static_cast<std::uint32_t>(packed.size()));
  bytes.Record("empty", QFBankPacked, 0, 0, 0).End().Data(packed);
  MemoryBank memory(bytes.bytes);
  EXPECT_EQ(Member(memory.bank, "readme.txt"), text);
  Ref<IFileBuffer> part = memory.bank.ReadMember("readme.txt", 5, 10);
  ASSERT_TRUE(part);
  EXPECT_EQ(ReadAll(part.GetRef()), text.substr(5, 10));
  Ref<IFileBuffer> empty = memory.bank.ReadMember("empty");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Size(), 0u);
}

TEST(QFBankMembers, DamagedPackedMemberIsReportedAndTheBankStaysLoaded)
{
  std::string packed = Pack(std::string(3000, 'q'));
  packed[packed.size() - 1] ^= 0x55;
  BankBytes bytes;
  bytes.Record("bad", QFBankPacked, 3000, 0, static_cast<std::uint32_t>(packed.size())).End().Data(packed);
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  EXPECT_EQ(Member(memory.bank, "bad"), "<null>");
  EXPECT_TRUE(frame.Contains("Checksum"));
  EXPECT_TRUE(frame.Contains("Error decoding bad from"));
  EXPECT_TRUE(memory.bank.IsLoaded());
}

TEST(QFBankMembers, UnknownAndEncipheredMethodsGiveNothing)
{
  BankBytes bytes;
  bytes.Version().Pair("encryption", "").EndPairs();
  bytes.Record("odd", 0x12345678u, 1, 0, 1).Record("secret", QFBankEnciphered, 1, 0, 1).End().Data("ab");
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  EXPECT_EQ(Member(memory.bank, "odd"), "<null>");
  EXPECT_TRUE(frame.Contains("Assertion failed 'Unknown compression manager'"));
  EXPECT_EQ(Member(memory.bank, "secret"), "<null>");
  EXPECT_TRUE(frame.Contains("Unknown encryption"));
}

TEST(QFBankMembers, EncipheredHeaderWithoutADecoderLoadsEmpty)
{
  BankBytes bytes;
  bytes.Version().Pair("encryption", "nobody").EndPairs().Word(21).Word(21).End().Data("x");
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  EXPECT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.EntryCount(), 0);
  EXPECT_TRUE(frame.Contains("Unknown encryption nobody"));
}

TEST(QFBankMembers, StartBeyondTheMemberGivesAnEmptyBuffer)
{
  BankBytes bytes;
  bytes.Record("m", QFBankStored, 4, 0, 4).End().Data("abcd");
  MemoryBank memory(bytes.bytes);
  Ref<IFileBuffer> beyond = memory.bank.ReadMember("m", 10, 5);
  ASSERT_TRUE(beyond);
  EXPECT_EQ(beyond->Size(), 0u);
  EXPECT_EQ(ReadAll(memory.bank.ReadMember("m", 1, 2).GetRef()), "bc");
  EXPECT_EQ(memory.bank.ReadMember("missing").GetRef(), nullptr);
}

TEST(QFBankMembers, StreamsOpenOnMembersAndFailOnMissingOnes)
{
  BankBytes bytes;
  bytes.Record("m", QFBankStored, 4, 0, 4).End().Data("abcd");
  MemoryBank memory(bytes.bytes);
  QIFStreamB stream;
  EXPECT_TRUE(stream.openInBank(memory.bank, "M"));
  EXPECT_EQ(stream.GetBank(), &memory.bank);
  char out[8];
  EXPECT_EQ(stream.read(out, 8), 4);
  EXPECT_EQ(std::string(out, 4), "abcd");
  EXPECT_FALSE(stream.openInBank(memory.bank, "nope"));
  EXPECT_TRUE(stream.fail());
  EXPECT_EQ(stream.Size(), 0u);
}

TEST(QFBankLifecycle, UnloadWaitsForOpenMembers)
{
  BankBytes bytes;
  bytes.Record("m", QFBankStored, 4, 0, 4).End().Data("abcd");
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  CapturingFrame frame;
  {
    QIFStreamB stream;
    ASSERT_TRUE(stream.openInBank(memory.bank, "m"));
    memory.bank.Unload();
    EXPECT_TRUE(memory.bank.IsLoaded());
    EXPECT_TRUE(frame.Contains("Cannot unload bank , 1 files are still open"));
  }
  memory.bank.Unload();
  EXPECT_FALSE(memory.bank.IsLoaded());
  EXPECT_TRUE(frame.Contains("Unload bank"));
}

TEST(QFBankLifecycle, UnlockedBankRefusesToLoad)
{
  BankBytes bytes;
  bytes.End();
  MemoryBank memory(bytes.bytes);
  memory.bank.SetLocked(false);
  CapturingFrame frame;
  EXPECT_FALSE(memory.bank.Load());
  EXPECT_TRUE(frame.Contains("Cannot open bank  that is not locked"));
}

TEST(QFBankLifecycle, LoadCheckCanRefuseTheBank)
{
  BankBytes bytes;
  bytes.Record("m", QFBankStored, 1, 0, 1).End().Data("x");
  std::string data = bytes.bytes;
  QFBank bank;
  auto refuse = [](QFBank &, RefCount *) { return false; };
  ASSERT_TRUE(
      bank.OpenMemory(new FileBufferFromMemory(data.data(), static_cast<QFileSize>(data.size())), refuse, nullptr));
  EXPECT_FALSE(bank.Load());
  EXPECT_TRUE(bank.Failed());
  EXPECT_EQ(bank.EntryCount(), 0);
}

TEST(QFBankTable, GrowsTo31BucketsAt241EntriesAndKeepsInsertionOrder)
{
  BankBytes bytes;
  for (int i = 0; i < 241; ++i)
    bytes.Record("file" + std::to_string(i), QFBankStored, 0, 0, 0);
  bytes.End();
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(memory.bank.BucketCount(), 31);
  std::vector<std::string> seen;
  memory.bank.ForEachEntry([](const QFBankEntry &entry, QFBank &, void *context)
                           { static_cast<std::vector<std::string> *>(context)->push_back(entry.name.Data()); },
                           &seen);
  EXPECT_EQ(seen.size(), 241u);
  for (int i = 0; i < 241; ++i)
    EXPECT_TRUE(memory.bank.Contains(("file" + std::to_string(i)).c_str())) << i;
}

TEST(QFBankFiles, RegionOfAHostFileAndMissingFiles)
{
  TempFolder folder;
  BankBytes bytes;
  bytes.Record("inner.txt", QFBankStored, 5, 0, 5).End().Data("inner");
  std::string host = folder.Write("host.exe", "MZ-program-bytes" + bytes.bytes + "trailer");
  QFBank bank;
  ASSERT_TRUE(bank.OpenRegion(host.c_str(), nullptr, nullptr, 16, static_cast<QFileSize>(bytes.bytes.size())));
  EXPECT_EQ(Member(bank, "inner.txt"), "inner");
  EXPECT_EQ(bank.BankName(), host.c_str());

  std::string whole = folder.Write("whole.bin", bytes.bytes);
  QFBank wholeBank;
  ASSERT_TRUE(wholeBank.OpenRegion(whole.c_str(), nullptr, nullptr, 0, 0));
  EXPECT_EQ(Member(wholeBank, "inner.txt"), "inner");

  CapturingFrame frame;
  QFBank missing;
  EXPECT_FALSE(missing.OpenRegion(folder.File("missing.bin").c_str(), nullptr, nullptr, 0, 0));
  EXPECT_TRUE(frame.Contains("Cannot open file '"));
  EXPECT_FALSE(missing.Load());
  EXPECT_FALSE(missing.OpenNamed(folder.File("none").c_str(), nullptr, nullptr));
  EXPECT_TRUE(frame.Contains("none.vbk'"));
}

TEST(QFBankFiles, PlainFilesUnderThePrefixOverrideMembers)
{
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "sub");
  folder.Write("sub/b.txt", "from disk");
  BankBytes bytes;
  bytes.Version().Pair("prefix", folder.Path().string()).EndPairs();
  bytes.Record("sub\\b.txt", QFBankStored, 7, 0, 7).Record("c.txt", QFBankStored, 1, 0, 1).End().Data("in bankc");
  MemoryBank memory(bytes.bytes);
  CapturingFrame frame;
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_TRUE(memory.bank.HasPlainFileOverrides());
  EXPECT_TRUE(frame.Contains("Plain file version of sub\\b.txt used"));
  EXPECT_EQ(Member(memory.bank, "sub\\b.txt"), "from disk");
  EXPECT_EQ(Member(memory.bank, "c.txt"), "c");
}

TEST(QFBankEncryption, RegisteredDecodersAreFoundByNameOnce)
{
  struct Reverse : IBankDecoder
  {
    bool Decode(char *destination, QFileSize size, QIStream &source) override
    {
      return source.read(destination, static_cast<int>(size)) == static_cast<int>(size);
    }
  };
  CapturingFrame frame;
  RegisterBankEncryption("plain-copy", [](int) -> IBankDecoder * { return new Reverse(); });
  RegisterBankEncryption("PLAIN-COPY", [](int) -> IBankDecoder * { return new Reverse(); });
  EXPECT_TRUE(frame.Contains("Ecryption PLAIN-COPY already registered"));

  BankBytes records;
  records.Record("hidden.txt", QFBankEnciphered, 3, 0, 3).End();
  BankBytes bytes;
  bytes.Version().Pair("encryption", "Plain-Copy").EndPairs();
  bytes.Word(static_cast<std::uint32_t>(records.bytes.size())).Word(static_cast<std::uint32_t>(records.bytes.size()));
  bytes.Data(records.bytes).Data("abc");
  MemoryBank memory(bytes.bytes);
  ASSERT_TRUE(memory.bank.Load());
  EXPECT_EQ(Member(memory.bank, "hidden.txt"), "abc");
}
