#pragma once

#include "Setup/Data/archiveTrailer.hpp"
#include "Setup/Data/fileList.hpp"
#include "Tools/mksetup/fileBytes.hpp"
#include "Tools/mksetup/peResources.hpp"

#include <string>
#include <vector>

// A medium read the way the installer reads it from its folder: setup.exe
// and its raw-data resources, the archives behind setup.exe's trailer or
// beside it as setupNN.bin files, and setup.crc.
class MediumReader
{
public:
  // False with a message when the folder has no setup.exe that reads as a
  // PE image.
  bool Open(const std::string &folder);

  const std::string &InstallerPath() const { return _installerPath; }
  const std::vector<PeResource> &Resources() const { return _image.Resources(); }
  bool HasResource(const std::string &name) const { return _image.FindRcdata(name) != nullptr; }
  // The bytes of a raw-data resource, as the installer finds it by name.
  // False with the reason in problem when it is missing, implausibly large
  // or cannot be read.
  bool ResourceBytes(const std::string &name, std::string &bytes, std::string &problem);
  // The file list; false with the reason in problem when it is missing or
  // damaged (the records read before the damage are kept).
  bool FileList(AutoArray<FileListRecord> &records, std::string &problem);

  // Where archive n lies: a region of setup.exe when its trailer lists n,
  // else the file setupNN.bin in the folder.
  struct ArchivePlace
  {
    std::string path;
    // The whole file when size is 0 and region is false.
    bool region = false;
    std::uint64_t start = 0;
    std::uint32_t size = 0;
    // "setup01.bin", or "setup.exe@<start>".
    std::string shown;
  };
  ArchivePlace PlaceOf(int n) const;
  const std::vector<ArchiveEntry> &Trailer() const { return _trailer; }

  // The path of a file in the medium's folder named as the installer names
  // it ("\" separated).
  std::string PathInFolder(const std::string &name) const;

private:
  std::string _folder;
  std::string _installerPath;
  FileBytes _installer;
  PeImage _image;
  std::vector<ArchiveEntry> _trailer;
};
