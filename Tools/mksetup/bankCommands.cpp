#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Tools/mksetup/bankReading.hpp"
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

namespace fs = std::filesystem;

namespace
{
constexpr int CopyBlockSize = 262144;

// The member a name given on the command line stands for ("/" or "\", any
// case), or an empty entry.
const QFBankEntry &FindMember(QFBank &bank, const std::string &name)
{
  return bank.Find(QFBankNormalizeName(name.c_str()));
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
  for (const BankMember &member : MembersByPosition(bank))
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
    for (const BankMember &member : MembersByPosition(bank))
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
  WriteBinaryStandardOutput();
  bool complete = CopyMember(
      in, [](const char *data, int length)
      { return std::fwrite(data, 1, static_cast<std::size_t>(length), stdout) == static_cast<std::size_t>(length); });
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the member to standard output");
  if (!complete)
    return ToolFailure("cannot read all of the member %s of %s", arguments[1].c_str(), bankName.c_str());
  return ExitSuccess;
}
