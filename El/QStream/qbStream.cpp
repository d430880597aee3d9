#include "El/QStream/qbStream.hpp"

#include "El/QStream/fileServer.hpp"
#include "El/QStream/folderScan.hpp"
#include "El/QStream/ssCompress.hpp"
#include "Es/Framework/appFrame.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace
{
const char *const Source = "El/QStream/qbStream";

// An LZSS group of a flag byte and eight 2-byte references (17 bytes)
// unpacks to at most 8 * 18 bytes: no packed member can honestly claim more.
bool PlausibleUnpackedSize(QFileSize unpacked, QFileSize packed)
{
  return std::uint64_t(unpacked) <= std::uint64_t(packed) * 9 + 16;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Lower-cased and cut to the longest name: how lookups see a name.
RString LookupName(const char *name)
{
  RString lowered(name ? name : "",
                  static_cast<int>(std::min<std::size_t>(name ? std::strlen(name) : 0, QFBankMaxNameLength)));
  if (char *text = lowered.MakeMutable())
    for (; *text; ++text)
      *text = LowerAscii(*text);
  return lowered;
}

std::uint32_t NameHash(const char *name)
{
  std::uint32_t hash = 0;
  for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c; ++c)
    hash = hash * 33 + *c;
  return hash;
}

// A zero-terminated string of at most maxLength characters; the bytes after
// the limit are left for the next field. False when the data ends first.
bool ReadString(QIStream &in, RString &text, int maxLength)
{
  std::string bytes;
  while (maxLength < 0 || static_cast<int>(bytes.size()) < maxLength)
  {
    int c = in.get();
    if (c < 0)
      return false;
    if (c == 0)
      break;
    bytes.push_back(static_cast<char>(c));
  }
  text = RString(bytes.data(), static_cast<int>(bytes.size()));
  return true;
}

bool ReadWord(QIStream &in, std::uint32_t &value)
{
  unsigned char bytes[4];
  if (in.read(bytes, 4) != 4)
    return false;
  value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
          std::uint32_t(bytes[3]) << 24;
  return true;
}

struct Record
{
  RString name;
  std::uint32_t method = 0;
  std::uint32_t unpackedSize = 0;
  std::uint32_t reserved = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t dataSize = 0;
};

// One entry record; false when the data ends inside it, which ends the
// table as a terminating record would.
bool ReadRecord(QIStream &in, Record &record)
{
  return ReadString(in, record.name, QFBankMaxNameLength) && ReadWord(in, record.method) &&
         ReadWord(in, record.unpackedSize) && ReadWord(in, record.reserved) && ReadWord(in, record.timestamp) &&
         ReadWord(in, record.dataSize);
}

bool IsVersionRecord(const Record &record)
{
  return record.name.IsEmpty() && record.method == QFBankVersion && record.timestamp == 0 && record.dataSize == 0;
}

// Property keys and values have no length limit of their own: the data
// bounds them.
constexpr int NoLimit = -1;

void SkipProperties(QIStream &in)
{
  RString key, value;
  while (ReadString(in, key, NoLimit) && !key.IsEmpty() && ReadString(in, value, NoLimit))
  {
  }
}

struct EncryptionEntry
{
  RString name;
  BankDecoderFactory factory;
};

AutoArray<EncryptionEntry> &Encryptions()
{
  static AutoArray<EncryptionEntry> encryptions;
  return encryptions;
}
} // namespace

RString QFBankNormalizeName(const char *name)
{
  RString normalized = LookupName(name);
  if (char *text = normalized.MakeMutable())
    for (; *text; ++text)
      if (*text == '/')
        *text = '\\';
  return normalized;
}

void RegisterBankEncryption(const char *name, BankDecoderFactory factory)
{
  for (const EncryptionEntry &entry : Encryptions())
    if (CompareNoCase(entry.name, name) == 0)
    {
      ErrorMessageF("Ecryption %s already registered", name);
      return;
    }
  Encryptions().Add(EncryptionEntry{name, factory});
}

