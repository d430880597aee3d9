#pragma once

#include "Setup/Data/archiveTrailer.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

// Random access to the bytes of a file on disk, for the readers that take
// ArchiveHostBytes (the trailer of appended archives, PE images). The file
// stays open while the object lives; sizes and offsets are 64-bit.
class FileBytes : public ArchiveHostBytes
{
public:
  FileBytes() = default;
  FileBytes(const FileBytes &) = delete;
  FileBytes &operator=(const FileBytes &) = delete;
  ~FileBytes() override;

  // False when the file cannot be opened for reading or its size cannot be had.
  bool Open(const std::string &name);
  std::uint64_t Size() const override { return _size; }
  bool ReadAt(std::uint64_t offset, void *destination, std::size_t count) override;

private:
  std::FILE *_file = nullptr;
  std::uint64_t _size = 0;
};
