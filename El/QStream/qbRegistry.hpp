#pragma once

#include "El/QStream/folderScan.hpp"
#include "El/QStream/qbStream.hpp"

#include <cstdint>
#include <cstdio>

// The process-wide bank registry: banks mounted under path prefixes, so that
// a path such as "data\textures\x.paa" is read from the bank with the prefix
// "data\" when one is mounted. Two switches govern it, both off unless a host
// program turns them on; while banks are off every function here goes
// straight to the file server. No lock: one thread at a time.
extern bool GEnableBanks;
extern bool GLogFilesUsed;

// Decides whether a caller may read from a bank.
class IBankAccessCheck
{
public:
  virtual bool Accept(QFBank &bank) = 0;

protected:
  ~IBankAccessCheck() = default;
};

// The registered bank whose prefix is the longest leading part of the path
// (ASCII case ignored; an earlier bank wins a tie; an empty prefix never
// does); none for an empty path, a drive path ("x:...") or with banks off.
QFBank *FindBankForPath(const char *path);

QFileSize QFBankFileSize(const char *path);
std::int64_t QFBankFileTime(const char *path, IBankAccessCheck *check = nullptr);
bool QFBankFileExist(const char *path, IBankAccessCheck *check = nullptr);
// Orders paths by bank (registry order, paths outside banks first), then by
// data position: a sort key for reading members in their physical order.
int QFBankCompare(const char *a, const char *b);
// Opens a path through its bank, or as a plain file.
void QFBankOpenStream(QIFStreamB &stream, const char *path, QFileSize start = 0, QFileSize length = QFileSizeWhole);
bool QFBankAutoOpen(QIFStreamB &stream, IBankAccessCheck *check);

// Mounts folder + bankName (".vbk" added) and answers its prefix, or the
// empty string when it cannot be opened or the acceptance check refuses it.
RString AddBank(const char *folder, const char *prefixBase, const char *bankName, bool nameOnly,
                QFBankLoadCheck loadCheck, QFBankLoadCheck acceptanceCheck, RefCount *context);
void RemoveBank(const char *prefixBase, const char *bankName, bool nameOnly);
int RegisteredBankCount();
QFBank *RegisteredBank(int index);
// Destroys every registered bank.
void ClearBanks();

void LockBank(const char *prefix);
void UnlockBank(const char *prefix);
void MakeBankLockable(const char *prefix, bool lockable);
// Unloads the first bank that can go (unlocked first); answers whether one did.
bool UnloadOneBank();

// Hooks the file layer calls before it replaces a file a bank may hold.
class QFBankFunctions
{
public:
  virtual ~QFBankFunctions() = default;
  // Lets go of the bank built on the file; false when it cannot.
  virtual bool ReleaseBankFile(const char *fileName);
  virtual bool Query(int a, int b);
};

class QFBankFunctionsQFBank : public QFBankFunctions
{
public:
  bool ReleaseBankFile(const char *fileName) override;
};

// The log of member names read, one file per bank prefix under "FilesUsed".
class QFBankLog : public IBankLog
{
public:
  ~QFBankLog() override;
  void Open(const char *prefix) override;
  void FileUsed(const char *name) override;
  void Flush() override;

private:
  void CloseFile();

  std::FILE *_file = nullptr;
  AutoArray<RString> _logged;
};

// A reference to a region (file name, start, length) of a file.
class QFBankPointer : public RefCount
{
public:
  QFBankPointer(const char *fileName, QFileSize start, QFileSize length)
      : _fileName(fileName), _start(start), _length(length)
  {
  }
  virtual void OpenPart(QIFStream &stream, QFileSize start, QFileSize length);
  virtual void Open(QIFStream &stream);
  virtual RString Name() const { return _fileName; }
  // A reference to (start, length) inside this one.
  virtual Ref<QFBankPointer> SubReference(QFileSize start, QFileSize length) const;

  QFileSize Start() const { return _start; }
  QFileSize Length() const { return _length; }

protected:
  RString _fileName;
  QFileSize _start;
  QFileSize _length;
};

class QFBankPointerToAny : public QFBankPointer
{
public:
  using QFBankPointer::QFBankPointer;
  // No caller opens a part of it; doing so is reported.
  void OpenPart(QIFStream &stream, QFileSize start, QFileSize length) override;
};

// Starts listing the "*.vbk" files of a folder; the callback gets each name.
bool ListBankFiles(const char *folder, FolderEntryCallback callback, void *context);
