#include "El/QStream/qbRegistry.hpp"

#include "El/QStream/fileServer.hpp"
#include "Es/Framework/appFrame.hpp"

#include <algorithm>
#include <cstring>

bool GEnableBanks = false;
bool GLogFilesUsed = false;

namespace
{
const char *const Source = "El/QStream/qbStream";

AutoArray<QFBank *> &Banks()
{
  static AutoArray<QFBank *> banks;
  return banks;
}

int IndexOfBank(const QFBank *bank)
{
  for (int i = 0; i < Banks().Size(); ++i)
    if (Banks()[i] == bank)
      return i;
  return -1;
}

void DestroyBank(int index)
{
  delete Banks()[index];
  Banks().Delete(index);
}

// The registered bank whose prefix equals prefix exactly (case counts).
QFBank *BankWithPrefix(const char *prefix)
{
  for (QFBank *bank : Banks())
    if (std::strcmp(bank->GetPrefix(), prefix ? prefix : "") == 0)
      return bank;
  return nullptr;
}

RString MountPrefix(const char *prefixBase, const char *bankName, bool nameOnly)
{
  RString prefix;
  prefix.Format("%s%s\\", nameOnly ? "" : (prefixBase ? prefixBase : ""), bankName ? bankName : "");
  return prefix;
}

// The part of a path inside its bank.
const char *RestOfPath(const QFBank &bank, const char *path) { return path + bank.GetPrefix().GetLength(); }

// The bank's entry for a path, or null when the bank does not have it or
// a plain file stands in for it.
const QFBankEntry *BankEntry(QFBank &bank, const char *path)
{
  const QFBankEntry &entry = bank.Find(RestOfPath(bank, path));
  return entry.name.IsEmpty() || entry.plainFileOverride ? nullptr : &entry;
}
} // namespace

QFBank *FindBankForPath(const char *path)
{
  if (!GEnableBanks || !path || !*path || path[1] == ':')
    return nullptr;
  QFBank *best = nullptr;
  int bestLength = 0;
  int pathLength = static_cast<int>(std::strlen(path));
  for (QFBank *bank : Banks())
  {
    int length = bank->GetPrefix().GetLength();
    if (length == 0 || length <= bestLength || length > pathLength)
      continue;
    if (CompareNoCase(RString(path, length), bank->GetPrefix()) == 0)
    {
      best = bank;
      bestLength = length;
    }
  }
  return best;
}

QFileSize QFBankFileSize(const char *path)
{
  if (QFBank *bank = FindBankForPath(path))
    if (const QFBankEntry *entry = BankEntry(*bank, path))
      return entry->method != QFBankStored ? entry->unpackedSize : entry->dataSize;
  return QFileSizeOf(path);
}

std::int64_t QFBankFileTime(const char *path, IBankAccessCheck *check)
{
  if (QFBank *bank = FindBankForPath(path))
  {
    if (check && !check->Accept(*bank))
    {
      if (!bank->Contains(RestOfPath(*bank, path)))
        LogF("FileExist %s: access denied", path);
      return 0;
    }
    if (const QFBankEntry *entry = BankEntry(*bank, path))
      return entry->timestamp;
  }
  return QFileTimeOf(path);
}

bool QFBankFileExist(const char *path, IBankAccessCheck *check)
{
  if (QFBank *bank = FindBankForPath(path))
  {
    if (check && !check->Accept(*bank))
    {
      if (!bank->Contains(RestOfPath(*bank, path)))
        LogF("FileExist %s: access denied", path);
      return false;
    }
    if (BankEntry(*bank, path))
      return true;
  }
  return QFileExists(path);
}

