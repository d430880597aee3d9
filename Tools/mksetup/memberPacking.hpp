#pragma once

#include "Tools/mksetup/toolFiles.hpp"

#include <cstdint>
#include <string>
#include <vector>

class BankWriter;

// A file made ready to go into a bank: its checksum taken, and packed when
// that was asked for and makes it smaller. The packed bytes wait in a file
// of the work folder, so no member is ever held in memory whole.
struct PreparedMember
{
  FolderFile file;
  std::uint32_t size = 0;
  std::uint32_t timestamp = 0;
  // The checksum of the bytes the installer writes for this member: the
  // inflated content when the name ends in ".gz" (the installer inflates
  // such members), else the file's own bytes.
  std::uint32_t crc = 0;
  // QFBankStored or QFBankPacked.
  std::uint32_t method = 0;
  std::uint32_t dataSize = 0;
  // The file holding the member's data: the file itself, or its packed form.
  std::string dataPath;
};

// A folder for intermediate files, made on construction (under the given
// name, replacing nothing: a taken name gets a number) and removed with
// everything in it on destruction.
class WorkFolder
{
public:
  explicit WorkFolder(std::string name);
  WorkFolder(const WorkFolder &) = delete;
  WorkFolder &operator=(const WorkFolder &) = delete;
  ~WorkFolder();

  // False (with a message given) when the folder could not be made.
  bool Made() const { return _made; }
  std::string PathOf(const std::string &fileName) const;
  // A beginning for file names that no earlier call gave: each set of files
  // prepared in the folder names its files with its own.
  std::string NewPrefix();

private:
  std::string _path;
  bool _made = false;
  int _prefixes = 0;
};

struct PackingOptions
{
  bool pack = false;
  // Take each member's checksum (PreparedMember::crc).
  bool checksums = false;
  // Worker threads; 0 for one per processor. The result is the same for
  // any number.
  unsigned jobs = 0;
};

// Prepares every file on worker threads, each one file at a time. False
// with a message (the first failure in file order) when a file cannot be
// read, changes its size while read, or, when checksums are taken, holds
// damaged gzip data under a ".gz" name (the installer could not install it).
bool PrepareMembers(const std::vector<FolderFile> &files, const PackingOptions &options, WorkFolder &work,
                    std::vector<PreparedMember> &members);

// False with a message when a name is too long for a bank, or when two
// names differ only in letter case (the bank finds members blind to it).
bool CheckBankNames(const std::vector<FolderFile> &files);

// Adds the members, in order, their data read from their files when the
// bank is written.
void AddPreparedMembers(BankWriter &writer, const std::vector<PreparedMember> &members);

// Worker threads a --jobs value asks for; false for a malformed value.
bool ParseJobs(const std::string &text, unsigned &jobs);
