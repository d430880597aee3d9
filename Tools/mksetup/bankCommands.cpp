#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/memberPath.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace
{
constexpr int CopyBlockSize = 262144;

struct Member
{
  std::string name;
  std::uint32_t method;
  QFileSize unpackedSize;
  QFileSize dataSize;
  QFileSize timestamp;
  QFileSize dataPosition;
};

// The smallest bank: the terminating record alone.
constexpr QFileSize MinimumBankSize = 21;

// Opens and loads a bank; false with a message. The library reads whatever
// it is given as a table and only reports data that runs past the end of the
// file; here such a file is refused as not a bank (or a damaged one).
// A bank whose table does not fit its size is refused when its members are
// to be read (they would come out cut short); a listing only warns, since the
// table itself loaded.
enum class Damaged
{
  Refuse,
  Warn
};

bool OpenBank(const std::string &name, QFBank &bank, Damaged damaged = Damaged::Refuse)
{
  if (!bank.OpenRegion(name.c_str(), nullptr, nullptr, 0, 0) || !bank.Load())
  {
    ToolMessage("cannot read the bank %s", name.c_str());
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
    ToolMessage("%s is not a bank, or a damaged one: its table does not fit its size", name.c_str());
    return damaged == Damaged::Warn;
  }
  return true;
}

// The member a name given on the command line stands for ("/" or "\", any
// case), or an empty entry.
const QFBankEntry &FindMember(QFBank &bank, const std::string &name)
{
  return bank.Find(QFBankNormalizeName(name.c_str()));
}

// The members in the order of their data. A member without data shares its
// position with the next one; it comes first, as in the table, and members
// that tie completely go by name, as a bank made here orders them.
std::vector<Member> MembersByPosition(QFBank &bank)
{
  std::vector<Member> members;
  bank.ForEachEntry(
      [](const QFBankEntry &entry, QFBank &, void *context)
      {
        static_cast<std::vector<Member> *>(context)->push_back(
            {entry.name.Data(), entry.method, entry.unpackedSize, entry.dataSize, entry.timestamp, entry.dataPosition});
      },
      &members);
  std::sort(members.begin(), members.end(),
            [](const Member &a, const Member &b)
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

// Opens a member for reading; false with a message.
bool OpenMember(QFBank &bank, const std::string &bankName, const std::string &name, QIFStreamB &in)
{
  if (in.openInBank(bank, name.c_str()))
    return true;
  ToolMessage("cannot read the member %s of %s", name.c_str(), bankName.c_str());
  return false;
}

// Copies the rest of a member to out, block by block; answers whether every
// byte of it arrived.
template <class Sink> bool CopyMember(QIFStreamB &in, Sink &&sink)
{
  std::unique_ptr<char[]> block(new char[CopyBlockSize]);
  QFileSize copied = 0;
  for (;;)
  {
    int got = in.read(block.get(), CopyBlockSize);
    if (got <= 0)
      break;
    if (!sink(block.get(), got))
      return false;
    copied += static_cast<QFileSize>(got);
  }
  return copied == in.Size();
}

bool ExtractMember(QFBank &bank, const std::string &bankName, const std::string &name, const fs::path &folder)
{
  std::vector<std::string> components;
  std::string reason;
  if (!SplitMemberName(name, components, reason))
  {
    ToolMessage("not extracting the member '%s': %s", name.c_str(), reason.c_str());
    return false;
  }
  // The components hold no root, drive or "..": each one stays below folder.
  fs::path target = folder;
  for (const std::string &component : components)
    target /= component;
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  if (error)
  {
    ToolMessage("cannot create the folder %s: %s", target.parent_path().string().c_str(), error.message().c_str());
    return false;
  }

  QIFStreamB in;
  if (!OpenMember(bank, bankName, name, in))
    return false;
  std::string targetName = target.string();
  ReplacingFile file(targetName);
  QOFStream out(file.TemporaryName());
  if (out.Failed())
  {
    ToolMessage("cannot create %s: %s", file.TemporaryName(), LSErrorText(out.error()));
    return false;
  }
  bool complete = CopyMember(in,
                             [&](const char *data, int length)
                             {
                               out.write(data, static_cast<QFileSize>(length));
                               return !out.Failed();
                             });
  if (out.Close() != 0 || out.Failed())
  {
    ToolMessage("cannot write %s: %s", file.TemporaryName(), LSErrorText(out.error()));
    return false;
  }
  if (!complete)
  {
    ToolMessage("cannot read all of the member %s of %s", name.c_str(), bankName.c_str());
    return false;
  }
  return file.Commit();
}
} // namespace

int RunBankList(const Arguments &arguments)
{
  QFBank bank;
  if (!OpenBank(arguments[0], bank, Damaged::Warn))
    return ExitFailure;
  for (const Member &member : MembersByPosition(bank))
    std::printf("%s\t%s\t%u\t%u\t%u\t%u\n", member.name.c_str(), MethodName(member.method).c_str(),
                static_cast<unsigned>(member.unpackedSize), static_cast<unsigned>(member.dataSize),
                static_cast<unsigned>(member.timestamp), static_cast<unsigned>(member.dataPosition));
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the list");
  return ExitSuccess;
}

int RunBankExtract(const Arguments &arguments)
{
  const std::string &bankName = arguments[0];
  fs::path folder(arguments[1]);
  QFBank bank;
  if (!OpenBank(bankName, bank))
    return ExitFailure;

  bool failed = false;
  std::vector<std::string> names;
  if (arguments.Count() == 2)
  {
    for (const Member &member : MembersByPosition(bank))
      names.push_back(member.name);
  }
  for (std::size_t i = 2; i < arguments.Count(); ++i)
  {
    const QFBankEntry &entry = FindMember(bank, arguments[i]);
    if (entry.name.IsEmpty())
    {
      ToolMessage("%s has no member %s", bankName.c_str(), arguments[i].c_str());
      failed = true;
    }
    else
      names.push_back(entry.name.Data());
  }
  // One bad member does not stop the others.
  for (const std::string &name : names)
    if (!ExtractMember(bank, bankName, name, folder))
      failed = true;
  return failed ? ExitFailure : ExitSuccess;
}

int RunBankCat(const Arguments &arguments)
{
  const std::string &bankName = arguments[0];
  QFBank bank;
  if (!OpenBank(bankName, bank))
    return ExitFailure;
  const QFBankEntry &entry = FindMember(bank, arguments[1]);
  if (entry.name.IsEmpty())
    return ToolFailure("%s has no member %s", bankName.c_str(), arguments[1].c_str());
  QIFStreamB in;
  if (!OpenMember(bank, bankName, entry.name.Data(), in))
    return ExitFailure;
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  bool complete = CopyMember(
      in, [](const char *data, int length)
      { return std::fwrite(data, 1, static_cast<std::size_t>(length), stdout) == static_cast<std::size_t>(length); });
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the member to standard output");
  if (!complete)
    return ToolFailure("cannot read all of the member %s of %s", arguments[1].c_str(), bankName.c_str());
  return ExitSuccess;
}
