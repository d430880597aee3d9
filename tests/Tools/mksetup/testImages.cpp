#include "tests/Tools/mksetup/testImages.hpp"

#include "tests/Tools/mksetup/mksetupTestFiles.hpp"

#include <cstring>
#include <functional>

std::uint32_t Align(std::size_t value, std::uint32_t alignment)
{
  return static_cast<std::uint32_t>((value + alignment - 1) & ~std::size_t(alignment - 1));
}

void Set16(std::string &bytes, std::size_t at, std::size_t value)
{
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void Set32(std::string &bytes, std::size_t at, std::size_t value)
{
  Set16(bytes, at, value & 0xFFFF);
  Set16(bytes, at + 2, value >> 16 & 0xFFFF);
}

std::uint32_t Get32(const std::string &bytes, std::size_t at)
{
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k)
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + k));
  return value;
}

std::string ResourceSection(const std::vector<TestResource> &resources, std::uint32_t va)
{
  std::string section(0x400, '\0');
  std::size_t directories = 0, names = 0x200, entries = 0x300;
  auto keyOf = [](const TestResource &r, int level)
  {
    return level == 0   ? std::pair(r.type, r.typeId)
           : level == 1 ? std::pair(r.name, r.nameId)
                        : std::pair(std::string(), r.language);
  };
  std::function<std::size_t(std::size_t, std::size_t, int)> directory =
      [&](std::size_t begin, std::size_t end, int level)
  {
    std::vector<std::size_t> runs;
    std::size_t named = 0, at = directories;
    for (std::size_t i = begin; i < end; ++i)
      if (i == begin || keyOf(resources[i], level) != keyOf(resources[i - 1], level))
      {
        runs.push_back(i);
        named += !keyOf(resources[i], level).first.empty();
      }
    directories += 16 + 8 * runs.size();
    Set16(section, at + 12, named);
    Set16(section, at + 14, runs.size() - named);
    runs.push_back(end);
    for (std::size_t k = 0; k + 1 < runs.size(); ++k)
    {
      auto [name, id] = keyOf(resources[runs[k]], level);
      std::size_t field = id;
      if (!name.empty())
      {
        field = 0x80000000u | names;
        Set16(section, names, name.size());
        for (char c : name)
          Set16(section, names += 2, static_cast<unsigned char>(c));
        names += 2;
      }
      std::size_t target = entries;
      if (level < 2)
        target = 0x80000000u | directory(runs[k], runs[k + 1], level + 1);
      else
      {
        section.resize(Align(section.size(), 8));
        Set32(section, entries, va + section.size());
        Set32(section, entries + 4, resources[runs[k]].data.size());
        Set32(section, entries + 8, 1252);
        entries += 16;
        section += resources[runs[k]].data;
      }
      Set32(section, at + 16 + 8 * k, field);
      Set32(section, at + 20 + 8 * k, target);
    }
    return at;
  };
  directory(0, resources.size(), 0);
  return section;
}

std::size_t SectionTable(const std::string &image)
{
  return OptionalHeader + (image[OptionalHeader + 1] == 1 ? 224 : 240);
}
std::size_t Directory(const std::string &image, int index) { return SectionTable(image) - 128 + 8 * index; }

std::string MakeImage(const ImageLayout &layout, const std::vector<TestResource> &resources)
{
  struct Section
  {
    const char *name;
    std::uint32_t va;
    std::string data;
    std::uint32_t characteristics;
  };
  std::vector<Section> sections{{".text", 0x1000, std::string("\x31\xC0\xC3", 3), 0x60000020}};
  std::uint32_t va = 0x2000;
  if (layout.resources)
  {
    sections.push_back({".rsrc", va, ResourceSection(resources, va), 0x40000040});
    va += Align(sections.back().data.size(), 0x1000);
  }
  if (!layout.resources || !layout.resourcesLast)
    sections.push_back({".data", va, RandomBytes(0x30, 3), 0xC0000040});

  std::string image(0x400, '\0');
  image.replace(0, 2, "MZ");
  Set32(image, 0x3C, 0x80);
  image.replace(0x80, 4, std::string("PE\0\0", 4));
  Set16(image, CoffHeader, layout.pe32 ? 0x14C : 0x8664);
  Set16(image, CoffHeader + 2, sections.size());
  Set16(image, CoffHeader + 16, layout.pe32 ? 224 : 240);
  Set16(image, CoffHeader + 18, 0x22);
  Set16(image, OptionalHeader, layout.pe32 ? 0x10B : 0x20B);
  Set32(image, OptionalHeader + 16, 0x1000);                       // entry point
  Set32(image, OptionalHeader + 28, layout.pe32 ? 0x400000 : 0x1); // image base
  Set32(image, OptionalHeader + 32, 0x1000);
  Set32(image, OptionalHeader + 36, 0x200);
  Set16(image, OptionalHeader + 48, 5); // subsystem version
  Set32(image, OptionalHeader + 60, 0x400);
  Set16(image, OptionalHeader + 68, 2); // GUI
  Set32(image, Directory(image, 0) - 4, 16);
  std::uint32_t initialized = 0;
  for (std::size_t i = 0; i < sections.size(); ++i)
  {
    std::size_t header = SectionTable(image) + 40 * i;
    std::uint32_t rawSize = Align(sections[i].data.size(), 0x200);
    image.replace(header, std::strlen(sections[i].name), sections[i].name);
    Set32(image, header + 8, sections[i].data.size());
    Set32(image, header + 12, sections[i].va);
    Set32(image, header + 16, rawSize);
    Set32(image, header + 20, image.size());
    Set32(image, header + 36, sections[i].characteristics);
    image += sections[i].data;
    image.resize(Align(image.size(), 0x200));
    initialized += sections[i].characteristics & 0x40 ? rawSize : 0;
  }
  Set32(image, OptionalHeader + 8, initialized);
  Set32(image, OptionalHeader + 56, Align(sections.back().va + sections.back().data.size(), 0x1000));
  if (layout.resources)
  {
    Set32(image, Directory(image, 2), sections[1].va);
    Set32(image, Directory(image, 2) + 4, sections[1].data.size());
  }
  if (layout.symbols)
  {
    Set32(image, CoffHeader + 8, image.size());
    Set32(image, CoffHeader + 12, 2);
    image += RandomBytes(36, 4) + std::string("\x17\0\0\0a_long_symbol_name\0", 23);
  }
  if (layout.signature)
  {
    Set32(image, Directory(image, 4), image.size());
    Set32(image, Directory(image, 4) + 4, 16);
    image += std::string(16, '\x5A');
  }
  return image + "overlay: appended archives, not part of the image";
}
