#include "El/QStream/qOStream.hpp"
#include "Tools/mksetup/peResources.hpp"
#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/testImages.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
const std::vector<TestResource> Existing{
    {"CUSTOM", 0, "", 7, 0x409, "custom bytes"},
    {"", 10, "KEEP", 0, 0x409, RandomBytes(300, 1)},
    {"", 10, "OLD", 0, 0, "old bytes"},
    {"", 10, "OLD", 0, 0x407, "old German bytes"},
    {"", 24, "", 1, 0x409, "<assembly manifestVersion=\"1.0\"/>"},
};

std::string KeyText(const PeResourceId &id) { return id.isName ? id.name : std::to_string(id.number); }

std::string Describe(const PeResource &resource, const std::string &image)
{
  return KeyText(resource.type) + "/" + KeyText(resource.name) + "/" + std::to_string(resource.language) + "/" +
         std::to_string(resource.codePage) + "=" + image.substr(resource.fileOffset, resource.size);
}

// Every resource described, after checking that its bytes are 8-aligned.
std::vector<std::string> Listing(const std::string &bytes, std::string &error)
{
  PeImage image;
  ArchiveHostMemory memory(bytes.data(), bytes.size());
  std::vector<std::string> listing;
  if (!image.Read(memory, error))
    return {"error: " + error};
  for (const PeResource &resource : image.Resources())
    listing.push_back(Describe(resource, bytes) + (resource.fileOffset % 8 ? " (unaligned)" : ""));
  return listing;
}

std::string WriteImage(const std::string &in, const std::vector<RcdataFile> &resources, std::string &error)
{
  QOStrStream out;
  if (!WriteImageWithRcdata(in, resources, out, error))
    return {};
  return std::string(out.str(), static_cast<std::size_t>(out.pcount()));
}

#ifdef _WIN32
std::wstring Wide(const std::string &utf8)
{
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                  static_cast<int>(wide.size())));
  return wide;
}

// What the Windows loader finds for each resource of the image at path.
std::vector<std::string> LoaderListing(const std::string &path, const std::string &bytes)
{
  HMODULE module =
      LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module)
    return {"LoadLibraryExW failed: " + std::to_string(GetLastError())};
  PeImage image;
  ArchiveHostMemory memory(bytes.data(), bytes.size());
  std::string error;
  std::vector<std::string> listing;
  image.Read(memory, error);
  for (const PeResource &resource : image.Resources())
  {
    std::wstring type = Wide(resource.type.name), name = Wide(resource.name.name);
    HRSRC found = FindResourceExW(module, resource.type.isName ? type.c_str() : MAKEINTRESOURCEW(resource.type.number),
                                  resource.name.isName ? name.c_str() : MAKEINTRESOURCEW(resource.name.number),
                                  resource.language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    listing.push_back(loaded
                          ? std::string(static_cast<const char *>(LockResource(loaded)), SizeofResource(module, found))
                          : KeyText(resource.type) + "/" + KeyText(resource.name) + " not found");
  }
  FreeLibrary(module);
  return listing;
}
#endif
} // namespace

