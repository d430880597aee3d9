#include "Setup/Install/copyWorker.hpp"

#include "El/QStream/gzStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Install/sourceNames.hpp"

#include <cwchar>
#include <limits>

namespace
{
std::wstring ArchiveName(int number)
{
  wchar_t name[32];
  std::swprintf(name, sizeof name / sizeof name[0], L"setup%02d.bin", number);
  return name;
}
} // namespace

void CCopyWorker::CopyMember()
{
  _crc.Crc32Reset();
  std::unique_ptr<QIStream> stream;
  if (_job.archiveNumber >= 1)
  {
    _table.SelectArchive(_job.archiveNumber);
    std::wstring archive = _table.selectedSize != 0 ? _job.hostPath : _archiveFolder + ArchiveName(_job.archiveNumber);
    // The bank library reads files up to 4 GiB: a region beyond would be read
    // from the wrong place, so it is not read at all.
    bool reachable = _table.selectedStart + _table.selectedSize <= std::numeric_limits<QFileSize>::max();
    if (QFBank *bank = reachable ? _banks.Open(archive, static_cast<QFileSize>(_table.selectedStart),
                                               _table.selectedSize, _job.mediumGeneration)
                                 : nullptr)
    {
      // A member the bank does not hold is a source that cannot be read,
      // not an empty file.
      const QFBankEntry &entry = bank->Find(AnsiFromWide(_job.memberName).c_str());
      if (!entry.name.IsEmpty())
        stream = bank->OpenMemberStream(entry.name);
    }
  }
  else if (_job.resourceBytes)
    stream.reset(new QIStrStream(_job.resourceBytes, static_cast<int>(_job.resourceSize)));

  if (!stream)
    return Fail(L"SETUP_STR_ERR_FILE_READ", _source);
  CDestinationFile destination;
  if (!destination.Create(_destination))
    return Fail(L"SETUP_STR_ERR_CREATE_FILE", _destination);
  if (EndsWithGz(_job.memberName))
    stream.reset(new QIGzStream(stream.release()));

  std::int64_t attemptBytes = 0;
  _attempts = 1;
  bool complete = true;
  bool stopped = false;
  for (;;)
  {
    int got = stream->read(_buffer, ChunkSize);
    if (got < 1)
      break;
    _crc.Crc32Update(_buffer, static_cast<std::size_t>(got));
    attemptBytes += got;
    _bytes = attemptBytes;
    bool written = destination.Write(_buffer, static_cast<std::size_t>(got));
    stopped = CountChunk(got);
    if (!written)
    {
      Fail(L"SETUP_STR_ERR_FILE_WRITE", _destination);
      complete = false;
      break;
    }
    if (stopped)
      break;
  }
  destination.Close();
  // Packed data that fails its checksum or ends early, gzip data that is
  // damaged, a bank cut short: the file written is not the member.
  bool damaged = complete && !stopped && stream->DataError();
  stream.reset();
  if (damaged)
    return Fail(L"SETUP_STR_ERR_FILE_READ", _source);
  if (complete && !stopped && _job.verify && _crc.Crc32Value() != _job.expectedCrc)
  {
    TakeBackAttempt(attemptBytes);
    Fail(L"SETUP_STR_ERR_FILE_CRC", _destination);
  }
}