int QFBankCompare(const char *a, const char *b)
{
  QFBank *bankA = FindBankForPath(a);
  QFBank *bankB = FindBankForPath(b);
  int indexA = IndexOfBank(bankA), indexB = IndexOfBank(bankB);
  if (indexA != indexB)
    return indexA < indexB ? -1 : 1;
  if (!bankA)
    return 0;
  QFileSize positionA = bankA->DataPosition(RestOfPath(*bankA, a));
  QFileSize positionB = bankB->DataPosition(RestOfPath(*bankB, b));
  return positionA < positionB ? -1 : positionA > positionB ? 1 : 0;
}

void QFBankOpenStream(QIFStreamB &stream, const char *path, QFileSize start, QFileSize length)
{
  QFBank *bank = FindBankForPath(path);
  if (bank && stream.openInBank(*bank, RestOfPath(*bank, path), start, length))
    return;
  if (GEnableBanks)
    LogF("File %s not in bank", path);
  stream.open(path, start, length);
}

bool QFBankAutoOpen(QIFStreamB &stream, IBankAccessCheck *check)
{
  QFBank *bank = stream.GetBank();
  if (!check || !bank || check->Accept(*bank))
    return true;
  WarningF("AutoOpen %s: access denied", bank->GetPrefix().Data());
  return false;
}

RString AddBank(const char *folder, const char *prefixBase, const char *bankName, bool nameOnly,
                QFBankLoadCheck loadCheck, QFBankLoadCheck acceptanceCheck, RefCount *context)
{
  auto *bank = new QFBank();
  Banks().Add(bank);
  RString path;
  path.Format("%s%s", folder ? folder : "", bankName ? bankName : "");
  bool accepted = bank->OpenNamed(path, loadCheck, context);
  if (accepted && bank->GetPrefix().IsEmpty())
  {
    bank->SetPrefix(MountPrefix(prefixBase, bankName, nameOnly));
    if (GLogFilesUsed)
    {
      Ref<IBankLog> log = new QFBankLog();
      log->Open(bank->GetPrefix());
      bank->SetLog(log.GetRef());
    }
  }
  if (accepted && acceptanceCheck)
    accepted = acceptanceCheck(*bank, context);
  if (!accepted)
  {
    DestroyBank(IndexOfBank(bank));
    return RString();
  }
  return bank->GetPrefix();
}

void RemoveBank(const char *prefixBase, const char *bankName, bool nameOnly)
{
  RString prefix = MountPrefix(prefixBase, bankName, nameOnly);
  if (QFBank *bank = BankWithPrefix(prefix))
    DestroyBank(IndexOfBank(bank));
}

int RegisteredBankCount() { return Banks().Size(); }

QFBank *RegisteredBank(int index) { return index >= 0 && index < Banks().Size() ? Banks()[index] : nullptr; }

void ClearBanks()
{
  while (!Banks().Empty())
    DestroyBank(Banks().Size() - 1);
}

void LockBank(const char *prefix)
{
  QFBank *bank = BankWithPrefix(prefix);
  if (!bank)
  {
    LogF("Lock: Bank %s not found", prefix);
    return;
  }
  bank->SetLocked(true);
  bank->Load();
}

void UnlockBank(const char *prefix)
{
  QFBank *bank = BankWithPrefix(prefix);
  if (!bank)
  {
    LogF("Unlock: Bank %s not found", prefix);
    return;
  }
  bank->SetLocked(false);
  if (bank->IsLoaded() && bank->OpenFileCount() == 0)
    bank->Unload();
}

void MakeBankLockable(const char *prefix, bool lockable)
{
  QFBank *bank = BankWithPrefix(prefix);
  if (!bank)
  {
    LogF("MakeLockable: Bank %s not found", prefix);
    return;
  }
  bank->SetLockable(lockable);
}

bool UnloadOneBank()
{
  // Unlocked banks go first; a locked one only when nothing else can.
  for (bool lockedToo : {false, true})
    for (QFBank *bank : Banks())
    {
      if ((bank->Locked() && !lockedToo) || !bank->IsLoaded() || bank->OpenFileCount() > 0)
        continue;
      LogF(lockedToo ? "Unloading locked bank %s" : "Unloading bank %s", bank->BankName().Data());
      bank->Unload();
      return true;
    }
  return false;
}

