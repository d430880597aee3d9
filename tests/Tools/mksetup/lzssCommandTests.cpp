#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Packs bytes with the tool; answers the packed bytes (empty when it failed).
std::string Encode(const TempFolder &folder, const std::string &bytes)
{
  std::string in = folder.Write("plain.bin", bytes);
  MksetupRun run = RunMksetup({"lzss", "encode", in, folder.File("packed.lzss")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return TempFolder::Read(folder.File("packed.lzss"));
}

MksetupRun Decode(const TempFolder &folder, const std::string &size, const std::string &packed)
{
  std::string in = folder.Write("packed.lzss", packed);
  return RunMksetup({"lzss", "decode", size, in, folder.File("unpacked.bin")});
}

// Only what the test put there: no output and no temporary file beside it.
void ExpectNoOutput(const TempFolder &folder)
{
  EXPECT_EQ(TreeOf(folder.Path()), (std::set<std::string>{"packed.lzss"}));
}

// What the decoder reports for a malformed stream.
bool HasDecoderDiagnostic(const std::string &err) { return Contains(err, "LZW") || Contains(err, "Checksum"); }
} // namespace

TEST(MksetupLzss, EncodeThenDecodeRestoresVariedFilesByteForByte)
{
  std::string mixed = RepetitiveText(150000) + RandomBytes(150000, 7) + std::string(20000, ' ');
  const std::vector<std::string> inputs = {"a",
                                           std::string(1, '\0'),
                                           "abcabcabcabcabcabcabcabc",
                                           RepetitiveText(5000),
                                           RandomBytes(100000, 1),
                                           std::string(70000, ' '),
                                           std::string(70000, '\0'),
                                           mixed};
  for (const std::string &bytes : inputs)
  {
    TempFolder folder;
    std::string packed = Encode(folder, bytes);
    MksetupRun run = Decode(folder, std::to_string(bytes.size()), packed);
    ASSERT_EQ(run.exitCode, 0) << bytes.size() << " bytes: " << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(TempFolder::Read(folder.File("unpacked.bin")) == bytes) << bytes.size() << " bytes";
  }
}

TEST(MksetupLzss, EmptyInputPacksToEmptyOutputAndUnpacksBack)
{
  TempFolder folder;
  std::string packed = Encode(folder, "");
  EXPECT_TRUE(Exists(folder.File("packed.lzss")));
  EXPECT_EQ(packed, "");
  MksetupRun run = Decode(folder, "0", packed);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Exists(folder.File("unpacked.bin")));
  EXPECT_EQ(TempFolder::Read(folder.File("unpacked.bin")), "");
}

TEST(MksetupLzss, RepetitiveInputPacksSmall)
{
  TempFolder folder;
  EXPECT_LT(Encode(folder, RepetitiveText(100000)).size(), 20000u);
}

TEST(MksetupLzss, EncodeReplacesAnExistingOutput)
{
  TempFolder folder;
  folder.Write("packed.lzss", RandomBytes(50000, 3));
  std::string packed = Encode(folder, "short");
  MksetupRun run = Decode(folder, "5", packed);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(TempFolder::Read(folder.File("unpacked.bin")), "short");
}

TEST(MksetupLzss, DecodeOfATruncatedStreamReportsTheDecoderAndLeavesNoOutput)
{
  TempFolder folder;
  std::string bytes = RepetitiveText(3000) + RandomBytes(3000, 2);
  std::string packed = Encode(folder, bytes);
  std::filesystem::remove(folder.File("plain.bin"));
  MksetupRun run = Decode(folder, std::to_string(bytes.size()), packed.substr(0, packed.size() / 2));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(HasDecoderDiagnostic(run.err)) << run.err;
  ExpectNoOutput(folder);
}

TEST(MksetupLzss, DecodeOfABadChecksumReportsTheDecoderAndLeavesNoOutput)
{
  TempFolder folder;
  std::string bytes = RepetitiveText(3000);
  std::string packed = Encode(folder, bytes);
  std::filesystem::remove(folder.File("plain.bin"));
  packed.back() = static_cast<char>(packed.back() ^ 0x40);
  MksetupRun run = Decode(folder, std::to_string(bytes.size()), packed);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(HasDecoderDiagnostic(run.err)) << run.err;
  ExpectNoOutput(folder);
}

TEST(MksetupLzss, FailedDecodeKeepsAnEarlierOutput)
{
  TempFolder folder;
  folder.Write("unpacked.bin", "earlier");
  MksetupRun run = Decode(folder, "800", std::string(100, '\xff'));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(TempFolder::Read(folder.File("unpacked.bin")), "earlier");
  EXPECT_EQ(TreeOf(folder.Path()), (std::set<std::string>{"packed.lzss", "unpacked.bin"}));
}

TEST(MksetupLzss, DecodeRefusesASizeThePackedStreamCannotHold)
{
  // 100 packed bytes unpack to at most 9 * 100 + 16.
  TempFolder folder;
  MksetupRun refused = Decode(folder, "917", std::string(100, '\0'));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err, "");
  EXPECT_FALSE(HasDecoderDiagnostic(refused.err)) << "refused before decoding: " << refused.err;
  ExpectNoOutput(folder);

  MksetupRun tried = Decode(folder, "916", std::string(100, '\0'));
  EXPECT_EQ(tried.exitCode, 1);
  EXPECT_TRUE(HasDecoderDiagnostic(tried.err)) << "decoded at the limit: " << tried.err;

  MksetupRun huge = Decode(folder, "99999999999999999999999999", std::string(100, '\0'));
  EXPECT_EQ(huge.exitCode, 1);
  EXPECT_FALSE(HasDecoderDiagnostic(huge.err)) << huge.err;
  ExpectNoOutput(folder);
}

TEST(MksetupLzss, TheSizeLimitLeavesRoomForTheMostRepetitiveStream)
{
  // Spaces match the window's initial fill: every item is a longest reference.
  TempFolder folder;
  std::string bytes(200000, ' ');
  std::string packed = Encode(folder, bytes);
  MksetupRun run = Decode(folder, std::to_string(bytes.size()), packed);
  EXPECT_EQ(run.exitCode, 0) << packed.size() << " packed bytes: " << run.err;
  EXPECT_TRUE(TempFolder::Read(folder.File("unpacked.bin")) == bytes);
}

TEST(MksetupLzss, DecodeSizeMustBeADecimalNumber)
{
  TempFolder folder;
  for (const char *size : {"", "-5", "+5", "12x", "0x10", "1e3", " 7"})
  {
    MksetupRun run = Decode(folder, size, "irrelevant");
    EXPECT_EQ(run.exitCode, 2) << "'" << size << "'";
    EXPECT_NE(run.err, "");
  }
  ExpectNoOutput(folder);
}