TEST(PeResources, WrittenImageKeepsItsResourcesAndFindsTheAddedOnes)
{
  TempFolder folder;
  std::string big = RandomBytes(150000, 9), error;
  std::vector<RcdataFile> added{{"new", folder.Write("new.bin", big)},
                                {"old", folder.Write("old.bin", "replacement")},
                                {"zero", folder.Write("zero.bin", "")},
                                {"daten-\xC3\x84", folder.Write("daten.bin", "umlaut")}};
  for (ImageLayout layout :
       {ImageLayout{true, true, true}, ImageLayout{true, false, true, false, true}, ImageLayout{false, false}})
  {
    SCOPED_TRACE(std::to_string(layout.resources) + std::to_string(layout.resourcesLast) + std::to_string(layout.pe32));
    std::string original = MakeImage(layout, Existing);
    std::vector<std::string> before,
        after{"10/DATEN-\xC3\x84/0/0=umlaut", "10/NEW/0/0=" + big, "10/OLD/0/0=replacement", "10/ZERO/0/0="};
    for (const TestResource &r : Existing)
      before.push_back((r.type.empty() ? std::to_string(r.typeId) : r.type) + "/" +
                       (r.name.empty() ? std::to_string(r.nameId) : r.name) + "/" + std::to_string(r.language) +
                       "/1252=" + r.data);
    // Names (by their UTF-16 units) before ids at every level.
    if (layout.resources)
      after = {before[0], after[0], before[1], after[1], after[2], after[3], before[4]};
    else
      before.clear();
    EXPECT_EQ(Listing(original, error), before);

    std::string written = WriteImage(folder.Write("in.exe", original), added, error);
    ASSERT_FALSE(written.empty()) << error;
    EXPECT_EQ(Listing(written, error), after);
    PeImage image;
    ArchiveHostMemory memory(written.data(), written.size());
    ASSERT_TRUE(image.Read(memory, error));
    ASSERT_NE(image.FindRcdata("New"), nullptr);
    EXPECT_EQ(image.FindRcdata("New")->size, big.size());
    EXPECT_EQ(image.FindRcdata("daten-\xC3\xA4"), nullptr);

    // The resource section is the last one, in place or added; the
    // directory, image size and initialized size follow it.
    std::size_t count = Get32(written, CoffHeader + 2) & 0xFFFF, last = SectionTable(written) + 40 * (count - 1);
    EXPECT_EQ(count, (Get32(original, CoffHeader + 2) & 0xFFFF) + (layout.resourcesLast ? 0 : 1));
    std::uint32_t size = Get32(written, last + 8), va = Get32(written, last + 12);
    std::uint32_t rawSize = Get32(written, last + 16), raw = Get32(written, last + 20);
    EXPECT_EQ(written.substr(last, 8), std::string(".rsrc\0\0\0", 8));
    EXPECT_EQ(va, !layout.resources ? 0x3000u : layout.resourcesLast ? 0x2000u : 0x4000u);
    EXPECT_EQ(Get32(written, last + 36), 0x40000040u);
    EXPECT_EQ(Get32(written, Directory(written, 2)), va);
    EXPECT_EQ(Get32(written, Directory(written, 2) + 4), size);
    EXPECT_EQ(Get32(written, OptionalHeader + 56), Align(va + size, 0x1000));
    EXPECT_EQ(raw % 0x200, 0u);
    EXPECT_EQ(rawSize, Align(size, 0x200));
    EXPECT_EQ(image.ImageEnd(), raw + rawSize);
    std::uint32_t replaced = layout.resourcesLast ? Get32(original, SectionTable(original) + 40 + 16) : 0;
    EXPECT_EQ(Get32(written, OptionalHeader + 8), Get32(original, OptionalHeader + 8) - replaced + rawSize);
    EXPECT_EQ(written.substr(0x400, 0x200), original.substr(0x400, 0x200));

    // The symbol and string tables follow the new section; the overlay is gone.
    std::uint32_t symbols = Get32(written, CoffHeader + 8);
    if (layout.symbols)
    {
      EXPECT_EQ(symbols, raw + rawSize);
      EXPECT_EQ(written.substr(symbols), original.substr(Get32(original, CoffHeader + 8), 36 + 23));
    }
    else
      EXPECT_EQ(written.size(), raw + rawSize);

#ifdef _WIN32
    std::vector<std::string> found;
    for (const std::string &line : after)
      found.push_back(line.substr(line.find('=') + 1));
    EXPECT_EQ(LoaderListing(folder.Write("out.exe", written), written), found);
#endif
  }
}