bool QFBankFunctions::ReleaseBankFile(const char *) { return true; }

bool QFBankFunctions::Query(int, int) { return false; }

bool QFBankFunctionsQFBank::ReleaseBankFile(const char *fileName)
{
  for (QFBank *bank : Banks())
  {
    if (CompareNoCase(bank->BankName(), fileName) != 0)
      continue;
    if (!bank->IsLoaded() || bank->OpenFileCount() > 0)
      return false;
    bank->Unload();
    return true;
  }
  return true;
}

// --- the files-used log -------------------------------------------------------

QFBankLog::~QFBankLog() { CloseFile(); }

void QFBankLog::CloseFile()
{
  if (_file)
    std::fclose(_file);
  _file = nullptr;
}

void QFBankLog::Open(const char *prefix)
{
  CloseFile();
  _logged.Clear();
  RString name;
  name.Format("FilesUsed\\%s", prefix ? prefix : "");
  int length = name.GetLength();
  if (length > 0 && name.Data()[length - 1] == '\\')
    name = name.Substring(0, length - 1);
  RString path;
  path.Format("%s.log", name.Data());
  const char *lastSeparator = std::strrchr(path.Data(), '\\');
  if (lastSeparator)
    CreateFolders(RString(path.Data(), static_cast<int>(lastSeparator - path.Data())));

  std::string native = NativeFileName(path);
  if (std::FILE *existing = std::fopen(native.c_str(), "r"))
  {
    char line[1024];
    while (std::fgets(line, sizeof line, existing))
    {
      line[std::strcspn(line, "\r\n")] = '\0';
      _logged.Add(RString(line));
    }
    std::fclose(existing);
  }
  _file = std::fopen(native.c_str(), "a+");
}

void QFBankLog::FileUsed(const char *name)
{
  if (!_file || !name)
    return;
  for (const RString &logged : _logged)
    if (std::strcmp(logged, name) == 0)
      return;
  _logged.Add(RString(name));
  std::fprintf(_file, "%s\n", name);
  std::fflush(_file);
}

void QFBankLog::Flush()
{
  if (_file)
    std::fflush(_file);
}

// --- region references ---------------------------------------------------------

void QFBankPointer::OpenPart(QIFStream &stream, QFileSize start, QFileSize length)
{
  start = std::min(start, _length);
  stream.open(_fileName, _start + start, std::min(_length - start, length));
}

void QFBankPointer::Open(QIFStream &stream) { OpenPart(stream, 0, _length); }

Ref<QFBankPointer> QFBankPointer::SubReference(QFileSize start, QFileSize length) const
{
  QFileSize inside = std::min(start, _length);
  return new QFBankPointer(_fileName, _start + inside, std::min(_length - inside, length));
}

void QFBankPointerToAny::OpenPart(QIFStream &stream, QFileSize start, QFileSize length)
{
  ReportAssertionFailure(Source, __LINE__, "Not tested");
  QFBankPointer::OpenPart(stream, start, length);
}

// --- listing bank files ----------------------------------------------------------

namespace
{
struct BankFileFilter
{
  FolderEntryCallback callback;
  void *context;
};

bool ForwardBankFile(const char *name, bool isFolder, void *context)
{
  auto *filter = static_cast<BankFileFilter *>(context);
  std::size_t length = std::strlen(name);
  if (isFolder || length < 4 || CompareNoCase(name + length - 4, ".vbk") != 0)
    return true;
  return filter->callback(name, false, filter->context);
}
} // namespace

bool ListBankFiles(const char *folder, FolderEntryCallback callback, void *context)
{
  RString cut = RString(folder ? folder : "").Substring(0, QFBankMaxNameLength);
  BankFileFilter filter{callback, context};
  return ScanFolder(cut, ForwardBankFile, &filter);
}