Ref<IBankDecoder> FindBankEncryption(const char *name, int argument)
{
  for (const EncryptionEntry &entry : Encryptions())
    if (CompareNoCase(entry.name, name) == 0)
      return entry.factory(argument);
  ErrorMessageF("Unknown encryption %s", name);
  return nullptr;
}

// --- opening ----------------------------------------------------------------

QFBank::QFBank() = default;

QFBank::~QFBank()
{
  Close();
  _properties.Clear();
  _prefix = RString();
  _context.Free();
  _bankName = RString();
  _log.Free();
}

bool QFBank::OpenRegion(const char *fileName, QFBankLoadCheck check, RefCount *context, QFileSize start, QFileSize size)
{
  if (!QFileExists(fileName))
  {
    ErrorReportF("Cannot open file '%s'", fileName);
    return false;
  }
  _bankName = fileName;
  _check = check;
  _context = context;
  ClearTable();
  _data.Free();
  _loaded = false;
  _failed = false;
  if (size != 0)
  {
    LogF("Load bank %s", fileName);
    Ref<FileBufferLoading> file = new FileBufferLoading(fileName);
    if (file->HasError())
    {
      ErrorReportF("Error opening bank %s", fileName);
      _failed = true;
      return false;
    }
    _data = new FileBufferSub(file.GetRef(), start, size);
  }
  return ReadHeader();
}

bool QFBank::OpenMemory(IFileBuffer *buffer, QFBankLoadCheck check, RefCount *context)
{
  _bankName = RString();
  _check = check;
  _context = context;
  ClearTable();
  _data = buffer;
  _loaded = false;
  _failed = false;
  return ReadHeader();
}

bool QFBank::OpenNamed(const char *name, QFBankLoadCheck check, RefCount *context)
{
  RString fileName;
  fileName.Format("%s.vbk", name ? name : "");
  return OpenRegion(fileName.Substring(0, QFBankMaxNameLength), check, context, 0, 0);
}

bool QFBank::OpenData()
{
  if (_data)
    return true;
  LogF("Load bank %s", _bankName.Data());
  Ref<FileBufferLoading> file = new FileBufferLoading(_bankName);
  if (file->HasError())
  {
    ErrorReportF("Error opening bank %s", _bankName.Data());
    _failed = true;
    return false;
  }
  _data = file.GetRef();
  return true;
}

bool QFBank::ReadHeader()
{
  _properties.Clear();
  if (!OpenData())
    return false;
  QIStreamDataSource in;
  in.attach(_data.GetRef());
  Record first;
  if (!ReadRecord(in, first) || !IsVersionRecord(first))
    return true;
  RString key, value;
  while (ReadString(in, key, NoLimit) && !key.IsEmpty() && ReadString(in, value, NoLimit))
  {
    if (CompareNoCase(key, "prefix") == 0)
    {
      // The first prefix counts; a later one, or one set before, is ignored.
      if (_prefix.IsEmpty())
        _prefix.Format("%s\\", value.Data());
      continue;
    }
    _properties.Add(QFBankProperty{key, value});
  }
  return true;
}

RString QFBank::GetProperty(const char *key) const
{
  for (const QFBankProperty &property : _properties)
    if (CompareNoCase(property.key, key) == 0)
      return property.value;
  return RString();
}

// --- the table --------------------------------------------------------------

void QFBank::ClearTable()
{
  _table.Clear();
  _bucketCount = 15;
  _entryCount = 0;
}

