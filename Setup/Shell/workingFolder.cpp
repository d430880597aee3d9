#include "Setup/Shell/workingFolder.hpp"

#include "El/QStream/fileBuffer.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Es/Framework/appFrame.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Data/containedPath.hpp"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace
{
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Creates folder and every missing folder above it; true when it exists
// afterwards.
bool CreateFolderPath(const std::wstring &folder)
{
  for (std::size_t at = 1; at < folder.size(); ++at)
  {
    if (!IsSeparator(folder[at]))
      continue;
    std::wstring part = folder.substr(0, at);
    // A drive root ("C:") is never created; failures along the way (a share
    // name, a folder that exists) are judged by the final check alone.
    if (part.size() == 2 && part[1] == L':')
      continue;
    CreateDirectoryW(part.c_str(), nullptr);
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// --- output -----------------------------------------------------------------

// A file written through the wide file API, so that a folder named after a
// product whose characters the ANSI code page lacks still works. Errors are
// sticky: after the first failure nothing more is written.
class WideFileOutput : public QOStream
{
public:
  explicit WideFileOutput(const std::wstring &path)
      : _file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
  {
    _fail = _file == INVALID_HANDLE_VALUE;
  }
  ~WideFileOutput() override { Close(); }

  int Close() override
  {
    if (_file == INVALID_HANDLE_VALUE)
      return _fail ? 1 : 0;
    Flush(_buffer->Size());
    if (!CloseHandle(_file))
      _fail = true;
    _file = INVALID_HANDLE_VALUE;
    ResetPositions();
    return _fail ? 1 : 0;
  }
  bool Failed() const override { return _fail; }

  void Flush(int capacity) override
  {
    (void)capacity;
    if (!_fail && _bufferSize > 0)
    {
      DWORD written = 0;
      if (!WriteFile(_file, _buffer->Data(), static_cast<DWORD>(_bufferSize), &written, nullptr) ||
          written != static_cast<DWORD>(_bufferSize))
        _fail = true;
    }
    // After a SeekP back the next byte belongs at the write offset, which
    // lies before the end of what was just written.
    _bufferStart += static_cast<QFileSize>(_bufferOffset);
    if (_bufferOffset != _bufferSize && !_fail)
      Seek(_bufferStart);
    _bufferOffset = 0;
    _bufferSize = 0;
  }

  void SeekP(QFileSize position) override
  {
    if (position >= _bufferStart && position - _bufferStart <= static_cast<QFileSize>(_bufferSize))
    {
      _bufferOffset = static_cast<int>(position - _bufferStart);
      return;
    }
    Flush(_buffer->Size());
    _bufferStart = position;
    if (!_fail)
      Seek(position);
  }

private:
  void Seek(QFileSize position)
  {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(_file, to, nullptr, FILE_BEGIN))
      _fail = true;
  }

  HANDLE _file;
  bool _fail = false;
};

struct UnpackContext
{
  std::wstring folder; // without a trailing separator
};

// Where the data of the last member ends, by the table; past the end of the
// bytes means the bank has been cut short.
void NoteDataEnd(const QFBankEntry &entry, QFBank &bank, void *context)
{
  (void)bank;
  std::uint64_t &end = *static_cast<std::uint64_t *>(context);
  end = std::max(end, std::uint64_t(entry.dataPosition) + entry.dataSize);
}

void UnpackMember(const QFBankEntry &entry, QFBank &bank, void *context)
{
  const UnpackContext &unpack = *static_cast<const UnpackContext *>(context);
  std::wstring name = WideFromAnsi(std::string(entry.name.Data()));
  if (!IsContainedRelativePath(name))
  {
    WarningF("Bank member '%s' would lie outside the folder; not unpacked", entry.name.Data());
    return;
  }
  std::wstring destination = unpack.folder + L"\\" + name;
  std::size_t lastSeparator = destination.find_last_of(L"\\/");
  if (!CreateFolderPath(destination.substr(0, lastSeparator)))
  {
    WarningF("Cannot create the folder of bank member '%s'", entry.name.Data());
    return;
  }
  QIFStreamB in;
  if (!in.openInBank(bank, entry.name, 0, QFileSizeWhole))
  {
    WarningF("Cannot read bank member '%s'", entry.name.Data());
    return;
  }
  WideFileOutput out(destination);
  in.copyTo(out);
  if (out.Close() != 0)
    WarningF("Cannot write bank member '%s'", entry.name.Data());
}
} // namespace

std::wstring TemporaryWorkingFolderName(const std::wstring &temporaryPath, const std::wstring &productName)
{
  if (temporaryPath.empty())
    return std::wstring();
  std::wstring name = productName;
  for (wchar_t &c : name)
    if (CannotStandInFileName(c))
      c = L' ';
  // A name of dots and blanks would read as "." or ".." once the system
  // strips what trails it; it becomes blanks alone.
  if (name.find_first_not_of(L". ") == std::wstring::npos)
    name.assign(name.size(), L' ');
  std::wstring folder = temporaryPath;
  if (!IsSeparator(folder.back()))
    folder += L'\\';
  return folder + name + L" - Installer";
}

std::wstring UserTemporaryPath()
{
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;)
  {
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0)
      return std::wstring();
    if (length < buffer.size())
      return std::wstring(buffer.data(), length);
    // Too small: the answer is the size needed, terminator included.
    buffer.resize(length + 1);
  }
}

bool UnpackBankInto(std::span<const char> bank, const std::wstring &folder)
{
  UnpackContext context{folder};
  while (!context.folder.empty() && IsSeparator(context.folder.back()))
    context.folder.pop_back();
  // With no folder the members would land in the root of the current drive.
  if (context.folder.empty())
    return false;
  QFBank data;
  if (!data.OpenMemory(new FileBufferFromMemory(bank.data(), static_cast<QFileSize>(bank.size())), nullptr, nullptr) ||
      !data.Load())
    return false;
  std::uint64_t dataEnd = 0;
  data.ForEachEntry(NoteDataEnd, &dataEnd);
  if (dataEnd > bank.size())
  {
    WarningF("The bank's members run %llu bytes past its end; nothing unpacked",
             static_cast<unsigned long long>(dataEnd - bank.size()));
    return false;
  }
  data.ForEachEntry(UnpackMember, &context);
  data.Close();
  return true;
}
