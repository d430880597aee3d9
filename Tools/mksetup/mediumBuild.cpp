#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "Setup/Data/archiveTrailer.hpp"
#include "Setup/Data/fileList.hpp"
#include "Tools/mksetup/bankWriter.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/fileBytes.hpp"
#include "Tools/mksetup/mediumFiles.hpp"
#include "Tools/mksetup/mediumPlan.hpp"
#include "Tools/mksetup/memberPacking.hpp"
#include "Tools/mksetup/peResources.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace
{
struct BuildOptions
{
  std::string setup;
  std::string script;
  std::string strings;
  std::string data;
  std::string directx;
  std::string uninstaller;
  bool singleExe = false;
  // Without --archive-size, one archive (a bank's own limit aside).
  std::uint64_t archiveSize = UINT64_MAX;
  PackingOptions packing;
};

// The value of an option given at most once; answers ExitSuccess or the
// usage error already reported.
int TakeOnce(const Arguments &arguments, const char *name, std::string &value)
{
  std::vector<std::string> values = arguments.Values(name);
  if (values.size() > 1)
    return arguments.UsageError("--%s is given more than once", name);
  if (!values.empty())
    value = values[0];
  return ExitSuccess;
}

int ReadBuildOptions(const Arguments &arguments, BuildOptions &options)
{
  std::string archiveSize;
  std::string jobs;
  for (auto [name, value] : {std::pair{"setup", &options.setup}, std::pair{"script", &options.script},
                             std::pair{"strings", &options.strings}, std::pair{"data", &options.data},
                             std::pair{"directx", &options.directx}, std::pair{"uninstaller", &options.uninstaller},
                             std::pair{"archive-size", &archiveSize}, std::pair{"jobs", &jobs}})
    if (int status = TakeOnce(arguments, name, *value); status != ExitSuccess)
      return status;
  if (options.setup.empty())
    return arguments.UsageError("--setup names the installer to put on the medium; it is required");
  if (!archiveSize.empty() && !ParseByteSize(archiveSize, options.archiveSize))
    return arguments.UsageError("--archive-size wants a number of bytes above 0, with K, M or G after it or not, "
                                "not '%s'",
                                archiveSize.c_str());
  if (!jobs.empty() && !ParseJobs(jobs, options.packing.jobs))
    return arguments.UsageError("--jobs wants a number of threads from 1 to 256");
  options.singleExe = arguments.Has("single-exe");
  options.packing.pack = arguments.Has("pack");
  return ExitSuccess;
}

// Whether inner is outer or lies below it.
bool InsideFolder(const std::string &inner, const std::string &outer)
{
  auto normal = [](const std::string &name)
  {
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::absolute(name, error), error).lexically_normal();
    return path.has_filename() ? path : path.parent_path();
  };
  fs::path a = normal(inner);
  fs::path b = normal(outer);
  return std::mismatch(a.begin(), a.end(), b.begin(), b.end()).second == b.end();
}

// The installer takes the medium's files for what it was made of: a signed
// installer would lose its signature here, so signing comes afterwards.
bool CheckInstaller(const std::string &path)
{
  FileBytes bytes;
  PeImage image;
  std::string error;
  if (!bytes.Open(path))
    return ToolMessage("cannot open the installer %s", path.c_str()), false;
  if (!image.Read(bytes, error))
    return ToolMessage("%s is not an installer program: %s", path.c_str(), error.c_str()), false;
  if (image.IsSigned())
    return ToolMessage("%s is signed, and adding the medium's resources would break the signature: sign setup.exe "
                       "after the medium is built",
                       path.c_str()),
           false;
  return true;
}

// The installer looks names up in the ANSI code page, which agrees with the
// names on disk only for ASCII.
bool NamesPlainAscii(const std::vector<FolderFile> &files)
{
  for (const FolderFile &file : files)
    for (char c : file.name)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
      {
        ToolMessage("cannot list %s: the installer finds files by names in plain ASCII (no control characters)",
                    file.name.c_str());
        return false;
      }
  return true;
}

bool WriteBankFile(BankWriter &writer, const std::string &path)
{
  QOFStream out(path.c_str());
  if (out.Failed())
    return ToolMessage("cannot create %s: %s", path.c_str(), LSErrorText(out.error())), false;
  if (!writer.Write(out))
    return ToolMessage("cannot write the bank %s", path.c_str()), false;
  if (out.Close() != 0 || out.Failed())
    return ToolMessage("cannot write %s: %s", path.c_str(), LSErrorText(out.error())), false;
  return true;
}

