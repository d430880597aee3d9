#pragma once

#include "Setup/Data/archiveTrailer.hpp"

#include <cstdint>
#include <string>
#include <vector>

class QOStream;

// The resources of a Windows executable (PE32 or PE32+ image), read from
// its bytes without loading it, and an image written anew with raw-data
// resources added. Portable: mksetup runs on Linux as well.

// The raw-data resource type (RT_RCDATA).
inline constexpr std::uint32_t PeRcdataType = 10;

// A level of the resource directory names its entries either by a 16-bit
// number or by a name.
struct PeResourceId
{
  bool isName = false;
  std::uint16_t number = 0;
  // The name, UTF-8, when isName.
  std::string name;
};

// One resource: its type, name and language, and where its bytes lie.
struct PeResource
{
  PeResourceId type;
  PeResourceId name;
  std::uint16_t language = 0;
  // Offset of the bytes in the file (converted from the entry's address).
  std::uint64_t fileOffset = 0;
  std::uint32_t size = 0;
  std::uint32_t codePage = 0;
};

// The headers, section table and resources of an image. Read treats the
// bytes as untrusted: anything malformed is a clear error, never a read out
// of bounds, a loop or an allocation sized by a field. Every section's raw
// data must lie inside the file, every structure of the resource directory
// inside the resource section, and every resource's bytes inside one
// section's raw data; a directory or data entry reached twice (shared or
// cyclic offsets) is an error.
class PeImage
{
public:
  // False with the reason in error when the bytes are not a PE image whose
  // headers, section table and resource directory (when it has one) hold
  // together.
  bool Read(ArchiveHostBytes &file, std::string &error);

  // Whether the image carries an Authenticode signature (a certificate table
  // in its data directory). Changing a signed file breaks the signature.
  bool IsSigned() const { return _signed; }
  // Resources in directory order (type, then name, then language).
  const std::vector<PeResource> &Resources() const { return _resources; }
  // The first raw-data resource whose name equals name, ASCII letters
  // compared without regard to case (as the installer upper-cases the names
  // it looks for); null when there is none.
  const PeResource *FindRcdata(const std::string &name) const;

  // Where the image's own bytes end: the end of the last section's raw data
  // (or of the headers). Bytes after it are an overlay (a symbol table,
  // a certificate, appended archives).
  std::uint64_t ImageEnd() const { return _imageEnd; }

private:
  friend class PeImageWriter;
  friend bool UpdatePeChecksum(const std::string &path, std::string &error);

  struct Section
  {
    char name[8] = {};
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
    std::uint32_t characteristics = 0;
  };
  // A resource's type and name as the directory holds them (UTF-16, exact,
  // even where the UTF-8 of PeResource had to replace a lone surrogate).
  struct RawNames
  {
    std::u16string type;
    std::u16string name;
  };

  bool ReadHeaders(ArchiveHostBytes &file, std::string &error);
  bool ReadResourceTree(ArchiveHostBytes &file, std::string &error);
  // The file offset of the size bytes at rva, when one section's raw data
  // holds them all.
  bool FileOffsetOf(std::uint32_t rva, std::uint32_t size, std::uint64_t &offset) const;

  bool _signed = false;
  std::uint64_t _imageEnd = 0;
  std::vector<PeResource> _resources;
  std::vector<RawNames> _rawNames;

  bool _pe32Plus = false;
  std::uint64_t _checksumOffset = 0;
  std::uint64_t _coffHeaderOffset = 0;
  std::uint64_t _optionalHeaderOffset = 0;
  std::uint64_t _sectionTableOffset = 0;
  std::uint32_t _fileAlignment = 0;
  std::uint32_t _sectionAlignment = 0;
  std::uint32_t _sizeOfHeaders = 0;
  std::uint32_t _sizeOfInitializedData = 0;
  // Data directories present (at most 16).
  std::uint32_t _directoryCount = 0;
  std::uint32_t _resourceRva = 0;
  std::uint32_t _resourceSize = 0;
  std::uint32_t _symbolTablePointer = 0;
  std::uint32_t _symbolCount = 0;
  std::vector<Section> _sections;
};

// A raw-data resource to put into an image: its name, UTF-8, written with
// its ASCII letters upper-cased, and the file that holds its bytes. Windows
// upper-cases every letter of a name it is asked for, so a name with a
// lower-case letter outside ASCII is written but cannot be found by it.
struct RcdataFile
{
  std::string name;
  std::string path;
};

// Writes the image in inPath to out with the given raw-data resources added
// under the neutral language; a resource of the same type and name already
// there (in any language) is replaced. Every other resource (version,
// manifest, dialogs, icons) stays as it was. The resource section is
// written anew as the image's last section (in place when the old one was
// last, else as a new section after the others); the data directory, section
// table, image size and initialized-data size follow. Bytes after the image
// are not copied, except a COFF symbol table, which moves behind the new
// section. The resource files are streamed, never read whole.
//
// Names and ids are written in the order the loader's binary search needs,
// at every level: names first, by their UTF-16 units, then ids ascending.
// When one name is given twice, the later file is taken. out starts empty
// (the image's offsets count from its start) and is not the file at inPath.
//
// False with the reason in error (a resource file's path is named, the
// image's is not): inPath is not a readable PE image, it is signed, it has
// no room for another section header, a resource name is empty or not
// UTF-8, a resource file cannot be read, or the section would pass 4 GiB.
// out's own failure shows in out (check it after closing). The checksum
// field is zeroed and left for UpdatePeChecksum, run once the whole file
// (archives appended to it included) is written.
bool WriteImageWithRcdata(const std::string &inPath, const std::vector<RcdataFile> &resources, QOStream &out,
                          std::string &error);

// Recomputes the image checksum of the file at path over all of its bytes
// and writes it into the optional header. False with the reason in error:
// the file cannot be read, is not a PE image that Read accepts, or cannot
// be written.
bool UpdatePeChecksum(const std::string &path, std::string &error);

// The checksum itself: the 16-bit one's-complement style sum of the file's
// little-endian words (the checksum field counted as zero, an odd last byte
// as a word of its own), folded, plus the file's length. Should a read fail,
// the sum covers the bytes before it only.
std::uint32_t PeChecksum(ArchiveHostBytes &file, std::uint64_t checksumFieldOffset);
