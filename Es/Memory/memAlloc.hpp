#pragma once

#include <cstddef>

// The replaceable table of memory functions the library's containers allocate
// through. The default uses the C runtime heap and never resizes in place; a
// host may install its own table (a debug heap, a pool) before any container
// is used. Slot order is part of the contract.
class MemFunctions
{
public:
  constexpr MemFunctions() = default;
  MemFunctions(const MemFunctions &) = delete;
  MemFunctions &operator=(const MemFunctions &) = delete;
  virtual ~MemFunctions() = default;

  virtual void *New(std::size_t size, const char *file, int line);
  virtual void *New(std::size_t size);
  virtual void Delete(void *block, const char *file, int line);
  virtual void Delete(void *block);
  virtual void *Realloc(void *block, std::size_t size, const char *file, int line);
  virtual void *Realloc(void *block, std::size_t size);
  // Grows or shrinks a block without moving it; false when it cannot.
  virtual bool Resize(void *block, std::size_t size);
  virtual void *NewTagged(std::size_t size, int tag);
  virtual void DeleteTagged(void *block, int tag);
  virtual int QueryPageSize();
  virtual int QueryHeapUsed();
  virtual int QueryHeapCommitted();
  virtual int QueryHeapUsedTotal();
  virtual int QueryFreeBlocks();
  virtual int QueryCheckLevel();
  virtual int QueryAlignmentUnits();
  virtual void OnCleanUp();
  virtual bool CanAllocate();
  virtual bool IsCheckingHeap();
  virtual void OnFrameEnd();
};

// The table in use; it points at a static default instance from the start.
extern MemFunctions *GMemFunctions;

// Installs another table (nullptr restores the default) and answers the old one.
MemFunctions *SetMemFunctions(MemFunctions *functions);

// Running out of memory for the library's own bookkeeping ends the program:
// the failure is reported on the error channel, then the process aborts.
[[noreturn]] void MemoryExhausted(std::size_t size);

// A handle to one heap block with its recorded size, allocated through the
// memory table. Releasing a handle whose recorded size went negative is an
// internal error: it is reported, and the handle is cleared all the same.
class MemoryBlock
{
public:
  MemoryBlock() = default;
  MemoryBlock(const MemoryBlock &) = delete;
  MemoryBlock &operator=(const MemoryBlock &) = delete;
  ~MemoryBlock() { Free(); }

  // Replaces the block with a new one of size bytes; false (and an empty
  // handle) when the allocation fails.
  bool Allocate(int size);
  void Free();

  void *Data() const { return _data; }
  int Size() const { return _size; }

protected:
  void *_data = nullptr;
  int _size = 0;
};