void QFBank::GrowTable(int needed)
{
  if (_table.Empty())
  {
    _table.Reserve(_bucketCount);
    for (int b = 0; b < _bucketCount; ++b)
      _table.Emplace();
  }
  if (needed <= 16 * _bucketCount)
    return;
  long long b = _bucketCount + 1;
  while (32 * b - 16 < needed)
    b *= 2;
  int newCount = static_cast<int>(2 * b - 1);
  AutoArray<AutoArray<QFBankEntry>> grown;
  grown.Reserve(newCount);
  for (int i = 0; i < newCount; ++i)
    grown.Emplace();
  for (AutoArray<QFBankEntry> &bucket : _table)
    for (QFBankEntry &entry : bucket)
      grown[static_cast<int>(NameHash(entry.name) % static_cast<std::uint32_t>(newCount))].Add(std::move(entry));
  _table = std::move(grown);
  _bucketCount = newCount;
}

void QFBank::Insert(QFBankEntry &&entry)
{
  GrowTable(_entryCount);
  AutoArray<QFBankEntry> *bucket = &_table[static_cast<int>(NameHash(entry.name) % std::uint32_t(_bucketCount))];
  for (QFBankEntry &present : *bucket)
    if (present.name == entry.name)
    {
      // A later record of the same name replaces the earlier one.
      present = std::move(entry);
      return;
    }
  GrowTable(_entryCount + 1);
  bucket = &_table[static_cast<int>(NameHash(entry.name) % std::uint32_t(_bucketCount))];
  bucket->Add(std::move(entry));
  ++_entryCount;
}

int QFBank::ReadEntries(QIStream &in, bool insert, QFileSize &dataTotal)
{
  // Data positions are summed in 64 bits: sizes that lie cannot wrap a
  // member's position back into the data of another.
  std::uint64_t total = 0;
  int count = 0;
  Record record;
  while (ReadRecord(in, record))
  {
    if (record.name.IsEmpty())
    {
      total += record.dataSize;
      break;
    }
    if (insert)
    {
      QFBankEntry entry;
      entry.name = QFBankNormalizeName(record.name);
      entry.method = record.method;
      entry.unpackedSize = record.unpackedSize;
      entry.dataPosition = static_cast<QFileSize>(std::min<std::uint64_t>(total, UINT32_MAX));
      entry.timestamp = record.timestamp;
      entry.dataSize = record.dataSize;
      Insert(std::move(entry));
    }
    total += record.dataSize;
    ++count;
  }
  dataTotal = static_cast<QFileSize>(std::min<std::uint64_t>(total, UINT32_MAX));
  return count;
}

bool QFBank::RunLoadCheck()
{
  if (!_check || _check(*this, _context.GetRef()))
    return true;
  ClearTable();
  _failed = true;
  return false;
}

