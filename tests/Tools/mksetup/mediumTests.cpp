// mksetup medium build, list and verify over products made in the test. The
// installer installing such media under Wine is proven end to end in
// tests/e2e; here: what lands in the medium folder, the checks that refuse a
// product, and verify finding damage.
#include "Es/Common/crc32Table.hpp"
#include "Tools/mksetup/mediumPlan.hpp"
#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/Tools/mksetup/testImages.hpp"
#include "tests/support/installMedia.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// An installer without resources of its own, or a signed one.
std::string SmallImage(bool signedImage = false)
{
  ImageLayout layout;
  layout.resources = false;
  layout.signature = signedImage;
  return MakeImage(layout, {});
}

std::string CrcText(const std::string &bytes)
{
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(Crc32Of(bytes.data(), bytes.size())));
  return text;
}

struct MediumFixture
{
  TempFolder folder;
  fs::path product = folder.Path() / "product";
  fs::path medium = folder.Path() / "medium";
  std::string setup = folder.Write("setup.exe", SmallImage());

  MediumFixture()
  {
    fs::create_directories(product);
    WriteFileAt(folder.Path() / "setup.dat", "A:Velq\r\n");
  }

  MksetupRun Build(std::vector<std::string> options, const fs::path &into = {}) const
  {
    std::vector<std::string> arguments = {"medium", "build", "--setup", setup, "--script", folder.File("setup.dat")};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(product.string());
    arguments.push_back((into.empty() ? medium : into).string());
    return RunMksetup(arguments);
  }
  MksetupRun Verify(const fs::path &where) const { return RunMksetup({"medium", "verify", where.string()}); }
};

