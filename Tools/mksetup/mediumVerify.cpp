#include "El/QStream/gzStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Es/Common/crc32Table.hpp"
#include "Setup/Data/crcLines.hpp"
#include "Tools/mksetup/bankReading.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/mediumRead.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>

namespace
{
constexpr int ReadBlockSize = 262144;

std::string Folded(std::string name)
{
  for (char &c : name)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return name;
}

bool EndsWithGz(const std::string &name) { return name.size() >= 3 && Folded(name.substr(name.size() - 3)) == ".gz"; }

// The name setup.crc and the copy list are matched by: letter case and a
// final ".gz" play no part.
std::string MatchName(const std::string &name)
{
  return Folded(EndsWithGz(name) ? name.substr(0, name.size() - 3) : name);
}

std::string Hex(std::uint32_t value)
{
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

// Checks files one after the other, keeping the archive of the last one
// open: a medium's list names the files of an archive together.
class Verifier
{
public:
  Verifier(MediumReader &medium, std::vector<CrcLine> crcs) : _medium(medium), _crcs(std::move(crcs)) {}

  // The problem of one file, empty when it is sound.
  std::string Check(const FileListRecord &record);

private:
  // The member's bytes as the installer reads them, before any inflating;
  // null with the reason in problem.
  std::unique_ptr<QIStream> OpenSource(const FileListRecord &record, std::string &problem);
  QFBank *BankOf(int n, std::string &problem);

  MediumReader &_medium;
  std::vector<CrcLine> _crcs;
  int _bankNumber = 0;
  std::unique_ptr<QFBank> _bank;
  std::string _bankProblem;
  std::string _resource;
};

QFBank *Verifier::BankOf(int n, std::string &problem)
{
  if (n != _bankNumber)
  {
    _bankNumber = n;
    _bankProblem.clear();
    _bank = std::make_unique<QFBank>();
    MediumReader::ArchivePlace place = _medium.PlaceOf(n);
    if (place.start + place.size > std::numeric_limits<QFileSize>::max())
      _bankProblem = place.shown + " lies beyond 4 GiB, where the installer cannot read";
    else if (!OpenBank(place.path, *_bank, Damaged::Refuse, static_cast<QFileSize>(place.start), place.size,
                       place.shown))
      _bankProblem = "archive " + std::to_string(n) + " (" + place.shown + ") cannot be read";
  }
  problem = _bankProblem;
  return _bankProblem.empty() ? _bank.get() : nullptr;
}

std::unique_ptr<QIStream> Verifier::OpenSource(const FileListRecord &record, std::string &problem)
{
  std::string name = record.name.Data();
  std::uint32_t listed = static_cast<std::uint32_t>(record.size);
  std::uint32_t size = 0;
  std::unique_ptr<QIStream> stream;
  if (record.archiveNumber >= 1)
  {
    QFBank *bank = BankOf(record.archiveNumber, problem);
    if (!bank)
      return nullptr;
    const QFBankEntry &entry = bank->Find(QFBankNormalizeName(name.c_str()));
    if (entry.name.IsEmpty())
      return problem = "not in archive " + std::to_string(record.archiveNumber), nullptr;
    if (entry.method != QFBankStored && entry.method != QFBankPacked)
      return problem = "stored by the method " + MethodName(entry.method) + ", which the installer cannot read",
             nullptr;
    size = entry.unpackedSize;
    stream = bank->OpenMemberStream(entry.name);
  }
  else if (record.archiveNumber == 0)
  {
    if (!_medium.ResourceBytes(name, _resource, problem))
      return nullptr;
    size = static_cast<std::uint32_t>(_resource.size());
    stream = std::make_unique<QIStrStream>(_resource.data(), static_cast<int>(_resource.size()));
  }
  else
  {
    std::string path = _medium.PathInFolder(name);
    if (std::error_code error; !std::filesystem::is_regular_file(path, error))
      return problem = "missing from the medium's folder", nullptr;
    size = static_cast<std::uint32_t>(std::filesystem::file_size(path));
    auto file = std::make_unique<QIFStream>();
    file->open(path.c_str());
    stream = std::move(file);
  }
  if (size != listed)
    return problem = "holds " + std::to_string(size) + " bytes; the file list says " + std::to_string(listed), nullptr;
  if (!stream || stream->fail())
    return problem = "cannot be read", nullptr;
  return stream;
}

std::string Verifier::Check(const FileListRecord &record)
{
  std::string name = record.name.Data();
  std::optional<std::uint32_t> expected;
  // As the installer applies the list, the last line for a name is the one
  // that holds.
  for (const CrcLine &line : _crcs)
    if (MatchName(line.name) == MatchName(name))
      expected = line.crc;
  // A name with a blank cannot be listed there and is installed unverified.
  if (!expected && name.find(' ') == std::string::npos)
    return "has no checksum in setup.crc";

  std::string problem;
  std::unique_ptr<QIStream> stream = OpenSource(record, problem);
  if (!stream)
    return problem;
  bool inflate = EndsWithGz(name);
  if (inflate)
    stream = std::make_unique<QIGzStream>(stream.release());
  std::unique_ptr<char[]> block(new char[ReadBlockSize]);
  Crc32Table engine;
  std::uint64_t total = 0;
  for (int got; (got = stream->read(block.get(), ReadBlockSize)) > 0;)
  {
    engine.Crc32Update(block.get(), static_cast<std::size_t>(got));
    total += static_cast<std::uint64_t>(got);
  }
  if (stream->DataError() || (!inflate && total != static_cast<std::uint32_t>(record.size)))
    return "is damaged: its data do not unpack to what the archive's table says";
  if (expected && engine.Crc32Value() != *expected)
    return "checksum " + Hex(engine.Crc32Value()) + ", setup.crc says " + Hex(*expected);
  return {};
}
} // namespace

int RunMediumVerify(const Arguments &arguments)
{
  WriteBinaryStandardOutput();
  MediumReader medium;
  if (!medium.Open(arguments[0]))
    return ExitFailure;
  AutoArray<FileListRecord> records;
  std::string problem;
  if (!medium.FileList(records, problem))
    return ToolFailure("%s", problem.c_str());
  std::string crcPath = medium.PathInFolder("setup.crc");
  std::FILE *crcFile = std::fopen(crcPath.c_str(), "r");
  if (!crcFile)
    return ToolFailure("cannot open %s: the installer would check no file", crcPath.c_str());
  std::vector<CrcLine> crcs = ReadCrcLines(crcFile);
  std::fclose(crcFile);

  Verifier verifier(medium, std::move(crcs));
  int bad = 0;
  for (const FileListRecord &record : records)
    if (std::string fault = verifier.Check(record); !fault.empty())
    {
      std::printf("%s: %s\n", record.name.Data(), fault.c_str());
      ++bad;
    }
  if (bad == 0)
    std::printf("%d files verified\n", records.Size());
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the report");
  if (bad != 0)
    return ToolFailure("%d of %d files are bad", bad, records.Size());
  return ExitSuccess;
}
