#pragma once

#include "Tools/mksetup/bankWriter.hpp"
#include "Tools/mksetup/memberPacking.hpp"

#include <cstdint>
#include <string>
#include <vector>

// "setup%02d.bin": the file of archive n beside the installer.
std::string ArchiveFileName(int n);

// The product's files as a medium holds them: each prepared for a bank and
// given an archive number.
struct MediumContent
{
  std::vector<PreparedMember> members;
  // Per member, its archive (from 1).
  std::vector<int> archiveOf;
  int archiveCount = 0;

  // Shares the members out among archives of at most limit bytes (see
  // PlanArchives); false with the reason in error.
  bool Plan(std::uint64_t limit, std::string &error);
  // The bank of archive n, its members in file order.
  BankWriter ArchiveWriter(int n) const;
};

// Removes the archive files of the folder numbered above keep: what an
// earlier build left, which this medium does not name.
void RemoveStaleArchives(const std::string &folder, int keep);