// A folder made into a bank in the work folder, to become a resource.
bool AddFolderBank(const std::string &folder, const char *resourceName, const BuildOptions &options, WorkFolder &work,
                   std::vector<RcdataFile> &resources)
{
  std::vector<FolderFile> files;
  std::vector<PreparedMember> members;
  if (!CollectFolderFiles(folder, std::string(), files) || !CheckBankNames(files) ||
      !PrepareMembers(files, options.packing, work, members))
    return false;
  BankWriter writer;
  AddPreparedMembers(writer, members);
  std::string path = work.PathOf(std::string(resourceName) + ".bin");
  if (!WriteBankFile(writer, path))
    return false;
  resources.push_back({resourceName, path});
  return true;
}

bool WriteFileListFile(const MediumContent &content, const std::string &path)
{
  AutoArray<FileListRecord> records;
  for (std::size_t i = 0; i < content.members.size(); ++i)
  {
    FileListRecord record;
    const std::string &name = content.members[i].file.name;
    record.name = RString(name.data(), static_cast<int>(name.size()));
    // The field is signed; sizes of 2 GiB and more are stored as their bits.
    record.size = static_cast<std::int32_t>(content.members[i].size);
    record.archiveNumber = static_cast<std::int8_t>(content.archiveOf[i]);
    records.Add(std::move(record));
  }
  QOFStream out(path.c_str());
  if (out.Failed() || !WriteFileList(out, records) || out.Close() != 0 || out.Failed())
    return ToolMessage("cannot write the file list %s: %s", path.c_str(), LSErrorText(out.error())), false;
  return true;
}

// The installer's checksum list. A name with a blank cannot be listed (the
// reader takes the first blank for the end of the name): such a file is
// installed unverified.
std::string CrcListText(const MediumContent &content)
{
  std::string text;
  for (const PreparedMember &member : content.members)
  {
    if (member.file.name.find(' ') != std::string::npos)
    {
      ToolMessage("warning: %s stays out of setup.crc (a blank ends a name there); it is installed unverified",
                  member.file.name.c_str());
      continue;
    }
    char crc[16];
    std::snprintf(crc, sizeof crc, " %08X\r\n", static_cast<unsigned>(member.crc));
    text += member.file.name + crc;
  }
  return text;
}

bool WriteTextFile(const std::string &path, const std::string &text)
{
  QOFStream out(path.c_str());
  out.write(text.data(), static_cast<QFileSize>(text.size()));
  if (out.Close() != 0 || out.Failed())
    return ToolMessage("cannot write %s: %s", path.c_str(), LSErrorText(out.error())), false;
  return true;
}

// The installer with its resources, and with the archives behind it when
// they go into the one file.
bool WriteInstaller(const BuildOptions &options, const std::vector<RcdataFile> &resources, MediumContent &content,
                    const std::string &path)
{
  QOFStream out(path.c_str());
  if (out.Failed())
    return ToolMessage("cannot create %s: %s", path.c_str(), LSErrorText(out.error())), false;
  std::string error;
  if (!WriteImageWithRcdata(options.setup, resources, out, error))
    return ToolMessage("cannot put the resources into %s: %s", options.setup.c_str(), error.c_str()), false;
  if (options.singleExe)
  {
    std::vector<std::uint32_t> sizes;
    std::uint64_t end = out.tellp();
    for (int n = 1; n <= content.archiveCount; ++n)
    {
      BankWriter writer = content.ArchiveWriter(n);
      end += writer.TotalSize();
      // The installer reads its own file through 32-bit positions.
      if (end > UINT32_MAX)
        return ToolMessage("the archives would end beyond 4 GiB of setup.exe, which the installer cannot read; "
                           "leave out --single-exe"),
               false;
      if (!writer.Write(out))
        return ToolMessage("cannot write archive %d into %s", n, path.c_str()), false;
      sizes.push_back(static_cast<std::uint32_t>(writer.TotalSize()));
    }
    if (!sizes.empty())
    {
      std::string trailer = ArchiveTrailerFor(sizes);
      out.write(trailer.data(), static_cast<QFileSize>(trailer.size()));
    }
  }
  if (out.Close() != 0 || out.Failed())
    return ToolMessage("cannot write %s: %s", path.c_str(), LSErrorText(out.error())), false;
  if (!UpdatePeChecksum(path, error))
    return ToolMessage("cannot write the checksum of %s: %s", path.c_str(), error.c_str()), false;
  return true;
}
// Puts the uninstaller among the product's files as "uninstall.exe", in the
// files' order. A product that holds a file of that name already keeps it:
// the build fails rather than replace the publisher's own.
bool AddUninstaller(const std::string &path, std::vector<FolderFile> &files)
{
  const std::string name = "uninstall.exe";
  std::uint32_t size = 0;
  if (std::string problem = RegularFileProblem(path, size); !problem.empty())
  {
    ToolFailure("the uninstaller %s: %s", path.c_str(), problem.c_str());
    return false;
  }
  auto lower = [](std::string text)
  {
    for (char &c : text)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (const FolderFile &file : files)
    if (lower(file.name) == name)
    {
      ToolFailure("the product holds %s already; --uninstaller would replace it", file.name.c_str());
      return false;
    }
  auto at = std::lower_bound(files.begin(), files.end(), name,
                             [](const FolderFile &file, const std::string &key) { return file.name < key; });
  files.insert(at, FolderFile{name, path});
  return true;
}
} // namespace