bool QFBank::Load()
{
  if (!_locked)
  {
    WarningF("Cannot open bank %s that is not locked", _prefix.Data());
    return false;
  }
  if (_failed)
    return false;
  if (_loaded)
    return true;
  ClearTable();
  if (!OpenData())
    return false;

  QIStreamDataSource in;
  in.attach(_data.GetRef());
  Record first;
  bool versioned = ReadRecord(in, first) && IsVersionRecord(first);
  in.seekg(0);
  QFileSize dataTotal = 0;
  int count = ReadEntries(in, false, dataTotal);
  GrowTable(count);
  in.seekg(0);
  ReadEntries(in, true, dataTotal);

  if (_entryCount == 0 && versioned)
  {
    // The version record ended the first pass; the table follows the
    // properties, which the header step has taken already.
    in.seekg(0);
    ReadRecord(in, first);
    SkipProperties(in);
    if (!RunLoadCheck())
      return false;
    RString encryption = GetProperty("encryption");
    if (encryption.IsEmpty())
    {
      QFileSize start = in.tellg();
      count = ReadEntries(in, false, dataTotal);
      GrowTable(count);
      in.seekg(start);
      ReadEntries(in, true, dataTotal);
    }
    else
    {
      std::uint32_t decodedSize = 0, encodedSize = 0;
      if (ReadWord(in, decodedSize) && ReadWord(in, encodedSize))
      {
        // The encoded bytes must really be there before anything is allocated.
        QFileSize available = in.Size() - std::min(in.Size(), in.tellg());
        QFileSize headerEnd = in.tellg() + std::min<QFileSize>(encodedSize, available);
        if (encodedSize <= available && PlausibleUnpackedSize(decodedSize, encodedSize))
        {
          Ref<IBankDecoder> decoder = FindBankEncryption(encryption, 0);
          Ref<FileBufferMemory> encoded = new FileBufferMemory(encodedSize);
          Ref<FileBufferMemory> decoded = new FileBufferMemory(decodedSize);
          if (decoder && encoded->Size() == encodedSize && decoded->Size() == decodedSize &&
              in.read(encoded->DataLock(), static_cast<int>(encodedSize)) == static_cast<int>(encodedSize))
          {
            QIStrStream encodedStream(encoded->Data(), static_cast<int>(encodedSize));
            if (decoder->Decode(decoded->DataLock(), decodedSize, encodedStream))
            {
              QIStrStream records(decoded->Data(), static_cast<int>(decodedSize));
              count = ReadEntries(records, false, dataTotal);
              GrowTable(count);
              records.seekg(0);
              ReadEntries(records, true, dataTotal);
            }
          }
        }
        in.seekg(headerEnd);
      }
    }
  }
  else if (!RunLoadCheck())
    return false;

  // The data area starts where the header ended.
  QFileSize dataStart = in.tellg();
  for (AutoArray<QFBankEntry> &bucket : _table)
    for (QFBankEntry &entry : bucket)
      entry.dataPosition =
          static_cast<QFileSize>(std::min<std::uint64_t>(std::uint64_t(entry.dataPosition) + dataStart, UINT32_MAX));
  std::uint64_t end = std::uint64_t(dataStart) + dataTotal;
  in.seekg(static_cast<QFileSize>(std::min<std::uint64_t>(end, UINT32_MAX)));
  if (in.tellg() != end)
    ErrorReportF("Data file too short '%s'.", _bankName.Data());

  if (!_prefix.IsEmpty())
    ScanPlainFileOverrides(RString(), 0);
  _loaded = true;
  return true;
}

// --- members ----------------------------------------------------------------

const QFBankEntry *QFBank::Lookup(const char *name) const
{
  if (_table.Empty())
    return nullptr;
  RString key = LookupName(name);
  const AutoArray<QFBankEntry> &bucket = _table[static_cast<int>(NameHash(key) % std::uint32_t(_bucketCount))];
  for (const QFBankEntry &entry : bucket)
    if (entry.name == key)
      return &entry;
  return nullptr;
}

const QFBankEntry &QFBank::Find(const char *name)
{
  static const QFBankEntry missing;
  const QFBankEntry *entry = Load() ? Lookup(name) : nullptr;
  return entry ? *entry : missing;
}

bool QFBank::Contains(const char *name) { return Load() && !Find(name).name.IsEmpty(); }

bool QFBank::ContainsWithPrefix(const char *path)
{
  int prefixLength = _prefix.GetLength();
  if (!path || static_cast<int>(std::strlen(path)) < prefixLength)
    return false;
  RString head(path, prefixLength);
  if (CompareNoCase(head, _prefix) != 0)
    return false;
  return Contains(path + prefixLength);
}

QFileSize QFBank::DataPosition(const char *name)
{
  const QFBankEntry &entry = Find(name);
  return entry.name.IsEmpty() ? 0 : entry.dataPosition;
}

namespace
{
// A member's bytes as the bank holds them, or as they were decoded whole.
// Damaged when the bank's data ends before the member does, or when the
// member could not be decoded: the data is known to be cut short from the
// start, and a read that runs into its end fails.
class MemberBytesStream : public QIStreamDataSource
{
public:
  MemberBytesStream(IFileBuffer *bytes, bool damaged) : _damaged(damaged) { attach(bytes); }

