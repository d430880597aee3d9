#include "Tools/mksetup/mediumPlan.hpp"

#include "Setup/Data/archiveTrailer.hpp"

#include <algorithm>

namespace
{
// A record's fields after its name and its zero.
constexpr std::uint64_t RecordFieldsSize = 20;
constexpr std::uint64_t TerminatorSize = 1 + RecordFieldsSize;
constexpr std::uint64_t BankLimit = UINT32_MAX;

std::uint64_t MemberCost(const PlannedMember &member)
{
  return member.nameLength + 1 + RecordFieldsSize + member.dataSize;
}
} // namespace

std::uint64_t BankSizeOf(const std::vector<PlannedMember> &members)
{
  std::uint64_t size = TerminatorSize;
  for (const PlannedMember &member : members)
    size += MemberCost(member);
  return size;
}

bool PlanArchives(const std::vector<PlannedMember> &members, std::uint64_t limit, std::vector<int> &archiveOf,
                  std::string &error)
{
  limit = std::min(limit, BankLimit);
  archiveOf.clear();
  int archive = 0;
  std::uint64_t used = 0;
  for (const PlannedMember &member : members)
  {
    std::uint64_t cost = MemberCost(member);
    if (TerminatorSize + cost > BankLimit)
    {
      error = "a member of " + std::to_string(member.dataSize) + " bytes makes a bank of 4 GiB or more";
      return false;
    }
    if (archive == 0 || used + cost > limit)
    {
      ++archive;
      used = TerminatorSize;
    }
    used += cost;
    archiveOf.push_back(archive);
  }
  if (archive > MaxArchiveNumber)
  {
    error = "the files need " + std::to_string(archive) + " archives; archive numbers end at " +
            std::to_string(MaxArchiveNumber);
    return false;
  }
  return true;
}

bool ParseByteSize(const std::string &text, std::uint64_t &size)
{
  std::uint64_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
  {
    if (value > (UINT64_MAX - 9) / 10)
      return false;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  if (i == 0)
    return false;
  int shift = 0;
  if (i + 1 == text.size())
  {
    switch (text[i])
    {
    case 'k':
    case 'K':
      shift = 10;
      break;
    case 'm':
    case 'M':
      shift = 20;
      break;
    case 'g':
    case 'G':
      shift = 30;
      break;
    default:
      return false;
    }
  }
  else if (i != text.size())
    return false;
  if (value == 0 || value > (UINT64_MAX >> shift))
    return false;
  size = value << shift;
  return true;
}
