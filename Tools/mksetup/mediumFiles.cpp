#include "Tools/mksetup/mediumFiles.hpp"

#include "Setup/Data/archiveTrailer.hpp"
#include "Tools/mksetup/mediumPlan.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string ArchiveFileName(int n)
{
  char name[32];
  std::snprintf(name, sizeof name, "setup%02d.bin", n);
  return name;
}

bool MediumContent::Plan(std::uint64_t limit, std::string &error)
{
  std::vector<PlannedMember> planned;
  for (const PreparedMember &member : members)
    planned.push_back({member.file.name.size(), member.dataSize});
  if (!PlanArchives(planned, limit, archiveOf, error))
    return false;
  archiveCount = archiveOf.empty() ? 0 : archiveOf.back();
  return true;
}

BankWriter MediumContent::ArchiveWriter(int n) const
{
  BankWriter writer;
  for (std::size_t i = 0; i < members.size(); ++i)
    if (archiveOf[i] == n)
    {
      const PreparedMember &member = members[i];
      writer.AddFileMember(member.file.name, member.method, member.size, member.timestamp, member.dataSize,
                           member.dataPath);
    }
  return writer;
}

void RemoveStaleArchives(const std::string &folder, int keep)
{
  for (int n = keep + 1; n <= MaxArchiveNumber; ++n)
  {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(folder) / ArchiveFileName(n), error);
  }
}
