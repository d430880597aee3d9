// Runs arbitrary bytes through the text preprocessor, as the stringtable runs
// setup.csv. The first byte chooses the options (bit 0: #line markers, bit 1:
// no output); the rest is split at the byte 0x1E into the main file "0" and
// files "1", "2", ... that it may include, served from memory.
#include "El/PreprocC/preprocC.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "tests/support/quietFrame.hpp"

#include <cstddef>
#include <cstdint>

namespace
{
constexpr char Separator = '\x1E';
constexpr int MaxFiles = 8;
// Files opened per input: a few files that include each other many times
// would otherwise multiply out.
constexpr int MaxOpens = 64;

struct MemoryFile
{
  const char *data = nullptr;
  int size = 0;
};

class MemoryPreprocessor : public IncludingPreproc
{
public:
  MemoryPreprocessor(const MemoryFile *files, int count, bool lineMarkers)
      : IncludingPreproc(lineMarkers), _files(files), _count(count)
  {
  }

protected:
  bool Exists(const char *resolved) override { return Find(resolved) != nullptr && _opens < MaxOpens; }
  QIStream *OpenRaw(const char *resolved) override
  {
    const MemoryFile *file = Find(resolved);
    if (!file)
      return nullptr;
    ++_opens;
    return new QIStrStream(file->data, file->size);
  }

private:
  // The files are named "0", "1", ... (as the include stack resolves them).
  const MemoryFile *Find(const char *name) const
  {
    if (name[0] < '0' || name[0] >= '0' + _count || name[1] != '\0')
      return nullptr;
    return &_files[name[0] - '0'];
  }

  const MemoryFile *_files;
  int _count;
  int _opens = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame quiet;
  if (size == 0 || size > (1u << 20))
    return 0;
  unsigned flags = data[0];
  const char *text = reinterpret_cast<const char *>(data) + 1;
  std::size_t length = size - 1;

  // Once the last file is reached, separators are its text.
  MemoryFile files[MaxFiles];
  int count = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= length; ++i)
  {
    bool end = i == length;
    if (!end && (text[i] != Separator || count == MaxFiles - 1))
      continue;
    files[count].data = text + start;
    files[count].size = static_cast<int>(i - start);
    ++count;
    start = i + 1;
    if (end)
      break;
  }

  MemoryPreprocessor preprocessor(files, count, (flags & 1) != 0);
  QOStrStream out;
  bool ok = preprocessor.Process((flags & 2) ? nullptr : &out, "0");
  // A success leaves no error behind; a failure names a known error.
  if (ok && preprocessor.GetErrorNumber() != Preproc::ErrorNone)
    __builtin_trap();
  if (preprocessor.GetErrorNumber() < 0 || preprocessor.GetErrorNumber() > Preproc::ErrorExpansionRunaway)
    __builtin_trap();
  return 0;
}
