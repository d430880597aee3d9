#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "Tools/mksetup/bankWriter.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/memberPacking.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <string>
#include <vector>

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

  PackingOptions packing;
  packing.pack = arguments.Has("pack");
  if (arguments.Has("jobs") && !ParseJobs(arguments.Values("jobs").back(), packing.jobs))
    return arguments.UsageError("--jobs wants a number of threads from 1 to 256");

  std::vector<FolderFile> files;
  if (!CollectFolderFiles(folderName, outName, files) || !CheckBankNames(files))
    return ExitFailure;
  WorkFolder work(outName + ".work");
  std::vector<PreparedMember> members;
  if (!work.Made() || !PrepareMembers(files, packing, work, members))
    return ExitFailure;
  AddPreparedMembers(writer, members);
  if (writer.TotalSize() > UINT32_MAX)
    return ToolFailure("the bank would reach 4 GiB; a bank must stay below that");

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