TEST(PeResources, SignedMalformedOrCrowdedImagesAreRefused)
{
  TempFolder folder;
  std::string image = MakeImage({}, Existing), error;
  std::string resource = folder.Write("data.bin", "data");

  std::string signedImage = MakeImage({true, true, false, true}, Existing);
  PeImage read;
  ArchiveHostMemory signedBytes(signedImage.data(), signedImage.size());
  ASSERT_TRUE(read.Read(signedBytes, error)) << error;
  EXPECT_TRUE(read.IsSigned());
  EXPECT_EQ(WriteImage(folder.Write("signed.exe", signedImage), {{"A", resource}}, error), "");
  EXPECT_NE(error.find("signed"), std::string::npos) << error;

  // The bytes after the section table are taken, so no header can be added.
  std::string crowded = MakeImage({true, false}, Existing);
  crowded[SectionTable(crowded) + 3 * 40 + 4] = 1;
  EXPECT_EQ(WriteImage(folder.Write("crowded.exe", crowded), {{"A", resource}}, error), "");
  EXPECT_NE(error.find("room"), std::string::npos) << error;

  EXPECT_EQ(WriteImage(folder.Write("in.exe", image), {{"A", folder.File("missing.bin")}}, error), "");
  EXPECT_NE(error.find("missing.bin"), std::string::npos) << error;
  EXPECT_EQ(WriteImage(folder.Write("in.exe", image), {{"", resource}}, error), "");

  const std::size_t tree = 0x600;
  std::vector<std::pair<const char *, std::function<void(std::string &)>>> damage{
      {"no MZ", [](std::string &b) { b[0] = 'X'; }},
      {"PE header past the end", [](std::string &b) { Set32(b, 0x3C, 0x7FFFFFF0); }},
      {"no PE signature", [](std::string &b) { b[0x81] = 'X'; }},
      {"unknown optional header", [](std::string &b) { Set16(b, OptionalHeader, 0x10C); }},
      {"optional header too short", [](std::string &b) { Set16(b, CoffHeader + 16, 100); }},
      {"file alignment", [](std::string &b) { Set32(b, OptionalHeader + 36, 0x300); }},
      {"cut in the section table", [](std::string &b) { b.resize(SectionTable(b) + 50); }},
      {"cut in the section data", [](std::string &b) { b.resize(tree + 0x100); }},
      {"directory outside the sections", [](std::string &b) { Set32(b, Directory(b, 2), 0x50000); }},
      {"cycle", [](std::string &b) { Set32(b, tree + 20, 0x80000000u); }},
      {"subdirectory past the section", [](std::string &b) { Set32(b, tree + 20, 0x8000FF00u); }},
      {"name past the section", [](std::string &b) { Set32(b, tree + 16, 0x8000FF00u); }},
      {"entries past the section", [](std::string &b) { Set16(b, tree + 14, 0xFFFF); }},
      {"type leads to data", [](std::string &b) { Set32(b, tree + 20, Get32(b, tree + 20) & 0x7FFFFFFF); }},
      {"data outside the sections", [](std::string &b) { Set32(b, tree + 0x300, 0x90000000u); }},
      {"data past its section", [](std::string &b) { Set32(b, tree + 0x304, 0x10000); }},
  };
  for (auto &[what, change] : damage)
  {
    std::string bytes = image;
    change(bytes);
    std::vector<std::string> listing = Listing(bytes, error);
    EXPECT_TRUE(listing.size() == 1 && listing[0].size() > 7 && listing[0].starts_with("error: ")) << what;
  }
}

TEST(PeChecksum, SumsWordsWithCarryWithoutTheFieldAndAddsTheLength)
{
  // 0xFFFF + 0xFFFF folds to 0xFFFF; the odd last byte 0x01 carries it round
  // to 0x0001; the field's bytes do not count; 9 bytes long.
  std::string small("\xFF\xFF\xFF\xFF\x12\x34\x56\x78\x01", 9);
  ArchiveHostMemory smallBytes(small.data(), small.size());
  EXPECT_EQ(PeChecksum(smallBytes, 4), 0x0000000Au);
  // Across read blocks, the field straddling a block's end: 99998 words of
  // 0xFFFF fold to 0xFFFF.
  std::string large(200000, '\xFF');
  ArchiveHostMemory largeBytes(large.data(), large.size());
  EXPECT_EQ(PeChecksum(largeBytes, 65534), 0xFFFFu + 200000u);

  TempFolder folder;
  std::string path = folder.Write("image.exe", MakeImage({}, Existing)), error;
  ASSERT_TRUE(UpdatePeChecksum(path, error)) << error;
  std::string updated = TempFolder::Read(path);
  ArchiveHostMemory updatedBytes(updated.data(), updated.size());
  EXPECT_EQ(Get32(updated, ChecksumField), PeChecksum(updatedBytes, ChecksumField));
  EXPECT_NE(Get32(updated, ChecksumField), 0u);
  EXPECT_FALSE(UpdatePeChecksum(folder.Write("text.txt", "not an image"), error));
}

