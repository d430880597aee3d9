#pragma once

#include "Es/Framework/appFrame.hpp"

#include <cstdarg>
#include <cstdint>

// A narrow string shared by reference counting and copied only when written.
//
// The handle is one pointer to a heap block {reference count, capacity, text}
// or null. The null handle is the empty string: making a string from the empty
// text gives null, and every accessor reads null as "". Counts are plain ints,
// not atomics: a string and all its copies belong to one thread at a time.
class RString
{
public:
  RString() = default;
  RString(const char *text); // NOLINT: implicit, a string is made from text everywhere
  // The first length bytes of text (which need not be terminated there).
  RString(const char *text, int length);
  RString(const RString &other) : _block(other._block) { AddRef(); }
  RString(RString &&other) noexcept : _block(other._block) { other._block = nullptr; }
  RString &operator=(const RString &other);
  RString &operator=(RString &&other) noexcept;
  RString &operator=(const char *text) { return *this = RString(text); }
  ~RString() { Release(); }

  const char *Data() const { return _block ? _block->text : ""; }
  operator const char *() const { return Data(); } // NOLINT: used as text in printf-style calls
  int GetLength() const;
  bool IsEmpty() const { return _block == nullptr || _block->text[0] == '\0'; }

  // Ensures this handle owns its block alone (copy on write) and answers the
  // writable characters; nullptr for the empty string.
  char *MakeMutable();
  // Replaces the text with length writable bytes (terminated, contents
  // undefined) and answers them; nullptr when length <= 0 or memory runs out.
  char *CreateBuffer(int length);

  // count characters from start (0: to the end; a count past the end is cut
  // there). A start past the end or an empty result gives the empty string.
  RString Substring(int start, int count = 0) const;

  // printf into a 1024-byte buffer: at most 1023 characters, longer results cut.
  void Format(const char *format, ...) ES_PRINTF_FORMAT(2, 3);
  void FormatV(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  static RString FromInt(int value);

  // The block's reference count; 0 for the empty string.
  int RefCount() const { return _block ? _block->refCount : 0; }
  // Identifies the shared block (for tests of sharing and for banks).
  const void *Block() const { return _block; }

  friend bool operator==(const RString &a, const RString &b);
  friend bool operator==(const RString &a, const char *b);
  friend bool operator<(const RString &a, const RString &b);

private:
  struct TextBlock
  {
    std::int32_t refCount;
    std::int32_t capacity; // length of the text plus its terminator
    char text[1];
  };

  static TextBlock *Allocate(int length);
  void AddRef()
  {
    if (_block)
      ++_block->refCount;
  }
  void Release();

  TextBlock *_block = nullptr;
};

// Byte comparison ignoring ASCII case, strcmp-style result.
int CompareNoCase(const char *a, const char *b);
