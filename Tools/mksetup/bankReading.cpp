#include "Tools/mksetup/bankReading.hpp"

#include "Tools/mksetup/commandLine.hpp"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace
{
// The smallest bank: the terminating record alone.
constexpr QFileSize MinimumBankSize = 21;
} // namespace

bool OpenBank(const std::string &name, QFBank &bank, Damaged damaged, QFileSize start, QFileSize size,
              const std::string &shown)
{
  const std::string &label = shown.empty() ? name : shown;
  if (!bank.OpenRegion(name.c_str(), nullptr, nullptr, start, size) || !bank.Load())
  {
    ToolMessage("cannot read the bank %s", label.c_str());
    return false;
  }
  struct Extent
  {
    QFileSize size;
    bool fits;
  } extent{bank.Data() ? bank.Data()->Size() : 0, true};
  bank.ForEachEntry(
      [](const QFBankEntry &entry, QFBank &, void *context)
      {
        Extent &bankExtent = *static_cast<Extent *>(context);
        if (std::uint64_t(entry.dataPosition) + entry.dataSize > bankExtent.size)
          bankExtent.fits = false;
      },
      &extent);
  if (extent.size < MinimumBankSize || !extent.fits)
  {
    ToolMessage("%s is not a bank, or a damaged one: its table does not fit its size", label.c_str());
    return damaged == Damaged::Warn;
  }
  return true;
}

std::vector<BankMember> MembersByPosition(QFBank &bank)
{
  std::vector<BankMember> members;
  bank.ForEachEntry(
      [](const QFBankEntry &entry, QFBank &, void *context)
      {
        static_cast<std::vector<BankMember> *>(context)->push_back(
            {entry.name.Data(), entry.method, entry.unpackedSize, entry.dataSize, entry.timestamp, entry.dataPosition});
      },
      &members);
  std::sort(members.begin(), members.end(),
            [](const BankMember &a, const BankMember &b)
            { return std::tie(a.dataPosition, a.dataSize, a.name) < std::tie(b.dataPosition, b.dataSize, b.name); });
  return members;
}

std::string MethodName(std::uint32_t method)
{
  switch (method)
  {
  case QFBankStored:
    return "stored";
  case QFBankPacked:
    return "srpC";
  case QFBankEnciphered:
    return "rcnE";
  default:
    break;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(method));
  return text;
}