#ifdef _WIN32
// The test program itself is an unstripped MinGW build: debug sections after
// the others, a symbol table whose string table holds their long names, and
// a checksum that the linker computed.
TEST(PeResources, OwnExecutableGainsAResourceWindowsFinds)
{
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::string original = TempFolder::Read(self), error;
  ArchiveHostMemory selfBytes(original.data(), original.size());
  std::size_t pe = Get32(original, 0x3C);
  EXPECT_EQ(PeChecksum(selfBytes, pe + 24 + 64), Get32(original, pe + 24 + 64));

  TempFolder folder;
  std::string written = WriteImage(folder.Write("self.exe", original),
                                   {{"payload", folder.Write("payload.bin", "payload bytes")}}, error);
  ASSERT_FALSE(written.empty()) << error;
  std::uint32_t symbolsBefore = Get32(original, pe + 12), symbols = Get32(written, pe + 12);
  EXPECT_GT(symbols, symbolsBefore);
  EXPECT_EQ(written.substr(symbols), original.substr(symbolsBefore, written.size() - symbols));
  std::string path = folder.Write("out.exe", written);
  ASSERT_TRUE(UpdatePeChecksum(path, error)) << error;
  EXPECT_EQ(LoaderListing(path, written), std::vector<std::string>{"payload bytes"});
}
#endif

TEST(PeResources, PefileReadsTheSameResourcesAndChecksum)
{
#ifdef _WIN32
  GTEST_SKIP() << "pefile is checked in the native build";
#else
  std::string python;
  for (const char *candidate : {"python3", "/usr/bin/python3"})
    if (python.empty() && std::system((std::string(candidate) + " -c 'import pefile' 2>/dev/null").c_str()) == 0)
      python = candidate;
  if (python.empty())
    GTEST_SKIP() << "python3-pefile is not installed";

  TempFolder folder;
  std::string error;
  std::string written = WriteImage(
      folder.Write("in.exe", MakeImage({true, false, true}, Existing)),
      {{"new", folder.Write("new.bin", RandomBytes(5000, 5))}, {"Daten-\xC3\x84", folder.Write("daten.bin", "umlaut")}},
      error);
  ASSERT_FALSE(written.empty()) << error;
  std::string path = folder.Write("out.exe", written), listing = folder.File("listing.txt");
  ASSERT_TRUE(UpdatePeChecksum(path, error)) << error;
  std::string script = folder.Write("list.py", R"(import sys, pefile
pe = pefile.PE(sys.argv[1])
out = open(sys.argv[2], 'w', encoding='utf-8')
key = lambda e: str(e.name) if e.name is not None else str(e.id)
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for n in t.directory.entries:
        for l in n.directory.entries:
            d = l.data.struct
            out.write('%s/%s %d %d %d\n' % (key(t), key(n), l.id, pe.get_offset_from_rva(d.OffsetToData), d.Size))
out.write('checksum %s %s\n' % (pe.verify_checksum(), pe.get_warnings()))
)");
  ASSERT_EQ(std::system((python + " " + script + " " + path + " " + listing).c_str()), 0);

  PeImage image;
  ArchiveHostMemory memory(written.data(), written.size());
  ASSERT_TRUE(image.Read(memory, error)) << error;
  std::string ours;
  for (const PeResource &resource : image.Resources())
    ours += KeyText(resource.type) + "/" + KeyText(resource.name) + " " + std::to_string(resource.language) + " " +
            std::to_string(resource.fileOffset) + " " + std::to_string(resource.size) + "\n";
  EXPECT_EQ(TempFolder::Read(listing), ours + "checksum True []\n");
#endif
}