  void SegmentAt(StreamSegment &segment, QFileSize position) override
  {
    QIStreamDataSource::SegmentAt(segment, position);
    if (_damaged && !segment.Covers(position))
      _fail = true;
  }
  bool DataError() const override { return _damaged; }

private:
  bool _damaged;
};

// The whole buffer when (start, length) covers it, else a window onto it.
Ref<IFileBuffer> Window(IFileBuffer *buffer, QFileSize start, QFileSize length)
{
  if (start == 0 && length >= buffer->Size())
    return buffer;
  return new FileBufferSub(buffer, start, length);
}
} // namespace

Ref<IFileBuffer> QFBank::ReadMember(const char *name, QFileSize start, QFileSize length)
{
  if (!Load())
    return nullptr;
  if (_log)
    _log->FileUsed(name);
  const QFBankEntry &entry = Find(name);
  if (entry.name.IsEmpty())
    return nullptr;

  if (entry.plainFileOverride)
  {
    RString path;
    path.Format("%s%s", _prefix.Data(), entry.name.Data());
    Ref<FileBufferLoading> plain = new FileBufferLoading(path);
    if (!plain->HasError())
      return Window(plain.GetRef(), start, length);
  }

  if (entry.method == QFBankStored)
  {
    start = std::min(start, entry.dataSize);
    return new FileBufferSub(_data.GetRef(), entry.dataPosition + start, std::min(entry.dataSize - start, length));
  }

  if (entry.method != QFBankPacked && entry.method != QFBankEnciphered)
  {
    ReportAssertionFailure(Source, __LINE__, "Unknown compression manager");
    return nullptr;
  }

  // Only bytes that are really in the bank are read, and the unpacked size
  // must be one the packed bytes can produce, before anything is allocated.
  QFileSize available = _data->Size() - std::min(_data->Size(), entry.dataPosition);
  QFileSize packedSize = std::min(entry.dataSize, available);
  Ref<FileBufferMemory> unpacked;
  bool decoded = false;
  if (PlausibleUnpackedSize(entry.unpackedSize, packedSize))
  {
    Ref<QIStreamBuffer> packed = new QIStreamBuffer(static_cast<int>(std::min<QFileSize>(packedSize, INT32_MAX)));
    QFileSize got = packed->Size() > 0 ? _data->ReadAt(packed->DataLock(), entry.dataPosition, packedSize) : 0;
    if (got < entry.dataSize)
      ErrorReportF("Data file read error (%s, %s).", entry.name.Data(), _bankName.Data());
    unpacked = new FileBufferMemory(entry.unpackedSize);
    if (unpacked->Size() == entry.unpackedSize)
    {
      QIStrStream in(packed->Data(), static_cast<int>(got));
      if (entry.method == QFBankPacked)
        decoded = SSCompress().decode(unpacked->DataLock(), static_cast<long>(entry.unpackedSize), in);
      else if (Ref<IBankDecoder> decoder = FindBankEncryption(GetProperty("encryption"), 0))
        decoded = decoder->Decode(unpacked->DataLock(), entry.unpackedSize, in);
    }
  }
  if (!decoded)
  {
    WarningF("Error decoding %s from %s", entry.name.Data(), _prefix.Data());
    return nullptr;
  }
  return Window(unpacked.GetRef(), start, length);
}

