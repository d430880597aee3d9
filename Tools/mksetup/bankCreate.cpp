#include "El/QStream/fileServer.hpp"
#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "El/QStream/ssCompress.hpp"
#include "Tools/mksetup/bankWriter.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// Members are packed in memory; the packed form of a larger file could
// outgrow the memory stream's int-sized buffer. Larger files are stored.
constexpr std::uint32_t MaxPackedMemberSize = 512u << 20;

// A bank holds names up to a fixed length.
bool MemberNamesFit(const std::vector<FolderFile> &files)
{
  for (const FolderFile &file : files)
    if (file.name.size() > static_cast<std::size_t>(QFBankMaxNameLength))
    {
      ToolMessage("cannot store %s: a member name holds at most %d characters", file.name.c_str(), QFBankMaxNameLength);
      return false;
    }
  return true;
}

// The library finds members by their lower-cased names.
std::string BankFolded(const std::string &name) { return QFBankNormalizeName(name.c_str()).Data(); }

std::uint32_t TimestampOf(const std::string &path)
{
  std::int64_t seconds = QFileTimeOf(path.c_str());
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(seconds, 0, UINT32_MAX));
}

// Packs bytes; answers whether the packed form is the smaller one (and then
// holds it in packed).
bool PackSmaller(const std::string &bytes, std::string &packed)
{
  if (bytes.empty() || bytes.size() > MaxPackedMemberSize)
    return false;
  QIStrStream in(bytes.data(), static_cast<int>(bytes.size()));
  QOStrStream out;
  SSCompress().encode(out, in);
  if (out.pcount() >= bytes.size())
    return false;
  packed.assign(out.str(), out.pcount());
  return true;
}

bool AddFile(BankWriter &writer, const FolderFile &file, bool pack)
{
  std::uint32_t size = 0;
  std::string bytes;
  if (!RegularFileSize(file.path, size) || !ReadWholeFile(file.path, size, bytes))
    return false;
  std::uint32_t timestamp = TimestampOf(file.path);
  std::string packed;
  if (pack && PackSmaller(bytes, packed))
    writer.AddMember(file.name, QFBankPacked, size, timestamp, std::move(packed));
  else
    writer.AddMember(file.name, QFBankStored, size, timestamp, std::move(bytes));
  return true;
}
} // namespace

int RunBankCreate(const Arguments &arguments)
{
  const std::string &outName = arguments[0];
  const std::string &folderName = arguments[1];
  BankWriter writer;
  writer.SetVersionRecord(arguments.Has("version"));
  for (const std::string &pair : arguments.Values("property"))
  {
    std::size_t equals = pair.find('=');
    if (equals == std::string::npos || equals == 0)
      return arguments.UsageError("--property wants KEY=VALUE with a key, not '%s'", pair.c_str());
    writer.AddProperty(pair.substr(0, equals), pair.substr(equals + 1));
  }

  std::vector<FolderFile> files;
  if (!CollectFolderFiles(folderName, outName, files) || !MemberNamesFit(files) ||
      !NamesDistinctWhenFolded(files, BankFolded, "bank"))
    return ExitFailure;
  for (const FolderFile &file : files)
  {
    if (!AddFile(writer, file, arguments.Has("pack")))
      return ExitFailure;
    // Refused as soon as it shows, not after reading everything else.
    if (writer.TotalSize() > UINT32_MAX)
      return ToolFailure("the bank would reach 4 GiB (at %s); a bank must stay below that", file.name.c_str());
  }

  ReplacingFile bank(outName);
  QOFStream out(bank.TemporaryName());
  if (out.Failed())
    return ToolFailure("cannot create %s: %s", bank.TemporaryName(), LSErrorText(out.error()));
  if (!writer.Write(out))
    return ToolFailure("cannot write the bank %s", outName.c_str());
  if (out.Close() != 0 || out.Failed())
    return ToolFailure("cannot write %s: %s", bank.TemporaryName(), LSErrorText(out.error()));
  return bank.Commit() ? ExitSuccess : ExitFailure;
}
