#include "El/QStream/qOStream.hpp"
#include "Tools/mksetup/fileBytes.hpp"
#include "Tools/mksetup/peResources.hpp"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::uint64_t SectionHeaderSize = 40;
constexpr std::uint64_t SymbolSize = 18;
constexpr std::uint32_t ResourceDirectoryIndex = 2;
constexpr std::uint32_t FixedOptionalSize32 = 96;
constexpr std::uint32_t FixedOptionalSize64 = 112;
constexpr std::uint32_t InitializedData = 0x00000040u;
constexpr std::uint32_t MemoryRead = 0x40000000u;
constexpr std::uint32_t NameIsString = 0x80000000u;
constexpr std::uint32_t TargetIsDirectory = 0x80000000u;
// Where each resource's bytes start in the section.
constexpr std::uint64_t DataAlignment = 8;
constexpr std::size_t CopyBlockSize = 1 << 16;
constexpr std::uint64_t Limit32 = 0xFFFFFFFFu;
constexpr const char *ImageUnreadable = "the image cannot be read";

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment)
{
  return (value + alignment - 1) & ~(alignment - 1);
}

void Put16(std::string &out, std::uint32_t value)
{
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void Put32(std::string &out, std::uint32_t value)
{
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void Set16(std::vector<unsigned char> &bytes, std::uint64_t at, std::uint32_t value)
{
  bytes[at] = static_cast<unsigned char>(value);
  bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Set32(std::vector<unsigned char> &bytes, std::uint64_t at, std::uint32_t value)
{
  Set16(bytes, at, value & 0xFFFF);
  Set16(bytes, at + 2, value >> 16);
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::u16string AsciiUpper(std::u16string text)
{
  for (char16_t &c : text)
    c = AsciiUpper(c);
  return text;
}

// Strict: no overlong forms, surrogates or code points past U+10FFFF.
bool Utf8ToUtf16(const std::string &text, std::u16string &out)
{
  out.clear();
  for (std::size_t i = 0; i < text.size();)
  {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80             ? 1
                         : (lead & 0xE0) == 0xC0 ? 2
                         : (lead & 0xF0) == 0xE0 ? 3
                         : (lead & 0xF8) == 0xF0 ? 4
                                                 : 0;
    if (length == 0 || i + length > text.size())
      return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
    {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      code = code << 6 | (next & 0x3F);
    }
    static constexpr std::uint32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
      return false;
    if (code >= 0x10000)
    {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    else
      out += static_cast<char16_t>(code);
    i += length;
  }
  return true;
}

// A level's key as the directory stores it. The loader looks entries up by
// binary search, upper-casing the name it is asked for and comparing it with
// the stored names code unit by code unit: so named entries come first,
// ordered by their UTF-16 units, then numbered ones in ascending order.
struct Key
{
  bool isName = false;
  std::uint16_t number = 0;
  std::u16string name;

  bool operator<(const Key &other) const
  {
    if (isName != other.isName)
      return isName;
    return isName ? name < other.name : number < other.number;
  }
  bool operator==(const Key &other) const
  {
    return isName == other.isName && (isName ? name == other.name : number == other.number);
  }
};

struct Leaf
{
  Key type;
  Key name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::uint32_t size = 0;
  // The bytes: at sourceOffset of the image, or the whole of files[file].
  std::uint64_t sourceOffset = 0;
  int file = -1;
  // Where they go, from the section's start.
  std::uint64_t offset = 0;
};

struct NameGroup
{
  std::size_t first = 0;
  std::size_t count = 0;
  std::uint64_t directory = 0;
  std::uint64_t string = 0;
};

struct TypeGroup
{
  std::size_t first = 0;
  std::vector<NameGroup> names;
  std::uint64_t directory = 0;
  std::uint64_t string = 0;
};

struct NewFile
{
  std::u16string name;
  std::string path;
  std::uint32_t size = 0;
};
} // namespace

// Writes an image anew with its resource section rebuilt; state for one
// WriteImageWithRcdata call.
class PeImageWriter
{
public:
  PeImageWriter(const PeImage &image, ArchiveHostBytes &in, QOStream &out, std::string &error)
      : _image(image), _in(in), _out(out), _error(error)
  {
  }

  bool Write(const std::vector<RcdataFile> &resources)
  {
    return TakeFiles(resources) && CollectLeaves() && LayOutSection() && PlaceSection() && FindSymbolTable() &&
           WriteAll();
  }

private:
  bool Fail(const std::string &why)
  {
    _error = why;
    return false;
  }

  // The new resources, a later one of the same name taking an earlier one's
  // place; their sizes are taken now and checked again when they are copied.
  bool TakeFiles(const std::vector<RcdataFile> &resources)
  {
    for (const RcdataFile &resource : resources)
    {
      NewFile file;
      file.path = resource.path;
      if (resource.name.empty() || !Utf8ToUtf16(resource.name, file.name) || file.name.size() > 0xFFFF)
        return Fail("\"" + resource.name + "\" cannot name a resource (empty, not UTF-8 or too long)");
      file.name = AsciiUpper(file.name);
      FileBytes bytes;
      if (!bytes.Open(resource.path))
        return Fail(resource.path + ": cannot be read");
      if (bytes.Size() > Limit32)
        return Fail(resource.path + ": too large for a resource (4 GiB or more)");
      file.size = static_cast<std::uint32_t>(bytes.Size());
      auto same = std::find_if(_files.begin(), _files.end(), [&](const NewFile &f) { return f.name == file.name; });
      if (same != _files.end())
        *same = file;
      else
        _files.push_back(file);
    }
    return true;
  }

  bool IsReplaced(const Key &type, const Key &name) const
  {
    if (type.isName || type.number != PeRcdataType || !name.isName)
      return false;
    std::u16string upper = AsciiUpper(name.name);
    return std::any_of(_files.begin(), _files.end(), [&](const NewFile &f) { return f.name == upper; });
  }

  bool CollectLeaves()
  {
    const std::vector<PeResource> &resources = _image._resources;
    for (std::size_t i = 0; i < resources.size(); ++i)
    {
      Leaf leaf;
      leaf.type = {resources[i].type.isName, resources[i].type.number, _image._rawNames[i].type};
      leaf.name = {resources[i].name.isName, resources[i].name.number, _image._rawNames[i].name};
      if (IsReplaced(leaf.type, leaf.name))
        continue;
      leaf.language = resources[i].language;
      leaf.codePage = resources[i].codePage;
      leaf.size = resources[i].size;
      leaf.sourceOffset = resources[i].fileOffset;
      _leaves.push_back(leaf);
    }
    for (std::size_t i = 0; i < _files.size(); ++i)
    {
      Leaf leaf;
      leaf.type = {false, static_cast<std::uint16_t>(PeRcdataType), {}};
      leaf.name = {true, 0, _files[i].name};
      leaf.size = _files[i].size;
      leaf.file = static_cast<int>(i);
      _leaves.push_back(leaf);
    }
    // Stable: resources the image lists twice keep their order.
    std::stable_sort(_leaves.begin(), _leaves.end(),
                     [](const Leaf &a, const Leaf &b)
                     {
                       if (!(a.type == b.type))
                         return a.type < b.type;
                       if (!(a.name == b.name))
                         return a.name < b.name;
                       return a.language < b.language;
                     });
    for (std::size_t i = 0; i < _leaves.size(); ++i)
    {
      bool newType = i == 0 || !(_leaves[i].type == _leaves[i - 1].type);
      if (newType)
        _types.push_back({i, {}, 0, 0});
      if (newType || !(_leaves[i].name == _leaves[i - 1].name))
        _types.back().names.push_back({i, 0, 0, 0});
      ++_types.back().names.back().count;
    }
    return true;
  }

  static std::uint64_t StringSize(const Key &key) { return key.isName ? 2 + 2 * key.name.size() : 0; }

  // The section: all directories (root, types' directories, names'
  // directories), the data entries, the names, then each resource's bytes.
  bool LayOutSection()
  {
    std::uint64_t at = 16 + 8 * _types.size();
    for (TypeGroup &type : _types)
    {
      type.directory = at;
      at += 16 + 8 * type.names.size();
    }
    for (TypeGroup &type : _types)
      for (NameGroup &name : type.names)
      {
        name.directory = at;
        at += 16 + 8 * name.count;
      }
    _dataEntries = at;
    at += 16 * _leaves.size();
    for (TypeGroup &type : _types)
    {
      type.string = at;
      at += StringSize(_leaves[type.first].type);
      for (NameGroup &name : type.names)
      {
        name.string = at;
        at += StringSize(_leaves[name.first].name);
      }
    }
    _headSize = at;
    // Offsets inside the directory keep their top bit for the flags.
    if (_headSize >= 0x80000000u)
      return Fail("too many resources for one resource directory");
    at = AlignUp(at, DataAlignment);
    for (std::size_t i = 0; i < _leaves.size(); ++i)
    {
      if (i > 0)
        at = AlignUp(at, DataAlignment);
      _leaves[i].offset = at;
      at += _leaves[i].size;
    }
    _sectionSize = at;
    if (_sectionSize > Limit32)
      return Fail("the resource section would pass 4 GiB");
    return true;
  }

  // In place when the old resource section starts with the directory and is
  // last both in memory and in the file; else a new section after the others.
  bool PlaceSection()
  {
    const std::vector<PeImage::Section> &sections = _image._sections;
    std::size_t count = sections.size();
    if (_image._directoryCount <= ResourceDirectoryIndex)
      return Fail("the image's header has no entry for a resource directory");

    int old = -1;
    for (std::size_t i = 0; i < count; ++i)
      if (_image._resourceRva != 0 && sections[i].virtualAddress == _image._resourceRva && sections[i].rawSize != 0)
        old = static_cast<int>(i);
    _inPlace = old >= 0 && static_cast<std::size_t>(old) == count - 1;
    for (std::size_t i = 0; _inPlace && i + 1 < count; ++i)
      if (sections[i].virtualAddress >= sections[old].virtualAddress ||
          (sections[i].rawSize != 0 &&
           std::uint64_t(sections[i].rawPointer) + sections[i].rawSize > sections[old].rawPointer))
        _inPlace = false;

    _headerEnd = _image._sectionTableOffset + SectionHeaderSize * count;
    if (_inPlace)
    {
      _index = static_cast<std::size_t>(old);
      _address = sections[old].virtualAddress;
      _rawPointer = sections[old].rawPointer;
      _cut = _rawPointer;
      if (_headerEnd > _cut)
        return Fail("the section table overlaps the resource section");
    }
    else
    {
      _index = count;
      _headerEnd += SectionHeaderSize;
      std::uint64_t firstData = _image._sizeOfHeaders;
      std::uint64_t memoryEnd = _image._sizeOfHeaders;
      for (const PeImage::Section &section : sections)
      {
        if (section.rawSize != 0)
          firstData = std::min<std::uint64_t>(firstData, section.rawPointer);
        memoryEnd =
            std::max<std::uint64_t>(memoryEnd, std::uint64_t(section.virtualAddress) +
                                                   (section.virtualSize ? section.virtualSize : section.rawSize));
      }
      if (count >= 0xFFFF || _headerEnd > firstData)
        return Fail("no room for another section header before the sections' data");
      _address = AlignUp(memoryEnd, _image._sectionAlignment);
      _rawPointer = AlignUp(_image._imageEnd, _image._fileAlignment);
      _cut = _image._imageEnd;
    }
    _rawSize = AlignUp(_sectionSize, _image._fileAlignment);
    _sizeOfImage = AlignUp(_address + _sectionSize, _image._sectionAlignment);
    if (_sizeOfImage > Limit32 || _rawPointer + _rawSize > Limit32)
      return Fail("the resource section would pass 4 GiB");
    return true;
  }

  // A COFF symbol table after the sections' data (unstripped MinGW builds)
  // moves behind the new section; its string table follows it, its length in
  // its first four bytes.
  bool FindSymbolTable()
  {
    std::uint64_t pointer = _image._symbolTablePointer;
    _symbolPointer = _image._symbolTablePointer;
    _symbolCount = _image._symbolCount;
    if (pointer == 0)
      return true;
    if (pointer < _image._imageEnd)
    {
      // Inside the sections' data: it stays where it is, unless it is in the
      // part about to be written over.
      if (pointer >= _cut)
        _symbolPointer = _symbolCount = 0;
      return true;
    }
    std::uint64_t fileSize = _in.Size();
    std::uint64_t symbols = SymbolSize * _image._symbolCount;
    if (pointer > fileSize || symbols > fileSize - pointer)
      return Fail("the COFF symbol table passes the end of the file");
    std::uint64_t strings = 0;
    unsigned char length[4];
    if (pointer + symbols < fileSize)
    {
      if (!_in.ReadAt(pointer + symbols, length, sizeof length))
        return Fail("the COFF string table passes the end of the file");
      strings = std::uint64_t(length[0]) | std::uint64_t(length[1]) << 8 | std::uint64_t(length[2]) << 16 |
                std::uint64_t(length[3]) << 24;
      if (strings < 4 || strings > fileSize - pointer - symbols)
        return Fail("the COFF string table passes the end of the file");
    }
    _symbolSource = pointer;
    _symbolBytes = symbols + strings;
    _symbolPointer = _rawPointer + _rawSize;
    if (_symbolPointer + _symbolBytes > Limit32)
      return Fail("the resource section would pass 4 GiB");
    return true;
  }

  bool PatchHeaders(std::vector<unsigned char> &header)
  {
    const PeImage &image = _image;
    if (!_in.ReadAt(0, header.data(), header.size()))
      return Fail(ImageUnreadable);
    std::uint64_t sectionHeader = image._sectionTableOffset + SectionHeaderSize * _index;
    std::uint64_t initialized = image._sizeOfInitializedData;
    if (_inPlace)
    {
      const PeImage::Section &old = image._sections[_index];
      if (old.characteristics & InitializedData)
        initialized = initialized - std::min<std::uint64_t>(initialized, old.rawSize) + _rawSize;
    }
    else
    {
      // Bytes the headers already use (a bound import table, say) are not
      // taken for the new header.
      for (std::uint64_t i = 0; i < SectionHeaderSize; ++i)
        if (header[sectionHeader + i] != 0)
          return Fail("no room for another section header (the bytes after the section table are in use)");
      initialized += _rawSize;
      std::memcpy(&header[sectionHeader], ".rsrc\0\0\0", 8);
      Set32(header, sectionHeader + 12, static_cast<std::uint32_t>(_address));
      Set32(header, sectionHeader + 20, static_cast<std::uint32_t>(_rawPointer));
      Set32(header, sectionHeader + 36, InitializedData | MemoryRead);
      Set16(header, image._coffHeaderOffset + 2, static_cast<std::uint32_t>(_index + 1));
    }
    if (initialized > Limit32)
      return Fail("the resource section would pass 4 GiB");
    Set32(header, sectionHeader + 8, static_cast<std::uint32_t>(_sectionSize));
    Set32(header, sectionHeader + 16, static_cast<std::uint32_t>(_rawSize));

    Set32(header, image._coffHeaderOffset + 8, static_cast<std::uint32_t>(_symbolPointer));
    Set32(header, image._coffHeaderOffset + 12, _symbolCount);
    std::uint64_t optional = image._optionalHeaderOffset;
    Set32(header, optional + 8, static_cast<std::uint32_t>(initialized));
    Set32(header, optional + 56, static_cast<std::uint32_t>(_sizeOfImage));
    // The old checksum no longer holds; zero means none until
    // UpdatePeChecksum runs over the finished file.
    Set32(header, optional + 64, 0);
    std::uint64_t directory =
        optional + (image._pe32Plus ? FixedOptionalSize64 : FixedOptionalSize32) + 8 * ResourceDirectoryIndex;
    Set32(header, directory, static_cast<std::uint32_t>(_address));
    Set32(header, directory + 4, static_cast<std::uint32_t>(_sectionSize));
    return true;
  }

  std::string Head() const
  {
    std::string head;
    head.reserve(static_cast<std::size_t>(_headSize));
    auto directory = [&](std::size_t named, std::size_t ids)
    {
      Put32(head, 0); // characteristics
      Put32(head, 0); // time stamp
      Put32(head, 0); // version
      Put16(head, static_cast<std::uint32_t>(named));
      Put16(head, static_cast<std::uint32_t>(ids));
    };
    auto field = [](const Key &key, std::uint64_t string)
    { return key.isName ? NameIsString | static_cast<std::uint32_t>(string) : key.number; };
    auto named = [&](auto begin, auto end, auto keyOf)
    { return static_cast<std::size_t>(std::count_if(begin, end, [&](const auto &g) { return keyOf(g).isName; })); };
    auto typeKey = [&](const TypeGroup &type) -> const Key & { return _leaves[type.first].type; };
    auto nameKey = [&](const NameGroup &name) -> const Key & { return _leaves[name.first].name; };

    std::size_t namedTypes = named(_types.begin(), _types.end(), typeKey);
    directory(namedTypes, _types.size() - namedTypes);
    for (const TypeGroup &type : _types)
    {
      Put32(head, field(typeKey(type), type.string));
      Put32(head, TargetIsDirectory | static_cast<std::uint32_t>(type.directory));
    }
    for (const TypeGroup &type : _types)
    {
      std::size_t namedNames = named(type.names.begin(), type.names.end(), nameKey);
      directory(namedNames, type.names.size() - namedNames);
      for (const NameGroup &name : type.names)
      {
        Put32(head, field(nameKey(name), name.string));
        Put32(head, TargetIsDirectory | static_cast<std::uint32_t>(name.directory));
      }
    }
    for (const TypeGroup &type : _types)
      for (const NameGroup &name : type.names)
      {
        directory(0, name.count);
        for (std::size_t i = name.first; i < name.first + name.count; ++i)
        {
          Put32(head, _leaves[i].language);
          Put32(head, static_cast<std::uint32_t>(_dataEntries + 16 * i));
        }
      }
    for (const Leaf &leaf : _leaves)
    {
      Put32(head, static_cast<std::uint32_t>(_address + leaf.offset));
      Put32(head, leaf.size);
      Put32(head, leaf.codePage);
      Put32(head, 0);
    }
    auto string = [&](const Key &key)
    {
      if (!key.isName)
        return;
      Put16(head, static_cast<std::uint32_t>(key.name.size()));
      for (char16_t unit : key.name)
        Put16(head, unit);
    };
    for (const TypeGroup &type : _types)
    {
      string(typeKey(type));
      for (const NameGroup &name : type.names)
        string(nameKey(name));
    }
    return head;
  }

  // A directory holds at most 65535 named and 65535 numbered entries.
  bool CountsFit() const
  {
    if (_types.size() > 0xFFFF)
      return false;
    for (const TypeGroup &type : _types)
    {
      if (type.names.size() > 0xFFFF)
        return false;
      for (const NameGroup &name : type.names)
        if (name.count > 0xFFFF)
          return false;
    }
    return true;
  }

  // Failure is the message given.
  bool Copy(ArchiveHostBytes &from, std::uint64_t offset, std::uint64_t count, const std::string &unreadable)
  {
    std::vector<char> block(static_cast<std::size_t>(std::min<std::uint64_t>(count, CopyBlockSize)));
    while (count > 0)
    {
      std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(count, block.size()));
      if (!from.ReadAt(offset, block.data(), step))
        return Fail(unreadable);
      _out.write(block.data(), step);
      offset += step;
      count -= step;
    }
    return true;
  }

  void Zeros(std::uint64_t count)
  {
    static const char zeros[512] = {};
    for (; count > 0;)
    {
      std::uint64_t step = std::min<std::uint64_t>(count, sizeof zeros);
      _out.write(zeros, step);
      count -= step;
    }
  }

  bool WriteAll()
  {
    if (!CountsFit())
      return Fail("too many resources for one resource directory");
    std::vector<unsigned char> header(static_cast<std::size_t>(_headerEnd));
    if (!PatchHeaders(header))
      return false;
    _out.write(header.data(), header.size());
    if (!Copy(_in, _headerEnd, _cut - _headerEnd, ImageUnreadable))
      return false;
    Zeros(_rawPointer - _cut);

    std::string head = Head();
    _out.write(head.data(), head.size());
    std::uint64_t at = head.size();
    for (const Leaf &leaf : _leaves)
    {
      Zeros(leaf.offset - at);
      if (leaf.file < 0)
      {
        if (!Copy(_in, leaf.sourceOffset, leaf.size, ImageUnreadable))
          return false;
      }
      else
      {
        const NewFile &file = _files[static_cast<std::size_t>(leaf.file)];
        FileBytes bytes;
        if (!bytes.Open(file.path))
          return Fail(file.path + ": cannot be read");
        if (bytes.Size() != file.size)
          return Fail(file.path + ": changed while the image was written");
        if (!Copy(bytes, 0, file.size, file.path + ": cannot be read"))
          return false;
      }
      at = leaf.offset + leaf.size;
    }
    Zeros(_rawSize - at);
    if (_symbolBytes > 0 && !Copy(_in, _symbolSource, _symbolBytes, ImageUnreadable))
      return false;
    if (_out.Failed())
      return Fail("the image cannot be written");
    return true;
  }

  const PeImage &_image;
  ArchiveHostBytes &_in;
  QOStream &_out;
  std::string &_error;

  std::vector<NewFile> _files;
  std::vector<Leaf> _leaves;
  std::vector<TypeGroup> _types;
  std::uint64_t _dataEntries = 0;
  std::uint64_t _headSize = 0;
  std::uint64_t _sectionSize = 0;

  bool _inPlace = false;
  // The section's slot in the table, its address and its raw data.
  std::size_t _index = 0;
  std::uint64_t _address = 0;
  std::uint64_t _rawPointer = 0;
  std::uint64_t _rawSize = 0;
  std::uint64_t _sizeOfImage = 0;
  // The header bytes rewritten (through the section table's new end), and
  // where copying the input stops.
  std::uint64_t _headerEnd = 0;
  std::uint64_t _cut = 0;

  std::uint64_t _symbolPointer = 0;
  std::uint32_t _symbolCount = 0;
  std::uint64_t _symbolSource = 0;
  std::uint64_t _symbolBytes = 0;
};

bool WriteImageWithRcdata(const std::string &inPath, const std::vector<RcdataFile> &resources, QOStream &out,
                          std::string &error)
{
  FileBytes in;
  if (!in.Open(inPath))
  {
    error = ImageUnreadable;
    return false;
  }
  PeImage image;
  if (!image.Read(in, error))
    return false;
  if (image.IsSigned())
  {
    error = "the image is signed; changing it would break the signature";
    return false;
  }
  return PeImageWriter(image, in, out, error).Write(resources);
}