TEST(MksetupMedium, BuildWritesArchivesChecksumsAndResourcesThatListAndVerify)
{
  MediumFixture f;
  std::string notes = RepetitiveText(30000);
  WriteFileAt(f.product / "readme.txt", "Velq\r\n");
  WriteFileAt(f.product / "empty.dat", "");
  WriteFileAt(f.product / "data" / "levels" / "one.lvl", RepetitiveText(200000));
  WriteFileAt(f.product / "data" / "movie.bik", RandomBytes(300000, 1));
  WriteFileAt(f.product / "data" / "notes.txt.gz", GzipBytes(notes));
  // The extras are packed in the same work folder as the product.
  fs::path extras = f.folder.Path() / "extras";
  WriteFileAt(extras / "data" / "license", RepetitiveText(5000));
  WriteFileAt(extras / "data" / "setupWelcome.bmp", RandomBytes(3000, 3));
  MksetupRun built = f.Build({"--pack", "--archive-size", "256K", "--jobs", "2", "--data", extras.string()});
  ASSERT_EQ(built.exitCode, 0) << built.err;

  // The movie does not fit beside the levels: three archives.
  EXPECT_EQ(TreeOf(f.medium),
            (std::set<std::string>{"setup.crc", "setup.exe", "setup01.bin", "setup02.bin", "setup03.bin"}));
  // The checksums are of what the installer writes: gzip data inflated.
  std::vector<std::string> crcs = Lines(ReadFileAt(f.medium / "setup.crc"));
  EXPECT_NE(std::find(crcs.begin(), crcs.end(), "data\\notes.txt.gz " + CrcText(notes)), crcs.end());
  EXPECT_NE(std::find(crcs.begin(), crcs.end(), "empty.dat 00000000"), crcs.end());

  MksetupRun list = RunMksetup({"medium", "list", f.medium.string()});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  std::vector<std::string> lines = Lines(list.out);
  EXPECT_NE(list.out.find("resource\tSETUP_3RD_PARTY_AND_DATA\t"), std::string::npos) << list.out;
  for (const char *line : {"resource\tSETUP.DAT\t8", "archive\t2\tsetup02.bin\t300056",
                           "member\t2\tstored\t300000\tdata\\movie.bik", "member\t3\tstored\t0\tempty.dat"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << list.out;
  EXPECT_NE(list.out.find("member\t1\tpacked\t200000\tdata\\levels\\one.lvl"), std::string::npos) << list.out;

  MksetupRun verify = f.Verify(f.medium);
  EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
  EXPECT_EQ(verify.out, "5 files verified\n");

  // One thread makes the same bytes; a rebuild into one file drops the
  // archive files the medium no longer names.
  fs::path single = f.folder.Path() / "single";
  ASSERT_EQ(f.Build({"--pack", "--archive-size", "256K", "--jobs", "1", "--data", extras.string()}, single).exitCode,
            0);
  for (const char *name : {"setup.exe", "setup01.bin", "setup02.bin", "setup03.bin", "setup.crc"})
    EXPECT_TRUE(ReadFileAt(single / name) == ReadFileAt(f.medium / name)) << name;
  ASSERT_EQ(f.Build({"--pack", "--single-exe", "--uninstaller", f.setup}).exitCode, 0);
  EXPECT_EQ(TreeOf(f.medium), (std::set<std::string>{"setup.crc", "setup.exe"}));
  EXPECT_EQ(f.Verify(f.medium).out, "6 files verified\n");
  EXPECT_NE(ReadFileAt(f.medium / "setup.crc").find("uninstall.exe " + CrcText(ReadFileAt(f.setup))),
            std::string::npos);
}

TEST(MksetupMedium, VerifyNamesTheFileWhoseArchiveByteWasDamaged)
{
  MediumFixture f;
  WriteFileAt(f.product / "a.txt", RepetitiveText(50000));
  WriteFileAt(f.product / "b.bin", RandomBytes(50000, 2));
  for (bool singleExe : {false, true})
  {
    ASSERT_EQ(f.Build(singleExe ? std::vector<std::string>{"--single-exe"} : std::vector<std::string>{}).exitCode, 0);
    fs::path archive = f.medium / (singleExe ? "setup.exe" : "setup01.bin");
    std::string bytes = ReadFileAt(archive);
    // b.bin's data are the last before the trailer (or the file's end).
    std::size_t at = bytes.size() - (singleExe ? 13 : 0) - 1000;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
    WriteFileAt(archive, bytes);
    MksetupRun verify = f.Verify(f.medium);
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(Lines(verify.out).size(), 1u) << verify.out;
    EXPECT_EQ(verify.out.rfind("b.bin: checksum ", 0), 0u) << verify.out;
  }
}

TEST(MksetupMedium, RefusedBuildsNameTheCauseAndLeaveNoFile)
{
  MediumFixture f;
#ifndef _WIN32
  // Names that only a file system blind to case would take for one.
  WriteFileAt(f.product / "Data" / "x.txt", "one");
  WriteFileAt(f.product / "data" / "X.txt", "two");
  MksetupRun clash = f.Build({});
  EXPECT_EQ(clash.exitCode, 1);
  EXPECT_NE(clash.err.find("Data\\x.txt"), std::string::npos) << clash.err;
  fs::remove_all(f.product / "data");
#endif

  std::string signedSetup = f.folder.Write("signed.exe", SmallImage(true));
  MksetupRun signedRun = RunMksetup({"medium", "build", "--setup", signedSetup, f.product.string(), f.medium.string()});
  EXPECT_EQ(signedRun.exitCode, 1);
  EXPECT_NE(signedRun.err.find("signed"), std::string::npos) << signedRun.err;

  EXPECT_EQ(RunMksetup({"medium", "build", f.product.string(), f.medium.string()}).exitCode, 2);
  EXPECT_EQ(f.Build({"--archive-size", "12X"}).exitCode, 2);
  // The uninstaller joins the product under its fixed name, never over a
  // file of the publisher's.
  WriteFileAt(f.product / "Uninstall.EXE", "the publisher's own");
  MksetupRun clashing = f.Build({"--uninstaller", f.setup});
  EXPECT_EQ(clashing.exitCode, 1);
  EXPECT_NE(clashing.err.find("Uninstall.EXE"), std::string::npos) << clashing.err;
  fs::remove(f.product / "Uninstall.EXE");
  EXPECT_EQ(f.Build({}, f.product / "medium").exitCode, 1);
  EXPECT_FALSE(fs::exists(f.medium) && !TreeOf(f.medium).empty());
}

TEST(MksetupMediumPlan, ArchivesFillInOrderAndALargeMemberGetsItsOwn)
{
  // Each member costs its name, a zero, 20 bytes of fields and its data;
  // each bank 21 bytes of terminating record.
  std::vector<PlannedMember> members = {{1, 100}, {1, 100}, {1, 1000}, {1, 50}, {1, 0}};
  std::vector<int> archives;
  std::string error;
  ASSERT_TRUE(PlanArchives(members, 21 + 2 * 122, archives, error));
  EXPECT_EQ(archives, (std::vector<int>{1, 1, 2, 3, 3}));
  ASSERT_TRUE(PlanArchives(members, 21 + 2 * 122 - 1, archives, error));
  EXPECT_EQ(archives, (std::vector<int>{1, 2, 3, 4, 4}));
  ASSERT_TRUE(PlanArchives(members, UINT64_MAX, archives, error));
  EXPECT_EQ(archives, (std::vector<int>(5, 1)));
  EXPECT_FALSE(PlanArchives(std::vector<PlannedMember>(128, {1, 10}), 1, archives, error));

  std::uint64_t size = 0;
  EXPECT_TRUE(ParseByteSize("3k", size) && size == 3072);
  EXPECT_TRUE(ParseByteSize("2G", size) && size == (2ull << 30));
  for (const char *bad : {"", "0", "K", "1.5M", "1MB", "-1", "99999999999999999999"})
    EXPECT_FALSE(ParseByteSize(bad, size)) << bad;
}
} // namespace
