#include "Es/Memory/memAlloc.hpp"

#include "Es/Common/neverDestroyed.hpp"
#include "Es/Framework/appFrame.hpp"

#include <cstdlib>

void *MemFunctions::New(std::size_t size, const char *, int) { return std::malloc(size); }
void *MemFunctions::New(std::size_t size) { return std::malloc(size); }
void MemFunctions::Delete(void *block, const char *, int) { std::free(block); }
void MemFunctions::Delete(void *block) { std::free(block); }
void *MemFunctions::Realloc(void *block, std::size_t size, const char *, int) { return std::realloc(block, size); }
void *MemFunctions::Realloc(void *block, std::size_t size) { return std::realloc(block, size); }
bool MemFunctions::Resize(void *, std::size_t) { return false; }
void *MemFunctions::NewTagged(std::size_t size, int) { return std::malloc(size); }
void MemFunctions::DeleteTagged(void *block, int) { std::free(block); }
int MemFunctions::QueryPageSize() { return 8192; }
int MemFunctions::QueryHeapUsed() { return 0; }
int MemFunctions::QueryHeapCommitted() { return 0; }
int MemFunctions::QueryHeapUsedTotal() { return QueryHeapCommitted(); }
int MemFunctions::QueryFreeBlocks() { return 0; }
int MemFunctions::QueryCheckLevel() { return 1; }
int MemFunctions::QueryAlignmentUnits() { return 1; }
void MemFunctions::OnCleanUp() {}
bool MemFunctions::CanAllocate() { return true; }
bool MemFunctions::IsCheckingHeap() { return false; }
void MemFunctions::OnFrameEnd() {}

namespace
{
// Containers may free memory in static destructors at process end.
constinit NeverDestroyed<MemFunctions> defaultMemFunctions;
} // namespace

constinit MemFunctions *GMemFunctions = &defaultMemFunctions.value;

MemFunctions *SetMemFunctions(MemFunctions *functions)
{
  MemFunctions *previous = GMemFunctions;
  GMemFunctions = functions ? functions : &defaultMemFunctions.value;
  return previous;
}

void MemoryExhausted(std::size_t size)
{
  ErrorMessageF("Out of memory (%zu bytes requested)", size);
  std::abort();
}

bool MemoryBlock::Allocate(int size)
{
  Free();
  if (size < 0)
    return false;
  _data = GMemFunctions->New(static_cast<std::size_t>(size > 0 ? size : 1));
  if (!_data)
    return false;
  _size = size;
  return true;
}

void MemoryBlock::Free()
{
  if (_size < 0)
    ReportAssertionFailure("Es/Memory/memAlloc", 300, "_size>=0");
  if (_data)
    GMemFunctions->Delete(_data);
  _data = nullptr;
  _size = 0;
}
