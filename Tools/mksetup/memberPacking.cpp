#include "Tools/mksetup/memberPacking.hpp"

#include "El/QStream/fileServer.hpp"
#include "El/QStream/gzStream.hpp"
#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "El/QStream/ssCompress.hpp"
#include "Es/Common/crc32Table.hpp"
#include "Tools/mksetup/bankWriter.hpp"
#include "Tools/mksetup/commandLine.hpp"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace
{
constexpr int ReadBlockSize = 262144;

bool EndsWithGz(const std::string &name)
{
  if (name.size() < 3)
    return false;
  std::string end = name.substr(name.size() - 3);
  return end[0] == '.' && (end[1] == 'g' || end[1] == 'G') && (end[2] == 'z' || end[2] == 'Z');
}

// Reads a stream to its end into the checksum; answers the bytes read.
std::uint64_t ChecksumOf(QIStream &in, std::uint32_t &crc)
{
  std::unique_ptr<char[]> block(new char[ReadBlockSize]);
  Crc32Table engine;
  std::uint64_t total = 0;
  for (int got; (got = in.read(block.get(), ReadBlockSize)) > 0;)
  {
    engine.Crc32Update(block.get(), static_cast<std::size_t>(got));
    total += static_cast<std::uint64_t>(got);
  }
  crc = engine.Crc32Value();
  return total;
}

// The checksum of what the installer writes for the member.
std::string TakeChecksum(PreparedMember &member)
{
  auto file = std::make_unique<QIFStream>();
  file->open(member.file.path.c_str());
  if (file->fail())
    return "cannot open " + member.file.path;
  if (!EndsWithGz(member.file.name))
  {
    if (ChecksumOf(*file, member.crc) != member.size)
      return "cannot read " + member.file.path + ", or it changed while it was read";
    return {};
  }
  // The same reader the installer inflates ".gz" members with: data that
  // is not gzip passes through, damaged gzip data fails the installation.
  QIGzStream inflated(file.release());
  ChecksumOf(inflated, member.crc);
  if (inflated.DataError())
    return member.file.path + " holds damaged gzip data; the installer inflates files named .gz and would fail on it";
  return {};
}

// Packs the member into the work folder, keeping the packed form only when
// it is the smaller one.
std::string Pack(PreparedMember &member, const std::string &packedPath)
{
  QIFStream in;
  in.open(member.file.path.c_str());
  if (in.fail())
    return "cannot open " + member.file.path;
  QOFStream out(packedPath.c_str());
  if (out.Failed())
    return "cannot create " + packedPath + ": " + LSErrorText(out.error());
  SSCompress().encode(out, in);
  if (in.tellg() != member.size)
    return "cannot read " + member.file.path + ", or it changed while it was read";
  QFileSize packedSize = out.tellp();
  if (out.Close() != 0 || out.Failed())
    return "cannot write " + packedPath + ": " + LSErrorText(out.error());
  if (packedSize < member.size)
  {
    member.method = QFBankPacked;
    member.dataSize = static_cast<std::uint32_t>(packedSize);
    member.dataPath = packedPath;
  }
  else
  {
    std::error_code error;
    fs::remove(packedPath, error);
  }
  return {};
}

std::string Prepare(const FolderFile &file, const PackingOptions &options, const std::string &packedPath,
                    PreparedMember &member)
{
  member.file = file;
  if (std::string problem = RegularFileProblem(file.path, member.size); !problem.empty())
    return problem;
  member.timestamp =
      static_cast<std::uint32_t>(std::clamp<std::int64_t>(QFileTimeOf(file.path.c_str()), 0, UINT32_MAX));
  member.method = QFBankStored;
  member.dataSize = member.size;
  member.dataPath = file.path;
  if (options.checksums)
    if (std::string problem = TakeChecksum(member); !problem.empty())
      return problem;
  // Empty input packs to nothing: stored, it is the same nothing.
  if (options.pack && member.size > 0)
    return Pack(member, packedPath);
  return {};
}
} // namespace

WorkFolder::WorkFolder(std::string name)
{
  std::error_code error;
  _path = name;
  for (int attempt = 1; fs::exists(fs::symlink_status(_path, error)); ++attempt)
    _path = name + std::to_string(attempt);
  _made = fs::create_directory(_path, error);
  if (!_made)
    ToolMessage("cannot create the folder %s: %s", _path.c_str(), error.message().c_str());
}

WorkFolder::~WorkFolder()
{
  if (!_made)
    return;
  std::error_code error;
  fs::remove_all(_path, error);
}

std::string WorkFolder::PathOf(const std::string &fileName) const { return (fs::path(_path) / fileName).string(); }

std::string WorkFolder::NewPrefix() { return "set" + std::to_string(++_prefixes) + "-"; }

bool PrepareMembers(const std::vector<FolderFile> &files, const PackingOptions &options, WorkFolder &work,
                    std::vector<PreparedMember> &members)
{
  // The packed files of this set are named apart from those of any other
  // set prepared in the same folder (the product, then a --data folder).
  std::string prefix = work.NewPrefix();
  members.assign(files.size(), PreparedMember());
  std::vector<std::string> problems(files.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  // Each worker takes the next file not taken yet; what a file becomes does
  // not depend on which worker took it, so any number of them writes the
  // same banks.
  auto work_through = [&]
  {
    for (std::size_t i; !failed && (i = next++) < files.size();)
    {
      problems[i] = Prepare(files[i], options, work.PathOf(prefix + std::to_string(i) + ".lzss"), members[i]);
      if (!problems[i].empty())
        failed = true;
    }
  };
  unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(files.size(), 1)));
  std::vector<std::thread> workers;
  for (unsigned j = 1; j < jobs; ++j)
    workers.emplace_back(work_through);
  work_through();
  for (std::thread &worker : workers)
    worker.join();
  for (const std::string &problem : problems)
    if (!problem.empty())
    {
      ToolMessage("%s", problem.c_str());
      return false;
    }
  return true;
}

namespace
{
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
} // namespace

bool CheckBankNames(const std::vector<FolderFile> &files)
{
  return MemberNamesFit(files) && NamesDistinctWhenFolded(files, BankFolded, "bank");
}

void AddPreparedMembers(BankWriter &writer, const std::vector<PreparedMember> &members)
{
  for (const PreparedMember &member : members)
    writer.AddFileMember(member.file.name, member.method, member.size, member.timestamp, member.dataSize,
                         member.dataPath);
}

bool ParseJobs(const std::string &text, unsigned &jobs)
{
  unsigned long long value = 0;
  if (!ParseDecimal(text, value) || value == 0 || value > 256)
    return false;
  jobs = static_cast<unsigned>(value);
  return true;
}
