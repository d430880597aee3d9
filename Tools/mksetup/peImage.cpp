#include "Tools/mksetup/fileBytes.hpp"
#include "Tools/mksetup/peResources.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace
{
constexpr std::uint32_t ResourceDirectoryIndex = 2;
constexpr std::uint32_t CertificateTableIndex = 4;
constexpr std::uint32_t MaxDirectories = 16;
constexpr std::uint64_t SectionHeaderSize = 40;
// The optional header up to its data directories, and where the number of
// directories sits in it.
constexpr std::uint32_t FixedOptionalSize32 = 96;
constexpr std::uint32_t FixedOptionalSize64 = 112;
constexpr std::uint32_t ChecksumFieldOffset = 64;

// Flags in the directory entries: the name is a string, the target is a
// further directory (otherwise a data entry).
constexpr std::uint32_t NameIsString = 0x80000000u;
constexpr std::uint32_t TargetIsDirectory = 0x80000000u;

// Names are copied into every resource below them: a few names of 64K
// characters, each reached through many entries, would otherwise make a
// small file cost gigabytes. Real images use a tiny fraction of this.
constexpr std::uint64_t NameUnitBudget = 1u << 24;

std::uint16_t Le16(const unsigned char *bytes) { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }

std::uint32_t Le32(const unsigned char *bytes)
{
  return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
         std::uint32_t(bytes[3]) << 24;
}

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::string Hex(std::uint32_t value)
{
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

void AppendUtf8(std::string &out, std::uint32_t code)
{
  if (code < 0x80)
    out += static_cast<char>(code);
  else if (code < 0x800)
  {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  else if (code < 0x10000)
  {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  else
  {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A lone surrogate becomes U+FFFD: the UTF-8 stays valid, and the exact name
// is kept beside it for writing the image again.
std::string Utf16ToUtf8(const std::u16string &text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
  {
    std::uint32_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
    {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    }
    else if (unit >= 0xD800 && unit < 0xE000)
      AppendUtf8(out, 0xFFFD);
    else
      AppendUtf8(out, unit);
  }
  return out;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringAsciiCase(const std::string &a, const std::string &b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
      return false;
  return true;
}

std::string SectionName(const char (&name)[8])
{
  std::string text;
  for (char c : name)
  {
    if (c == 0)
      break;
    text += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return "\"" + text + "\"";
}

// Walks the resource directory: offsets are relative to its start and every
// structure must lie in the limit bytes from there to the end of its
// section's data. Each directory and data entry may be reached once only,
// which ends cycles and keeps the work linear in the section's size.
class ResourceTreeReader
{
public:
  ResourceTreeReader(ArchiveHostBytes &file, std::uint64_t base, std::uint32_t limit, std::string &error)
      : _file(file), _base(base), _limit(limit), _error(error)
  {
  }

  struct Entry
  {
    std::uint32_t name;
    std::uint32_t target;
  };

  bool Directory(std::uint32_t offset, std::vector<Entry> &entries)
  {
    unsigned char header[16];
    if (!Claim(offset) || !Read(offset, header, sizeof header))
      return false;
    std::uint64_t count = std::uint64_t(Le16(header + 12)) + Le16(header + 14);
    if (!Fits(std::uint64_t(offset) + sizeof header, 8 * count))
      return false;
    std::vector<unsigned char> raw(8 * count);
    if (!Read(std::uint64_t(offset) + sizeof header, raw.data(), raw.size()))
      return false;
    entries.resize(count);
    for (std::size_t i = 0; i < count; ++i)
      entries[i] = {Le32(&raw[8 * i]), Le32(&raw[8 * i + 4])};
    return true;
  }

  bool Id(std::uint32_t field, PeResourceId &id, std::u16string &raw)
  {
    raw.clear();
    id = {};
    if (!(field & NameIsString))
    {
      if (field > 0xFFFF)
        return Fail("a resource id does not fit in 16 bits");
      id.number = static_cast<std::uint16_t>(field);
      return true;
    }
    std::uint64_t offset = field & ~NameIsString;
    unsigned char length[2];
    if (!Read(offset, length, sizeof length) || !Fits(offset + 2, 2 * std::uint64_t(Le16(length))) ||
        !Spend(Le16(length)))
      return false;
    std::vector<unsigned char> units(2 * std::size_t(Le16(length)));
    if (!Read(offset + 2, units.data(), units.size()))
      return false;
    for (std::size_t i = 0; i < units.size(); i += 2)
      raw += static_cast<char16_t>(Le16(&units[i]));
    id.isName = true;
    id.name = Utf16ToUtf8(raw);
    return true;
  }

  // The data entry: the address, size and code page of the bytes.
  bool Data(std::uint32_t offset, std::uint32_t &rva, std::uint32_t &size, std::uint32_t &codePage)
  {
    unsigned char entry[16];
    if (!Claim(offset) || !Read(offset, entry, sizeof entry))
      return false;
    rva = Le32(entry);
    size = Le32(entry + 4);
    codePage = Le32(entry + 8);
    return true;
  }

  bool Spend(std::uint64_t units)
  {
    if (units > _budget)
      return Fail("the resource names are too long altogether");
    _budget -= units;
    return true;
  }

  bool Fail(const std::string &why)
  {
    _error = why;
    return false;
  }

private:
  bool Claim(std::uint32_t offset)
  {
    if (!_seen.insert(offset).second)
      return Fail("the resource directory reaches one of its entries twice (shared or cyclic offsets)");
    return true;
  }

  bool Fits(std::uint64_t offset, std::uint64_t count)
  {
    if (offset > _limit || count > _limit - offset)
      return Fail("the resource directory points past the end of its section");
    return true;
  }

  bool Read(std::uint64_t offset, void *destination, std::size_t count)
  {
    if (!Fits(offset, count))
      return false;
    // Empty reads may come with a null destination (an empty vector's data).
    if (count != 0 && !_file.ReadAt(_base + offset, destination, count))
      return Fail("the resource directory cannot be read");
    return true;
  }

  ArchiveHostBytes &_file;
  std::uint64_t _base;
  std::uint64_t _limit;
  std::string &_error;
  std::unordered_set<std::uint32_t> _seen;
  std::uint64_t _budget = NameUnitBudget;
};
} // namespace

bool PeImage::Read(ArchiveHostBytes &file, std::string &error)
{
  *this = PeImage();
  if (!ReadHeaders(file, error) || !ReadResourceTree(file, error))
  {
    *this = PeImage();
    return false;
  }
  return true;
}

bool PeImage::ReadHeaders(ArchiveHostBytes &file, std::string &error)
{
  unsigned char dos[64];
  if (!file.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
  {
    error = "not a PE image: no MZ header";
    return false;
  }
  std::uint64_t peOffset = Le32(dos + 0x3C);
  unsigned char coff[24];
  if (!file.ReadAt(peOffset, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0)
  {
    error = "not a PE image: no PE signature where the MZ header points";
    return false;
  }
  _coffHeaderOffset = peOffset + 4;
  std::uint32_t sectionCount = Le16(coff + 6);
  _symbolTablePointer = Le32(coff + 12);
  _symbolCount = Le32(coff + 16);
  std::uint32_t optionalSize = Le16(coff + 20);
  _optionalHeaderOffset = peOffset + sizeof coff;

  unsigned char optional[FixedOptionalSize64];
  if (optionalSize < 2 || !file.ReadAt(_optionalHeaderOffset, optional, 2))
  {
    error = "the PE image has no optional header";
    return false;
  }
  std::uint32_t magic = Le16(optional);
  if (magic != 0x10B && magic != 0x20B)
  {
    error = "the PE image has an optional header of unknown kind (magic " + Hex(magic) + ")";
    return false;
  }
  _pe32Plus = magic == 0x20B;
  std::uint32_t fixedSize = _pe32Plus ? FixedOptionalSize64 : FixedOptionalSize32;
  if (optionalSize < fixedSize || !file.ReadAt(_optionalHeaderOffset, optional, fixedSize))
  {
    error = "the PE image's optional header is cut short";
    return false;
  }
  _sizeOfInitializedData = Le32(optional + 8);
  _sectionAlignment = Le32(optional + 32);
  _fileAlignment = Le32(optional + 36);
  _sizeOfHeaders = Le32(optional + 60);
  _checksumOffset = _optionalHeaderOffset + ChecksumFieldOffset;
  if (!IsPowerOfTwo(_sectionAlignment) || !IsPowerOfTwo(_fileAlignment))
  {
    error = "the PE image's section or file alignment is not a power of two";
    return false;
  }
  if (_sizeOfHeaders > file.Size())
  {
    error = "the PE image's headers pass the end of the file";
    return false;
  }

  // The count the header states, but no more than the optional header holds.
  _directoryCount = std::min({Le32(optional + fixedSize - 4), MaxDirectories, (optionalSize - fixedSize) / 8});
  unsigned char directories[8 * MaxDirectories];
  if (!file.ReadAt(_optionalHeaderOffset + fixedSize, directories, 8 * _directoryCount))
  {
    error = "the PE image's data directories are cut short";
    return false;
  }
  if (_directoryCount > CertificateTableIndex)
    _signed = Le32(directories + 8 * CertificateTableIndex + 4) != 0;
  if (_directoryCount > ResourceDirectoryIndex)
  {
    _resourceRva = Le32(directories + 8 * ResourceDirectoryIndex);
    _resourceSize = Le32(directories + 8 * ResourceDirectoryIndex + 4);
  }

  // The table is read only once the file is known to hold it, so the count
  // never sizes more than the file's own bytes.
  _sectionTableOffset = _optionalHeaderOffset + optionalSize;
  std::uint64_t tableSize = SectionHeaderSize * sectionCount;
  if (_sectionTableOffset > file.Size() || tableSize > file.Size() - _sectionTableOffset)
  {
    error = "the PE image's section table passes the end of the file";
    return false;
  }
  std::vector<unsigned char> table(tableSize);
  if (!table.empty() && !file.ReadAt(_sectionTableOffset, table.data(), table.size()))
  {
    error = "the PE image's section table cannot be read";
    return false;
  }
  _imageEnd = _sizeOfHeaders;
  _sections.resize(sectionCount);
  for (std::uint32_t i = 0; i < sectionCount; ++i)
  {
    const unsigned char *raw = &table[SectionHeaderSize * i];
    Section &section = _sections[i];
    std::memcpy(section.name, raw, sizeof section.name);
    section.virtualSize = Le32(raw + 8);
    section.virtualAddress = Le32(raw + 12);
    section.rawSize = Le32(raw + 16);
    section.rawPointer = Le32(raw + 20);
    section.characteristics = Le32(raw + 36);
    if (section.rawSize == 0)
      continue;
    std::uint64_t end = std::uint64_t(section.rawPointer) + section.rawSize;
    if (end > file.Size())
    {
      error = "the data of the PE image's section " + SectionName(section.name) + " pass the end of the file";
      return false;
    }
    _imageEnd = std::max(_imageEnd, end);
  }
  return true;
}

bool PeImage::FileOffsetOf(std::uint32_t rva, std::uint32_t size, std::uint64_t &offset) const
{
  for (const Section &section : _sections)
  {
    if (section.rawSize == 0 || rva < section.virtualAddress)
      continue;
    std::uint32_t into = rva - section.virtualAddress;
    if (into < section.rawSize && size <= section.rawSize - into)
    {
      offset = std::uint64_t(section.rawPointer) + into;
      return true;
    }
  }
  return false;
}

bool PeImage::ReadResourceTree(ArchiveHostBytes &file, std::string &error)
{
  if (_resourceRva == 0)
    return true;
  const Section *home = nullptr;
  for (const Section &section : _sections)
    if (section.rawSize != 0 && _resourceRva >= section.virtualAddress &&
        _resourceRva - section.virtualAddress < section.rawSize)
    {
      home = &section;
      break;
    }
  if (!home)
  {
    error = "the PE image's resource directory lies outside its sections' data";
    return false;
  }
  std::uint32_t into = _resourceRva - home->virtualAddress;
  std::uint64_t base = std::uint64_t(home->rawPointer) + into;
  std::uint32_t limit = home->rawSize - into;
  ResourceTreeReader tree(file, base, limit, error);

  using Entry = ResourceTreeReader::Entry;
  std::vector<Entry> types, names, languages;
  if (!tree.Directory(0, types))
    return false;
  for (const Entry &typeEntry : types)
  {
    PeResource resource;
    RawNames raw;
    if (!(typeEntry.target & TargetIsDirectory))
      return tree.Fail("a resource type leads to data instead of a directory of names");
    if (!tree.Id(typeEntry.name, resource.type, raw.type) ||
        !tree.Directory(typeEntry.target & ~TargetIsDirectory, names))
      return false;
    for (const Entry &nameEntry : names)
    {
      if (!(nameEntry.target & TargetIsDirectory))
        return tree.Fail("a resource name leads to data instead of a directory of languages");
      if (!tree.Id(nameEntry.name, resource.name, raw.name) ||
          !tree.Directory(nameEntry.target & ~TargetIsDirectory, languages))
        return false;
      for (const Entry &languageEntry : languages)
      {
        if (languageEntry.name > 0xFFFF)
          return tree.Fail("a resource language is not a 16-bit number");
        if (languageEntry.target & TargetIsDirectory)
          return tree.Fail("a resource language leads to a further directory");
        std::uint32_t rva = 0;
        if (!tree.Data(languageEntry.target, rva, resource.size, resource.codePage) ||
            !tree.Spend(raw.type.size() + raw.name.size()))
          return false;
        if (!FileOffsetOf(rva, resource.size, resource.fileOffset))
          return tree.Fail("the data of a resource lie outside the image's sections");
        resource.language = static_cast<std::uint16_t>(languageEntry.name);
        _resources.push_back(resource);
        _rawNames.push_back(raw);
      }
    }
  }
  return true;
}

const PeResource *PeImage::FindRcdata(const std::string &name) const
{
  for (const PeResource &resource : _resources)
    if (!resource.type.isName && resource.type.number == PeRcdataType && resource.name.isName &&
        EqualIgnoringAsciiCase(resource.name.name, name))
      return &resource;
  return nullptr;
}

namespace
{
// False when a block cannot be read; sum then covers the blocks before it.
bool SumImage(ArchiveHostBytes &file, std::uint64_t checksumFieldOffset, std::uint32_t &result)
{
  // One's-complement addition is associative: the words are summed exactly
  // and folded once at the end, which gives what folding after every word
  // gives. Blocks are of even size, so only the file's last block can end
  // in half a word.
  std::uint64_t size = file.Size();
  std::uint64_t sum = 0;
  bool ok = true;
  std::vector<unsigned char> block(1 << 16);
  for (std::uint64_t at = 0; at < size;)
  {
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - at));
    if (!file.ReadAt(at, block.data(), count))
    {
      ok = false;
      break;
    }
    for (std::uint64_t k = checksumFieldOffset; k < checksumFieldOffset + 4; ++k)
      if (k >= at && k < at + count)
        block[k - at] = 0;
    std::size_t i = 0;
    for (; i + 1 < count; i += 2)
      sum += Le16(&block[i]);
    if (i < count)
      sum += block[i];
    at += count;
  }
  while (sum >> 16)
    sum = (sum & 0xFFFF) + (sum >> 16);
  result = static_cast<std::uint32_t>(sum + size);
  return ok;
}

bool SeekTo(std::FILE *file, std::uint64_t offset)
{
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}
} // namespace

std::uint32_t PeChecksum(ArchiveHostBytes &file, std::uint64_t checksumFieldOffset)
{
  std::uint32_t sum = 0;
  SumImage(file, checksumFieldOffset, sum);
  return sum;
}

bool UpdatePeChecksum(const std::string &path, std::string &error)
{
  std::uint64_t fieldOffset = 0;
  std::uint32_t sum = 0;
  {
    FileBytes file;
    if (!file.Open(path))
    {
      error = "the file cannot be read";
      return false;
    }
    PeImage image;
    if (!image.Read(file, error))
      return false;
    fieldOffset = image._checksumOffset;
    if (!SumImage(file, fieldOffset, sum))
    {
      error = "the file cannot be read";
      return false;
    }
  }
  unsigned char bytes[4] = {static_cast<unsigned char>(sum), static_cast<unsigned char>(sum >> 8),
                            static_cast<unsigned char>(sum >> 16), static_cast<unsigned char>(sum >> 24)};
  std::FILE *file = std::fopen(path.c_str(), "r+b");
  bool written = file && SeekTo(file, fieldOffset) && std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
  if (file && std::fclose(file) != 0)
    written = false;
  if (!written)
  {
    error = "the checksum cannot be written";
    return false;
  }
  return true;
}