std::unique_ptr<QIStream> QFBank::OpenMemberStream(const char *name)
{
  if (!Load())
    return nullptr;
  const QFBankEntry &entry = Find(name);
  if (!entry.name.IsEmpty() &&
      (entry.plainFileOverride || (entry.method != QFBankStored && entry.method != QFBankPacked)))
  {
    Ref<IFileBuffer> whole = ReadMember(name);
    return std::make_unique<MemberBytesStream>(whole ? whole.GetRef() : new FileBufferError(), !whole);
  }
  if (_log)
    _log->FileUsed(name);
  if (entry.name.IsEmpty())
    return nullptr;

  QFileSize available = _data->Size() - std::min(_data->Size(), entry.dataPosition);
  bool cutShort = available < entry.dataSize;
  if (cutShort)
    ErrorReportF("Data file read error (%s, %s).", entry.name.Data(), _bankName.Data());
  // The window stops at the bank's end: nothing past the bank's data is read.
  auto bytes = std::make_unique<MemberBytesStream>(
      new FileBufferSub(_data.GetRef(), entry.dataPosition, entry.dataSize), cutShort);
  if (entry.method == QFBankStored)
    return bytes;
  return std::make_unique<QILzssStream>(bytes.release(), entry.unpackedSize);
}

void QFBank::ForEachEntry(EntryCallback callback, void *context)
{
  if (!Load())
    return;
  for (const AutoArray<QFBankEntry> &bucket : _table)
    for (const QFBankEntry &entry : bucket)
      callback(entry, *this, context);
}

// --- lifecycle --------------------------------------------------------------

int QFBank::OpenFileCount() const { return _data ? _data->RefCounter() - 1 : 0; }

void QFBank::Unload()
{
  if (_failed || !_loaded)
    return;
  int open = OpenFileCount();
  if (open > 0)
  {
    LogF("Cannot unload bank %s, %d files are still open", _bankName.Data(), open);
    return;
  }
  LogF("Unload bank %s", _bankName.Data());
  _data.Free();
  _loaded = false;
  Close();
}

void QFBank::Close()
{
  ClearTable();
  _data.Free();
}

void QFBank::MakePermanent()
{
  if (!_data)
  {
    LogF("Permanent ignored for %s, not loaded", _bankName.Data());
    return;
  }
  GFileServerFunctions->MakeReadHandlePermanent(_data->OsHandle());
}

// --- plain-file overrides ---------------------------------------------------

namespace
{
struct OverrideScan
{
  QFBank *bank;
  RString relative;
  AutoArray<RString> folders;
  AutoArray<RString> files;
};

bool CollectEntry(const char *name, bool isFolder, void *context)
{
  auto *scan = static_cast<OverrideScan *>(context);
  RString lowered = LookupName(name);
  if (isFolder)
    scan->folders.Add(lowered);
  else
    scan->files.Add(lowered);
  return true;
}

// Deep enough for any real tree, shallow enough for the stack.
constexpr int MaxOverrideDepth = 32;
} // namespace

void QFBank::ScanPlainFileOverrides(const RString &relative, int depth)
{
  if (depth > MaxOverrideDepth)
    return;
  RString folder;
  folder.Format("%s%s", _prefix.Data(), relative.Data());
  OverrideScan scan{this, relative, {}, {}};
  if (!ScanFolder(folder, CollectEntry, &scan))
    return;
  for (const RString &name : scan.files)
  {
    RString path;
    path.Format("%s%s", relative.Data(), name.Data());
    // The table is being loaded: look it up directly, not through Find.
    const QFBankEntry *entry = Lookup(path);
    if (!entry)
      continue;
    LogF("Plain file version of %s used", path.Data());
    QFBankEntry overridden = *entry;
    overridden.plainFileOverride = true;
    Insert(std::move(overridden));
    _hasOverrides = true;
  }
  for (const RString &name : scan.folders)
  {
    RString next;
    next.Format("%s%s\\", relative.Data(), name.Data());
    ScanPlainFileOverrides(next, depth + 1);
  }
}

// --- streams on members -----------------------------------------------------

bool QIFStreamB::openInBank(QFBank &bank, const char *name, QFileSize start, QFileSize length)
{
  ResetSegment(0);
  Ref<IFileBuffer> member = bank.ReadMember(name, start, length);
  if (!member)
  {
    _source = new FileBufferError();
    _bank = nullptr;
    _fail = true;
    return false;
  }
  _source = member;
  _bank = &bank;
  _fail = false;
  _eof = false;
  return true;
}
