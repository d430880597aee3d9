#include "Es/Strings/rString.hpp"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
// Text bytes are allocated with 12 bytes to spare: the two header words, the
// terminator and slack.
constexpr std::size_t BlockOverhead = 12;
constexpr int FormatBufferSize = 1024;
} // namespace

RString::TextBlock *RString::Allocate(int length)
{
  if (length <= 0 || length > INT_MAX - static_cast<int>(BlockOverhead))
    return nullptr;
  static_assert(sizeof(TextBlock) <= BlockOverhead);
  auto *block = static_cast<TextBlock *>(std::malloc(static_cast<std::size_t>(length) + BlockOverhead));
  if (!block)
    return nullptr;
  block->refCount = 1;
  block->capacity = length + 1;
  block->text[length] = '\0';
  return block;
}

RString::RString(const char *text) : RString(text, text ? static_cast<int>(std::strlen(text)) : 0) {}

RString::RString(const char *text, int length)
{
  if (!text || length <= 0)
    return;
  _block = Allocate(length);
  if (_block)
    std::memcpy(_block->text, text, static_cast<std::size_t>(length));
}

RString &RString::operator=(const RString &other)
{
  // The new block is counted first, so assigning a string to itself (or to a
  // copy sharing its block) never frees it in between.
  TextBlock *old = _block;
  _block = other._block;
  AddRef();
  if (old && --old->refCount == 0)
    std::free(old);
  return *this;
}

RString &RString::operator=(RString &&other) noexcept
{
  if (this != &other)
  {
    Release();
    _block = other._block;
    other._block = nullptr;
  }
  return *this;
}

void RString::Release()
{
  if (_block && --_block->refCount == 0)
    std::free(_block);
  _block = nullptr;
}

int RString::GetLength() const { return _block ? static_cast<int>(std::strlen(_block->text)) : 0; }

char *RString::MakeMutable()
{
  if (!_block)
    return nullptr;
  if (_block->refCount > 1)
  {
    int length = GetLength();
    TextBlock *copy = Allocate(length);
    if (!copy)
    {
      Release();
      return nullptr;
    }
    std::memcpy(copy->text, _block->text, static_cast<std::size_t>(length));
    --_block->refCount;
    _block = copy;
  }
  return _block->text;
}

char *RString::CreateBuffer(int length)
{
  Release();
  _block = Allocate(length);
  return _block ? _block->text : nullptr;
}

RString RString::Substring(int start, int count) const
{
  int length = GetLength();
  if (start < 0 || start >= length)
    return RString();
  int available = length - start;
  if (count <= 0 || count > available)
    count = available;
  return RString(Data() + start, count);
}

void RString::FormatV(const char *format, va_list argptr)
{
  char buffer[FormatBufferSize];
  if (std::vsnprintf(buffer, sizeof buffer, format, argptr) < 0)
    buffer[0] = '\0';
  *this = RString(buffer);
}

void RString::Format(const char *format, ...)
{
  va_list argptr;
  va_start(argptr, format);
  FormatV(format, argptr);
  va_end(argptr);
}

RString RString::FromInt(int value)
{
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%d", value);
  return RString(buffer);
}

bool operator==(const RString &a, const RString &b)
{
  return a._block == b._block || std::strcmp(a.Data(), b.Data()) == 0;
}

bool operator==(const RString &a, const char *b) { return std::strcmp(a.Data(), b ? b : "") == 0; }

bool operator<(const RString &a, const RString &b) { return std::strcmp(a.Data(), b.Data()) < 0; }

int CompareNoCase(const char *a, const char *b)
{
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  for (;; ++a, ++b)
  {
    int ca = lower(static_cast<unsigned char>(*a));
    int cb = lower(static_cast<unsigned char>(*b));
    if (ca != cb || ca == 0)
      return ca - cb;
  }
}
