#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How the members of a medium are shared out among numbered archives.

// What the plan needs to know of a member: the bytes it adds to a bank.
struct PlannedMember
{
  std::size_t nameLength = 0;
  std::uint32_t dataSize = 0;
};

// The size of a bank holding these members: the table (each record a name,
// its zero and five 32-bit fields, then the terminating record) and the data.
std::uint64_t BankSizeOf(const std::vector<PlannedMember> &members);

// Archive numbers (from 1), one per member. Members keep their order and
// fill one archive after the other: a new archive starts before one would
// pass limit bytes; a member too large for any archive of that limit gets an
// archive of its own. Whatever the limit, no archive reaches 4 GiB (a bank's
// positions are 32-bit). False with the reason in error when a member alone
// would make a bank of 4 GiB or more, or when more archives than the 127
// numbers are needed.
bool PlanArchives(const std::vector<PlannedMember> &members, std::uint64_t limit, std::vector<int> &archiveOf,
                  std::string &error);

// A size as --archive-size takes it: decimal digits and an optional suffix
// K, M or G (binary multiples, either case). False for anything else and
// for 0.
bool ParseByteSize(const std::string &text, std::uint64_t &size);
