#pragma once

#include "Es/Memory/memAlloc.hpp"

#include <cstddef>
#include <cstdint>
#include <new>

// Reports a compact buffer reaching the deleting destructor.
void ReportCompactBufferDelete();

// A reference-counted, fixed-size buffer whose header and elements share one
// block from the memory table. It is made by Create and ends with its last
// Release; plain delete is a programming error: it is reported, and the block
// is not freed through it (operator delete would free the wrong allocation).
// The class is aligned like Type, so the elements right after it are too.
template <class Type> class alignas(int) alignas(Type) CompactBuffer
{
public:
  // A buffer of size default-constructed elements; nullptr when the block
  // cannot be had or the size is out of range.
  static CompactBuffer *Create(int size)
  {
    if (size < 0 || static_cast<std::size_t>(size) > (SIZE_MAX - sizeof(CompactBuffer)) / sizeof(Type))
      return nullptr;
    void *block = GMemFunctions->New(sizeof(CompactBuffer) + static_cast<std::size_t>(size) * sizeof(Type));
    if (!block)
      return nullptr;
    auto *buffer = new (block) CompactBuffer(size);
    for (int i = 0; i < size; ++i)
      new (buffer->Data() + i) Type();
    return buffer;
  }

  void AddRef() { ++_refCount; }
  // Drops one reference; the last one destroys the elements and frees the block.
  void Release()
  {
    if (--_refCount > 0)
      return;
    for (int i = 0; i < _size; ++i)
      Data()[i].~Type();
    this->~CompactBuffer();
    GMemFunctions->Delete(this);
  }

  int RefCount() const { return _refCount; }
  int Size() const { return _size; }
  Type *Data() { return reinterpret_cast<Type *>(this + 1); }
  const Type *Data() const { return reinterpret_cast<const Type *>(this + 1); }

  static void operator delete(void *) { ReportCompactBufferDelete(); }

  ~CompactBuffer() = default;

private:
  explicit CompactBuffer(int size) : _size(size) {}

  int _refCount = 1;
  int _size;
};