int RunMediumBuild(const Arguments &arguments)
{
  const std::string &productFolder = arguments[0];
  const std::string &mediumFolder = arguments[1];
  BuildOptions options;
  if (int status = ReadBuildOptions(arguments, options); status != ExitSuccess)
    return status;
  if (InsideFolder(mediumFolder, productFolder))
    return ToolFailure("the medium folder %s lies inside the product folder %s", mediumFolder.c_str(),
                       productFolder.c_str());
  if (!CheckInstaller(options.setup))
    return ExitFailure;

  MediumContent content;
  std::vector<FolderFile> files;
  if (!CollectFolderFiles(productFolder, std::string(), files) ||
      (!options.uninstaller.empty() && !AddUninstaller(options.uninstaller, files)) || !CheckBankNames(files) ||
      !FileListNamesReadable(files) || !NamesPlainAscii(files))
    return ExitFailure;

  std::error_code error;
  fs::create_directories(mediumFolder, error);
  if (error)
    return ToolFailure("cannot create the folder %s: %s", mediumFolder.c_str(), error.message().c_str());
  WorkFolder work((fs::path(mediumFolder) / ".mksetup-work").string());
  if (!work.Made())
    return ExitFailure;
  PackingOptions productPacking = options.packing;
  productPacking.checksums = true;
  if (!PrepareMembers(files, productPacking, work, content.members))
    return ExitFailure;
  std::string planError;
  if (!content.Plan(options.archiveSize, planError))
    return ToolFailure("cannot share the files out among archives: %s", planError.c_str());

  std::vector<RcdataFile> resources;
  if (!options.script.empty())
    resources.push_back({"SETUP.DAT", options.script});
  if (!options.strings.empty())
    resources.push_back({"SETUP.CSV", options.strings});
  if (!options.data.empty() && !AddFolderBank(options.data, "SETUP_3RD_PARTY_AND_DATA", options, work, resources))
    return ExitFailure;
  if (!options.directx.empty() && !AddFolderBank(options.directx, "DIRECTX_INSTALLER", options, work, resources))
    return ExitFailure;
  std::string fileList = work.PathOf("SETUP_FILE_LIST.bin");
  if (!WriteFileListFile(content, fileList))
    return ExitFailure;
  resources.push_back({"SETUP_FILE_LIST", fileList});
  for (const RcdataFile &resource : resources)
    if (std::uint32_t size = 0; !RegularFileSize(resource.path, size))
      return ExitFailure;

  // Every output under a temporary name until all of them are written.
  std::vector<std::unique_ptr<ReplacingFile>> outputs;
  auto output = [&](const std::string &name) -> const char *
  {
    outputs.push_back(std::make_unique<ReplacingFile>((fs::path(mediumFolder) / name).string()));
    return outputs.back()->TemporaryName();
  };
  if (!WriteInstaller(options, resources, content, output("setup.exe")))
    return ExitFailure;
  if (!options.singleExe)
    for (int n = 1; n <= content.archiveCount; ++n)
    {
      BankWriter writer = content.ArchiveWriter(n);
      if (!WriteBankFile(writer, output(ArchiveFileName(n))))
        return ExitFailure;
    }
  if (!WriteTextFile(output("setup.crc"), CrcListText(content)))
    return ExitFailure;
  for (std::unique_ptr<ReplacingFile> &file : outputs)
    if (!file->Commit())
      return ExitFailure;
  RemoveStaleArchives(mediumFolder, options.singleExe ? 0 : content.archiveCount);
  return ExitSuccess;
}
