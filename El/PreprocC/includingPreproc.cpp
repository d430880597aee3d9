#include "El/PreprocC/preprocC.hpp"

#include "El/QStream/fileServer.hpp"
#include "El/QStream/qbStream.hpp"

#include <cstdint>
#include <cstring>
#include <string>

namespace
{
const char *const Source = "El/PreprocC/preprocC";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Include names compared for cycles: "/" and "\" are the same separator.
bool SameName(const char *a, const char *b)
{
  for (;; ++a, ++b)
  {
    char x = IsSeparator(*a) ? '\\' : *a;
    char y = IsSeparator(*b) ? '\\' : *b;
    if (x != y)
      return false;
    if (x == '\0')
      return true;
  }
}

void AppendUtf8(std::string &out, std::uint32_t code)
{
  if (code < 0x80)
    out += static_cast<char>(code);
  else if (code < 0x800)
  {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  else if (code < 0x10000)
  {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  else
  {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The rest of a UTF-16 little-endian stream as UTF-8. Surrogates that do not
// pair up become U+FFFD; an odd last byte is dropped.
std::string Utf16LeToUtf8(QIStream &in)
{
  std::string units;
  char block[4096];
  for (;;)
  {
    int n = in.read(block, sizeof block);
    if (n <= 0)
      break;
    units.append(block, static_cast<std::size_t>(n));
  }
  std::string out;
  out.reserve(units.size() + units.size() / 2);
  std::size_t count = units.size() / 2;
  auto unit = [&](std::size_t i)
  {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(units[2 * i]) |
                                      (static_cast<unsigned char>(units[2 * i + 1]) << 8));
  };
  for (std::size_t i = 0; i < count; ++i)
  {
    std::uint32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF)
    {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    }
    else if (code >= 0xD800 && code <= 0xDFFF)
      code = 0xFFFD;
    AppendUtf8(out, code);
  }
  return out;
}

// "#line <line> "<name>"", built whole: names may be longer than Format holds.
RString Marker(int line, const RString &name)
{
  std::string text = "#line " + std::to_string(line) + " \"";
  text += name.Data();
  text += '"';
  return RString(text.c_str());
}

// A stream over text it owns.
QIStream *MemoryStream(const std::string &text)
{
  auto *buffer = new FileBufferMemory(static_cast<QFileSize>(text.size()));
  if (!text.empty() && buffer->DataLock())
    std::memcpy(buffer->DataLock(), text.data(), text.size());
  auto *stream = new QIStreamDataSource;
  stream->attach(buffer);
  return stream;
}
} // namespace

RString IncludingPreproc::ResolveName(const char *name) const
{
  // The first file is taken as the caller gives it (on POSIX that may be an
  // absolute path); the rules below are for include directives.
  if (_stack.Empty())
    return name;
  if (name[0] == '\\' && name[1] == '\\')
    return name;
  if (IsSeparator(name[0]))
    return name + 1;
  const RString &including = _stack[_stack.Size() - 1].name;
  int folder = including.GetLength();
  while (folder > 0 && !IsSeparator(including.Data()[folder - 1]))
    --folder;
  std::string resolved(including.Data(), static_cast<std::size_t>(folder));
  resolved += name;
  return RString(resolved.c_str());
}

QIStream *IncludingPreproc::OpenInclude(const char *name)
{
  RString filename = name;
  if (filename.GetLength() <= 0)
  {
    ReportAssertionFailure(Source, __LINE__, "filename.GetLength() > 0");
    return nullptr;
  }
  RString resolved = ResolveName(filename);
  // A file already open further up would include itself without end.
  for (const IncludeLevel &level : _stack)
    if (SameName(level.name, resolved))
      return nullptr;
  if (resolved.IsEmpty() || !Exists(resolved))
  {
    ErrorMessageF("Include file %s not found.", resolved.Data());
    return nullptr;
  }
  QIStream *stream = OpenRaw(resolved);
  if (!stream)
  {
    ErrorMessageF("Include file %s not found.", resolved.Data());
    return nullptr;
  }

  // Byte-order marks.
  int first = stream->get();
  int second = stream->get();
  if (first == 0xFF && second == 0xFE)
  {
    std::string text = Utf16LeToUtf8(*stream);
    delete stream;
    stream = MemoryStream(text);
  }
  else if (first == 0xFE && second == 0xFF)
  {
    ErrorMessageF("Big-endian unicode not supported");
    delete stream;
    return nullptr;
  }
  else if (!(first == 0xEF && second == 0xBB && stream->get() == 0xBF))
    stream->seekg(0);

  IncludeLevel level;
  level.name = resolved;
  _stack.Add(level);
  if (_lineMarkers)
    WriteMarkerLine(Marker(1, resolved));
  return stream;
}

void IncludingPreproc::CloseInclude(QIStream *stream)
{
  delete stream;
  if (_stack.Empty())
    return;
  _stack.Delete(_stack.Size() - 1);
  if (_lineMarkers && !_stack.Empty() && !Failed())
  {
    const IncludeLevel &level = _stack[_stack.Size() - 1];
    WriteMarkerLine(Marker(level.line, level.name));
  }
}

void IncludingPreproc::NewLine()
{
  if (!_stack.Empty())
    ++_stack[_stack.Size() - 1].line;
}

RString IncludingPreproc::CurrentSource(int &line) const
{
  if (_stack.Empty())
  {
    line = 0;
    return RString();
  }
  const IncludeLevel &level = _stack[_stack.Size() - 1];
  line = level.line;
  return level.name;
}

bool FilePreprocessor::Exists(const char *resolved) { return QFileExists(resolved); }

QIStream *FilePreprocessor::OpenRaw(const char *resolved)
{
  auto *stream = new QIFStream;
  stream->open(resolved);
  if (stream->fail())
  {
    delete stream;
    return nullptr;
  }
  return stream;
}

// Members are named with "\" separators; an include may have written "/".
bool BankPreprocessor::Exists(const char *resolved) { return _bank.Contains(QFBankNormalizeName(resolved)); }

QIStream *BankPreprocessor::OpenRaw(const char *resolved)
{
  auto *stream = new QIFStreamB;
  if (!stream->openInBank(_bank, QFBankNormalizeName(resolved)))
  {
    delete stream;
    return nullptr;
  }
  return stream;
}
