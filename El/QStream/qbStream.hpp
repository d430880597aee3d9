#pragma once

#include "El/QStream/fileBuffer.hpp"
#include "El/QStream/qStream.hpp"
#include "Es/Containers/array.hpp"
#include "Es/Strings/rString.hpp"

#include <cstdint>
#include <memory>

// A data bank: a header that lists every member by name, then the members'
// bytes one after another.
//
// Header (little-endian): an optional version record (an entry record with an
// empty name and the method "sreV") followed by (key, value) string pairs
// ended by an empty key; then entry records {name (zero-terminated, at most
// 1023 characters), method, unpacked size, reserved, timestamp, data size},
// ended by a record with an empty name. Members' data follow the terminating
// record in the order of their records, without gaps.

// Member methods (the four bytes as they lie in the file, read little-endian).
enum QFBankMethod : std::uint32_t
{
  QFBankStored = 0,
  QFBankPacked = 0x43707273,     // "srpC": LZSS
  QFBankEnciphered = 0x456e6372, // "rcnE"
  QFBankVersion = 0x56657273     // "sreV": the version record only
};

// Longest member name a record holds (the terminating zero not counted).
inline constexpr int QFBankMaxNameLength = 1023;

struct QFBankEntry
{
  // Lower-cased, "\" separators. Kept as a plain shared string rather than
  // interned in the process-wide bank: a copy worker reads its own bank while
  // the main thread may bank strings, and that bank takes no lock.
  RString name;
  std::uint32_t method = QFBankStored;
  QFileSize unpackedSize = 0;
  // Absolute position of the data within the bank's buffer.
  QFileSize dataPosition = 0;
  QFileSize timestamp = 0;
  QFileSize dataSize = 0;
  // Read from the plain file of the same name on disk instead.
  bool plainFileOverride = false;
};

struct QFBankProperty
{
  RString key;
  RString value;
};

class QFBank;

// Deciphers an enciphered bank header or member.
class IBankDecoder : public RefCount
{
public:
  virtual bool Decode(char *destination, QFileSize destinationSize, QIStream &source) = 0;
};
using BankDecoderFactory = IBankDecoder *(*)(int argument);

// The process-wide registry of decoders for enciphered banks, by name (case
// ignored). Registering a name twice is reported and ignored.
void RegisterBankEncryption(const char *name, BankDecoderFactory factory);
// A new decoder, or null with "Unknown encryption %s" reported.
Ref<IBankDecoder> FindBankEncryption(const char *name, int argument);

// Called after a bank's table is read; false refuses the bank.
using QFBankLoadCheck = bool (*)(QFBank &bank, RefCount *context);

// A log of the member names a bank hands out (one name per line).
class IBankLog : public RefCount
{
public:
  virtual void Open(const char *prefix) = 0;
  virtual void FileUsed(const char *name) = 0;
  virtual void Flush() = 0;
};

class QFBank
{
public:
  QFBank();
  QFBank(const QFBank &) = delete;
  QFBank &operator=(const QFBank &) = delete;
  ~QFBank();

  // Opens the region (start, size) of a file as the bank; size 0 means the
  // whole file. Then reads the version record and properties.
  bool OpenRegion(const char *fileName, QFBankLoadCheck check, RefCount *context, QFileSize start, QFileSize size);
  // Opens a bank held in a buffer (for example memory).
  bool OpenMemory(IFileBuffer *buffer, QFBankLoadCheck check, RefCount *context);
  // Opens name + ".vbk" as a whole-file bank.
  bool OpenNamed(const char *name, QFBankLoadCheck check, RefCount *context);

