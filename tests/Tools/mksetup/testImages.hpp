#pragma once

// PE images made from bytes for the tests of the tool's PE reader and
// writer and of the media it builds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A key is a name (ASCII) or, when empty, the id.
struct TestResource
{
  std::string type;
  std::uint16_t typeId;
  std::string name;
  std::uint16_t nameId;
  std::uint16_t language;
  std::string data;
};

struct ImageLayout
{
  bool resources = true;
  // Else a data section follows the resources in memory and in the file.
  bool resourcesLast = true;
  bool symbols = false;
  bool signature = false;
  bool pe32 = false;
};

// Where the test images have their headers.
constexpr std::size_t CoffHeader = 0x84;
constexpr std::size_t OptionalHeader = 0x98;
constexpr std::size_t ChecksumField = OptionalHeader + 64;

std::uint32_t Align(std::size_t value, std::uint32_t alignment);
void Set16(std::string &bytes, std::size_t at, std::size_t value);
void Set32(std::string &bytes, std::size_t at, std::size_t value);
std::uint32_t Get32(const std::string &bytes, std::size_t at);
// The section table and data directory entry index of a test image.
std::size_t SectionTable(const std::string &image);
std::size_t Directory(const std::string &image, int index);

// A resource section for the address va as a resource compiler lays it out:
// directories depth first, names at 0x200, data entries at 0x300, data from
// 0x400. The resources come sorted as the loader needs them.
std::string ResourceSection(const std::vector<TestResource> &resources, std::uint32_t va);

// A small GUI image: .text, then .rsrc and/or .data, optionally a COFF symbol
// and string table after the sections, a certificate, and an overlay.
std::string MakeImage(const ImageLayout &layout, const std::vector<TestResource> &resources);
