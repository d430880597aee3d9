#include "Setup/Data/archiveTrailer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
void Word(std::string &bytes, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// An image, the banks one after another, then the trailer listing sizes.
std::string HostFile(const std::string &image, const std::vector<std::string> &banks,
                     const std::string &marker = std::string("BANK", 5))
{
  std::string bytes = image;
  for (const std::string &bank : banks)
    bytes += bank;
  bytes += marker;
  Word(bytes, static_cast<std::uint32_t>(banks.size()));
  for (const std::string &bank : banks)
    Word(bytes, static_cast<std::uint32_t>(bank.size()));
  Word(bytes, static_cast<std::uint32_t>(5 + 4 + 4 * banks.size()));
  return bytes;
}

std::vector<ArchiveEntry> Read(const std::string &bytes)
{
  ArchiveHostMemory host(bytes.data(), bytes.size());
  return ReadArchiveTrailer(host);
}
} // namespace

TEST(ArchiveTrailer, EachBankLiesRightBeforeTheNextAndTheLastEndsAtTheMarker)
{
  std::string bytes = HostFile("MZ-image", {"first bank", "2nd", "the third one"});
  std::vector<ArchiveEntry> entries = Read(bytes);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(bytes.substr(entries[0].start, entries[0].size), "first bank");
  EXPECT_EQ(bytes.substr(entries[1].start, entries[1].size), "2nd");
  EXPECT_EQ(bytes.substr(entries[2].start, entries[2].size), "the third one");
  EXPECT_EQ(entries[2].start + entries[2].size, bytes.find(std::string("BANK", 5)));

  // One bank: the length field says 13.
  std::string single = HostFile("image", {"bank"});
  EXPECT_EQ(single.substr(single.size() - 4), std::string("\x0D\0\0\0", 4));
  ASSERT_EQ(Read(single).size(), 1u);
  EXPECT_EQ(Read(single)[0].start, 5u);
}

TEST(ArchiveTrailer, AnythingButAnExactSoundTrailerGivesNoArchives)
{
  std::string sound = HostFile("image", {"one", "two"});
  ASSERT_EQ(Read(sound).size(), 2u);

  EXPECT_TRUE(Read(HostFile("image", {"one"}, std::string("bank", 5))).empty());
  EXPECT_TRUE(Read(HostFile("image", {"one"}, std::string("BANKX", 5))).empty());
  EXPECT_TRUE(Read("").empty());
  EXPECT_TRUE(Read("abc").empty());
  EXPECT_TRUE(Read(std::string("\x0D\0\0\0", 4)).empty());

  // A length field that lies: one more, one less, past the file's start.
  for (std::uint32_t length : {18u, 16u, 0xFFFFFFF0u})
  {
    std::string lying = sound;
    lying.replace(lying.size() - 4, 4, std::string(4, '\0'));
    lying.resize(lying.size() - 4);
    Word(lying, length);
    EXPECT_TRUE(Read(lying).empty()) << length;
  }

  // Sizes adding up to more than the bytes before the marker.
  std::string tooLarge = HostFile("", {"one", "two"});
  tooLarge[tooLarge.size() - 8] = 4; // the second bank claims 4 bytes
  EXPECT_TRUE(Read(tooLarge).empty());
  std::string huge = HostFile("image", {"one", "two"});
  huge.replace(huge.size() - 12, 4, std::string("\xFF\xFF\xFF\xFF", 4));
  EXPECT_TRUE(Read(huge).empty());
}

TEST(ArchiveTrailer, ArchivesBeyondTheLastNumberAreCountedButNotKept)
{
  std::vector<std::string> banks;
  for (int i = 0; i < MaxArchiveNumber + 3; ++i)
    banks.push_back(std::string(static_cast<std::size_t>(i % 5 + 1), static_cast<char>('a' + i % 26)));
  std::string bytes = HostFile("image", banks);
  std::vector<ArchiveEntry> entries = Read(bytes);
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(MaxArchiveNumber));
  for (int i = 0; i < MaxArchiveNumber; ++i)
    EXPECT_EQ(bytes.substr(entries[i].start, entries[i].size), banks[i]) << i;
}