  // Reads the member table; needed before any member access (the member
  // operations call it themselves).
  bool Load();
  // The member of that name (lower-cased before the lookup; "\" separators),
  // or an empty entry (empty name) when there is none.
  const QFBankEntry &Find(const char *name);
  bool Contains(const char *name);
  // A path that starts with the bank's prefix (case ignored): is the rest a
  // member? A path without the prefix answers false.
  bool ContainsWithPrefix(const char *path);
  QFileSize DataPosition(const char *name);
  // A buffer over (start, length) of the member's unpacked bytes, or null when
  // the member is missing or cannot be decoded.
  Ref<IFileBuffer> ReadMember(const char *name, QFileSize start = 0, QFileSize length = QFileSizeWhole);
  // A stream over the member's unpacked bytes that needs no memory in
  // proportion to its size, or null when the bank does not hold the member. A
  // stored member is read where it lies in the bank's data; a packed one is
  // unpacked as it is read (sequentially: see QILzssStream). Plain-file
  // overrides and enciphered members are read whole, as ReadMember reads
  // them. DataError() is true when the bank's data ends before the member's
  // record says it does (the stream then delivers what there is), when the
  // packed data proves damaged, or when the member cannot be decoded at all
  // (an empty stream); a read that runs into such an end sets the fail flag.
  // Like member buffers, the stream holds the bank's data until it is gone.
  std::unique_ptr<QIStream> OpenMemberStream(const char *name);

  using EntryCallback = void (*)(const QFBankEntry &entry, QFBank &bank, void *context);
  // Every member: bucket by bucket, in insertion order within a bucket.
  void ForEachEntry(EntryCallback callback, void *context);

  // Drops the table and the data unless member buffers are still open.
  void Unload();
  // Empties the table and releases the data (a closed bank is only destroyed).
  void Close();

  const RString &BankName() const { return _bankName; }
  const RString &GetPrefix() const { return _prefix; }
  void SetPrefix(const RString &prefix) { _prefix = prefix; }
  const AutoArray<QFBankProperty> &Properties() const { return _properties; }
  // The value of a property (case-blind key), empty when absent.
  RString GetProperty(const char *key) const;
  bool IsLoaded() const { return _loaded; }
  bool Failed() const { return _failed; }
  bool Locked() const { return _locked; }
  void SetLocked(bool locked) { _locked = locked; }
  bool Lockable() const { return _lockable; }
  void SetLockable(bool lockable) { _lockable = lockable; }
  bool HasPlainFileOverrides() const { return _hasOverrides; }
  int EntryCount() const { return _entryCount; }
  int BucketCount() const { return _bucketCount; }
  // The buffer holding the whole bank (null before an open).
  IFileBuffer *Data() const { return _data.GetRef(); }
  // Member buffers open on the bank's data (holders other than the bank).
  int OpenFileCount() const;
  void SetLog(IBankLog *log) { _log = log; }
  // Asks the file server to keep the bank's file handle open for good.
  void MakePermanent();

private:
  bool OpenData();
  bool ReadHeader();
  void ClearTable();
  void GrowTable(int needed);
  void Insert(QFBankEntry &&entry);
  // Reads entry records from in until the terminating one; answers how many
  // were read. With insert false they are only counted.
  int ReadEntries(QIStream &in, bool insert, QFileSize &dataTotal);
  bool RunLoadCheck();
  // The entry of a name in the table as it is, without loading it first.
  const QFBankEntry *Lookup(const char *name) const;
  void ScanPlainFileOverrides(const RString &relative, int depth);

  Ref<IBankLog> _log;
  RString _bankName;
  QFBankLoadCheck _check = nullptr;
  Ref<RefCount> _context;
  bool _locked = true;
  bool _lockable = false;
  bool _hasOverrides = false;
  RString _prefix;
  int _bucketCount = 15;
  int _entryCount = 0;
  AutoArray<AutoArray<QFBankEntry>> _table;
  AutoArray<QFBankProperty> _properties;
  Ref<IFileBuffer> _data;
  bool _loaded = false;
  bool _failed = true;
};

// Lower-cases ASCII letters and turns "/" into "\", cut to the longest name.
RString QFBankNormalizeName(const char *name);
