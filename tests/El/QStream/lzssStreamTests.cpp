#include "El/QStream/qbStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/memoryBank.hpp"
#include "tests/support/packedBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace
{
// Words, runs of one byte and single noise bytes mixed; noise alone when
// noise is set.
std::string Data(std::size_t size, std::uint32_t seed, bool noise = false)
{
  static const char *const words[] = {"class ", "armor", " = ", "{\n", "};\n", "texture", "1200", ", "};
  std::string bytes;
  while (bytes.size() < size)
  {
    seed = seed * 1664525u + 1013904223u;
    if (noise || seed % 5 == 0)
      bytes += static_cast<char>(seed >> 24);
    else if (seed % 5 == 1)
      bytes.append((seed >> 8) % 300 + 1, static_cast<char>(seed >> 24));
    else
      bytes += words[seed >> 29];
  }
  bytes.resize(size);
  return bytes;
}

// Up to size bytes in pieces cycling through the given sizes (0: one get()),
// each read into a block of exactly its size.
std::string Read(QIStream &in, std::size_t size, const std::vector<int> &pieces)
{
  std::string all;
  for (std::size_t i = 0; all.size() < size; ++i)
  {
    auto piece = std::min(static_cast<std::size_t>(pieces[i % pieces.size()]), size - all.size());
    if (piece == 0)
    {
      int c = in.get();
      if (c < 0)
        break;
      all += static_cast<char>(c);
      continue;
    }
    std::vector<char> block(piece);
    auto got = static_cast<std::size_t>(in.read(block.data(), static_cast<int>(piece)));
    all.append(block.data(), got);
    if (got < piece)
      break;
  }
  return all;
}

const std::vector<std::vector<int>> ReadPatterns = {{0}, {1, 7, 100, 4097, 33000}, {262144}, {262144, 5, 70000, 1}};

void SetWord(std::string &bytes, std::size_t at, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A bank of a stored member and a packed one whose record may claim more
// packed bytes than there are.
std::string PackedBank(const std::string &stored, const std::string &data, const std::string &packed,
                       std::uint32_t claim)
{
  std::string bytes = StoredBankBytes({{"stored.txt", stored}, {"packed.bin", packed}});
  std::size_t record = bytes.find("packed.bin") + 11;
  SetWord(bytes, record, QFBankPacked);
  SetWord(bytes, record + 4, static_cast<std::uint32_t>(data.size()));
  SetWord(bytes, record + 16, claim);
  return bytes;
}
} // namespace

TEST(LzssStream, EveryReadPatternRestoresWhatTheEncoderPacked)
{
  for (std::size_t size : {0, 1, 18, 4095, 4096, 4097, 40000, 300000, 700001})
  {
    for (const std::string &data : {Data(size, std::uint32_t(size)), Data(size, 3, true), std::string(size, 'r')})
    {
      std::string packed = PackedBytes(data);
      for (const std::vector<int> &pattern : ReadPatterns)
      {
        SCOPED_TRACE(testing::Message() << size << " bytes, pieces from " << pattern[0]);
        QILzssStream in(new QIStrStream(packed.data(), static_cast<int>(packed.size())), size);
        EXPECT_EQ(in.Size(), size);
        EXPECT_TRUE(Read(in, size, pattern) == data);
        EXPECT_FALSE(in.fail());
        EXPECT_FALSE(in.DataError());
        EXPECT_EQ(in.get(), -1);
        EXPECT_EQ(in.tellg(), size);
      }
    }
  }
}

TEST(LzssStream, DamageIsReportedOnceAndEndsTheStream)
{
  std::string data = Data(600000, 5), packed = PackedBytes(data);
  std::string badSum = packed;
  badSum.back() ^= 0x10;
  // Whether every byte arrives before the fault is known, and the report. The
  // last case is a literal, then a reference of 10 bytes where 9 are owed.
  const std::vector<std::tuple<std::string, std::string, bool, const char *>> cases = {
      {badSum, data, true, "Checksum"},
      {packed.substr(0, packed.size() - 2), data, true, "LZW: end of stream"},
      {packed.substr(0, packed.size() / 2), data, false, "LZW: stream read failed"},
      {std::string{'\x01', 'a', '\x01', '\x07'}, std::string(10, 'a'), false, "LZW overflow"}};
  for (const auto &[bytes, expected, whole, message] : cases)
  {
    for (const std::vector<int> &pattern : ReadPatterns)
    {
      SCOPED_TRACE(testing::Message() << message << ", pieces from " << pattern[0]);
      CapturingFrame frame;
      QILzssStream in(new QIStrStream(bytes.data(), static_cast<int>(bytes.size())), expected.size());
      std::string got = Read(in, expected.size(), pattern);
      EXPECT_TRUE(got == expected.substr(0, got.size()));
      EXPECT_EQ(got.size() == expected.size(), whole);
      EXPECT_TRUE(in.DataError());
      EXPECT_TRUE(in.fail());
      // Nothing more, even after a seek has cleared the flags.
      in.seekg(0);
      EXPECT_EQ(Read(in, 100000, {70000, 0}), "");
      EXPECT_TRUE(in.fail());
      ASSERT_EQ(frame.lines.size(), 1u);
      EXPECT_TRUE(frame.Contains(message));
    }
  }
}

TEST(BankMemberStream, MembersReadAsPutInAndABankCutShortIsADataError)
{
  CapturingFrame frame;
  std::string stored = Data(100000, 10), data = Data(900000, 11), packed = PackedBytes(data);
  std::string whole = PackedBank(stored, data, packed, static_cast<std::uint32_t>(packed.size()));
  // Sound; cut inside the packed member; cut inside the stored one (leaving
  // the packed member no bytes); whole, but the packed record claims more.
  const std::vector<std::string> banks = {
      whole, whole.substr(0, whole.size() - packed.size() / 3), whole.substr(0, whole.size() - packed.size() - 500),
      PackedBank(stored, data, packed, static_cast<std::uint32_t>(packed.size() + 10))};
  for (std::size_t bank = 0; bank < banks.size(); ++bank)
  {
    MemoryBank memory(banks[bank]);
    EXPECT_EQ(memory.bank.OpenMemberStream("packed.txt"), nullptr);
    for (const auto &[name, expected] : {std::pair{"STORED.TXT", stored}, std::pair{"packed.bin", data}})
    {
      SCOPED_TRACE(testing::Message() << "bank " << bank << ", " << name);
      bool isStored = name[0] == 'S';
      std::unique_ptr<QIStream> in = memory.bank.OpenMemberStream(name);
      ASSERT_NE(in, nullptr);
      std::string got = Read(*in, expected.size(), {262144});
      EXPECT_TRUE(got == expected.substr(0, got.size()));
      EXPECT_EQ(got.size() == expected.size(), isStored ? bank != 2 : bank == 0 || bank == 3);
      EXPECT_EQ(in->DataError(), isStored ? bank == 2 : bank != 0);
      EXPECT_EQ(in->fail(), in->DataError());
    }
  }
}
