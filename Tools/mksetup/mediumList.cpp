#include "Tools/mksetup/bankReading.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/mediumRead.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <cstdio>
#include <limits>
#include <set>

namespace
{
// The archives worth listing: those the trailer holds and those the file
// list names.
std::set<int> ArchiveNumbers(const MediumReader &medium, const AutoArray<FileListRecord> &records)
{
  std::set<int> numbers;
  for (std::size_t n = 1; n <= medium.Trailer().size(); ++n)
    numbers.insert(static_cast<int>(n));
  for (const FileListRecord &record : records)
    if (record.archiveNumber >= 1)
      numbers.insert(record.archiveNumber);
  return numbers;
}

// The archive's line and its members' lines; false when it cannot be read.
bool ListArchive(const MediumReader &medium, int n)
{
  MediumReader::ArchivePlace place = medium.PlaceOf(n);
  std::uint64_t size = place.size;
  if (!place.region)
  {
    std::uint32_t fileSize = 0;
    if (!RegularFileSize(place.path, fileSize))
    {
      std::printf("archive\t%d\t%s\tmissing\n", n, place.shown.c_str());
      return false;
    }
    size = fileSize;
  }
  std::printf("archive\t%d\t%s\t%llu\n", n, place.shown.c_str(), static_cast<unsigned long long>(size));
  if (place.start + size > std::numeric_limits<QFileSize>::max())
    return ToolMessage("%s lies beyond 4 GiB, where the installer cannot read", place.shown.c_str()), false;
  QFBank bank;
  if (!OpenBank(place.path, bank, Damaged::Warn, static_cast<QFileSize>(place.start), place.size, place.shown))
    return false;
  for (const BankMember &member : MembersByPosition(bank))
  {
    const char *method = member.method == QFBankStored ? "stored" : member.method == QFBankPacked ? "packed" : nullptr;
    std::printf("member\t%d\t%s\t%u\t%s\n", n, method ? method : MethodName(member.method).c_str(),
                static_cast<unsigned>(member.unpackedSize), member.name.c_str());
  }
  return true;
}
} // namespace

int RunMediumList(const Arguments &arguments)
{
  WriteBinaryStandardOutput();
  MediumReader medium;
  if (!medium.Open(arguments[0]))
    return ExitFailure;
  bool failed = false;
  for (const PeResource &resource : medium.Resources())
    if (!resource.type.isName && resource.type.number == PeRcdataType)
      std::printf("resource\t%s\t%u\n",
                  resource.name.isName ? resource.name.name.c_str()
                                       : ("#" + std::to_string(resource.name.number)).c_str(),
                  static_cast<unsigned>(resource.size));

  AutoArray<FileListRecord> records;
  std::string problem;
  // A medium may do without a file list; a damaged one is a fault.
  if (medium.HasResource("SETUP_FILE_LIST") && !medium.FileList(records, problem))
  {
    ToolMessage("%s", problem.c_str());
    failed = true;
  }
  for (int n : ArchiveNumbers(medium, records))
    if (!ListArchive(medium, n))
      failed = true;
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the list");
  return failed ? ExitFailure : ExitSuccess;
}
