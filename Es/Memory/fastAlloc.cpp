#include "Es/Memory/fastAlloc.hpp"

#include "Es/Framework/appFrame.hpp"
#include "Es/Memory/memAlloc.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
constexpr std::uint32_t AllocatedPattern = 0x7F8F7F8Fu;
constexpr std::uint32_t FreedPattern = 0x7F817F81u;
constexpr std::size_t BlockHeaderSize = 4;
constexpr std::size_t MinElementSize = 8;
constexpr std::size_t DefaultChunkSize = 8192;
// Keeps every offset inside a chunk well within the 4-byte block header.
constexpr std::size_t MaxChunkSize = std::size_t(1) << 30;

// Block headers and free links sit at 4-byte positions inside the chunk; they
// are read and written bytewise so that no misaligned access is ever made.
std::uint32_t LoadWord(std::uintptr_t address)
{
  std::uint32_t value;
  std::memcpy(&value, reinterpret_cast<const void *>(address), sizeof value);
  return value;
}

void StoreWord(std::uintptr_t address, std::uint32_t value)
{
  std::memcpy(reinterpret_cast<void *>(address), &value, sizeof value);
}

// size is a multiple of 4: elements are rounded to at least 4 bytes.
void FillPattern(void *object, std::size_t size, std::uint32_t pattern)
{
  auto *bytes = static_cast<unsigned char *>(object);
  for (std::size_t i = 0; i + sizeof pattern <= size; i += sizeof pattern)
    std::memcpy(bytes + i, &pattern, sizeof pattern);
}

void *AddressOf(std::uintptr_t address) { return reinterpret_cast<void *>(address); }

int ClampToInt(std::size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

// The message keeps its 32-bit form: for a chunk address it shows the low 32
// bits, for a bad block offset the offset itself.
void ReportCorruptedChunk(std::uint32_t chunk, std::uint32_t null1)
{
  ReportCheckFailure("Es/Memory/fastAlloc", 338, "FastAlloc chunk header corrupted.");
  WarningF("Chunk %x, null %x", chunk, null1);
}
} // namespace

// 4 + 4 (padding) + 8 + 4 + 4 + 8 + 8 = 40 bytes on a 64-bit build, 24 on a
// 32-bit one. null1 must stay first: it is the word the checks look at.
struct FastAlloc::Chunk
{
  std::uint32_t null1;
  Core *allocator;
  int used;
  // Offset of the first free block from the chunk start; 0 when none.
  std::uint32_t freeHead;
  Chunk *prev;
  Chunk *next;
};

struct FastAlloc::Core
{
  enum ListIndex
  {
    PartlyUsed,
    AllFree,
    Full,
    ListCount
  };

  struct ChunkList
  {
    Chunk *head = nullptr;
    int count = 0;
  };

  // Every living core, so that FreeBlock can confirm a chunk before reading it.
  static inline Core *firstCore = nullptr;

  Core *prevCore = nullptr;
  Core *nextCore = nullptr;
  const char *name = "";
  std::size_t elementSize = 0;
  std::size_t alignment = 0;
  std::size_t chunkSize = 0;
  std::size_t chunkHeaderSize = 0;
  int blocksPerChunk = 0;
  ChunkList lists[ListCount];
  int refCount = 1;

  static Core *Create(std::size_t objectSize, const char *name, int extraHeaderSize, int chunkSize)
  {
    if (!name)
      name = "";
    std::size_t nameSize = std::strlen(name) + 1;
    void *memory = std::malloc(sizeof(Core) + nameSize);
    if (!memory)
      MemoryExhausted(sizeof(Core) + nameSize);
    Core *core = new (memory) Core;
    char *nameCopy = reinterpret_cast<char *>(core + 1);
    std::memcpy(nameCopy, name, nameSize);
    core->name = nameCopy;
    core->SetSizes(objectSize, extraHeaderSize, chunkSize);
    core->nextCore = firstCore;
    if (firstCore)
      firstCore->prevCore = core;
    firstCore = core;
    return core;
  }

  void SetSizes(std::size_t objectSize, int extraHeaderSize, int requestedChunkSize)
  {
    std::size_t size = std::max(std::min(objectSize, MaxChunkSize) + BlockHeaderSize, MinElementSize);
    alignment = size > 32 && size % 8 == 0 ? 8 : 4;
    elementSize = (size + alignment - 1) / alignment * alignment;
    chunkHeaderSize = sizeof(Chunk) + static_cast<std::size_t>(std::max(extraHeaderSize, 0));
    auto blocksIn = [this](std::size_t bytes)
    { return bytes > chunkHeaderSize ? (bytes - chunkHeaderSize) / elementSize : 0; };
    std::size_t blocks;
    if (requestedChunkSize > 0)
    {
      chunkSize = static_cast<std::size_t>(requestedChunkSize);
      blocks = blocksIn(chunkSize);
    }
    else
    {
      chunkSize = DefaultChunkSize;
      blocks = blocksIn(chunkSize);
      // The tail is measured against the whole chunk, header included.
      while ((chunkSize - blocks * elementSize) * 20 > chunkSize && chunkSize * 2 <= MaxChunkSize)
      {
        chunkSize *= 2;
        blocks = blocksIn(chunkSize);
      }
    }
    blocksPerChunk = static_cast<int>(blocks);
    if (blocksPerChunk == 0)
      WarningF("FastAlloc %s: a chunk of %d bytes holds no block of %d bytes", name, ClampToInt(chunkSize),
               ClampToInt(elementSize));
  }

  // Frees the chunks and the core itself; nothing may touch the core after.
  void Destroy()
  {
    for (ListIndex list : {PartlyUsed, AllFree, Full})
      while (Chunk *chunk = lists[list].head)
        ReleaseChunk(chunk, list);
    if (prevCore)
      prevCore->nextCore = nextCore;
    else
      firstCore = nextCore;
    if (nextCore)
      nextCore->prevCore = prevCore;
    this->~Core();
    std::free(this);
  }

  // Whether offset names a block position inside one of our chunks.
  bool ValidOffset(std::uint32_t offset) const
  {
    std::size_t blocksEnd = chunkHeaderSize + static_cast<std::size_t>(blocksPerChunk) * elementSize;
    return offset >= chunkHeaderSize && offset < blocksEnd && (offset - chunkHeaderSize) % elementSize == 0;
  }

  // A chunk's list follows from its state: full when it has no free block,
  // all free when none is used, partly used otherwise.
  static ListIndex ListOf(const Chunk *chunk)
  {
    if (chunk->freeHead == 0)
      return Full;
    return chunk->used == 0 ? AllFree : PartlyUsed;
  }

  void Link(Chunk *chunk, ListIndex list)
  {
    ChunkList &target = lists[list];
    chunk->prev = nullptr;
    chunk->next = target.head;
    if (target.head)
      target.head->prev = chunk;
    target.head = chunk;
    ++target.count;
  }

  void Unlink(Chunk *chunk, ListIndex list)
  {
    ChunkList &source = lists[list];
    if (chunk->prev)
      chunk->prev->next = chunk->next;
    else
      source.head = chunk->next;
    if (chunk->next)
      chunk->next->prev = chunk->prev;
    chunk->prev = chunk->next = nullptr;
    --source.count;
  }

  void Move(Chunk *chunk, ListIndex from, ListIndex to)
  {
    if (from == to)
      return;
    Unlink(chunk, from);
    Link(chunk, to);
  }

  bool Owns(const Chunk *candidate) const
  {
    for (const ChunkList &list : lists)
      for (const Chunk *chunk = list.head; chunk; chunk = chunk->next)
        if (chunk == candidate)
          return true;
    return false;
  }

  // Looks the address up without reading it.
  Chunk *FindChunk(std::uintptr_t address) const
  {
    for (const ChunkList &list : lists)
      for (Chunk *chunk = list.head; chunk; chunk = chunk->next)
        if (reinterpret_cast<std::uintptr_t>(chunk) == address)
          return chunk;
    return nullptr;
  }

  // Its blocks in use go with it, and so do their references.
  void ReleaseChunk(Chunk *chunk, ListIndex list)
  {
    Unlink(chunk, list);
    refCount -= chunk->used;
    chunk->~Chunk();
    std::free(chunk);
  }

  void ReleaseList(ListIndex list)
  {
    while (Chunk *chunk = lists[list].head)
      ReleaseChunk(chunk, list);
  }

  void ReleaseAllChunks()
  {
    for (ListIndex list : {PartlyUsed, AllFree, Full})
      ReleaseList(list);
  }

  bool NewChunk()
  {
    if (blocksPerChunk <= 0)
      return false;
    void *memory = std::malloc(chunkSize);
    if (!memory)
      return false;
    auto base = reinterpret_cast<std::uintptr_t>(memory);
    auto first = static_cast<std::uint32_t>(chunkHeaderSize);
    Chunk *chunk = new (memory) Chunk{0, this, 0, first, nullptr, nullptr};
    // Free list in address order, the last block ending it.
    for (int i = 0; i < blocksPerChunk; ++i)
    {
      auto offset = static_cast<std::uint32_t>(chunkHeaderSize + static_cast<std::size_t>(i) * elementSize);
      auto next = i + 1 < blocksPerChunk ? static_cast<std::uint32_t>(offset + elementSize) : 0u;
      StoreWord(base + offset, offset);
      StoreWord(base + offset + BlockHeaderSize, next);
    }
    Link(chunk, AllFree);
    return true;
  }

  void *Alloc()
  {
    ++refCount;
    for (;;)
    {
      if (lists[PartlyUsed].count == 0 && lists[AllFree].count == 0 && !NewChunk())
      {
        --refCount;
        return nullptr;
      }
      ListIndex from = lists[PartlyUsed].head ? PartlyUsed : AllFree;
      Chunk *chunk = lists[from].head;
      auto base = reinterpret_cast<std::uintptr_t>(chunk);
      std::uint32_t offset = chunk->freeHead;
      if (!ValidOffset(offset))
      {
        // A wild write hit the chunk header: give up on the chunk's free blocks.
        LogF("Bad pointer %p on %p", AddressOf(base + offset), static_cast<void *>(&chunk->freeHead));
        chunk->freeHead = 0;
        Move(chunk, from, Full);
        continue;
      }
      std::uint32_t next = LoadWord(base + offset + BlockHeaderSize);
      if (next != 0 && !ValidOffset(next))
      {
        // A write into a freed block: the rest of the list cannot be trusted.
        LogF("Bad pointer %p on %p", AddressOf(base + next), AddressOf(base + offset));
        next = 0;
      }
      chunk->freeHead = next;
      ++chunk->used;
      if (next == 0)
        Move(chunk, from, Full);
      else
        Move(chunk, from, PartlyUsed);
      StoreWord(base + offset, offset);
      void *object = AddressOf(base + offset + BlockHeaderSize);
      FillPattern(object, elementSize - BlockHeaderSize, AllocatedPattern);
      return object;
    }
  }

  // May destroy the core: the caller must not touch it afterwards.
  void Free(void *object)
  {
    std::uintptr_t block = reinterpret_cast<std::uintptr_t>(object) - BlockHeaderSize;
    std::uint32_t offset = LoadWord(block);
    if (!ValidOffset(offset))
    {
      // Where the chunk would be is unknown memory: report without reading it.
      ReportCorruptedChunk(offset, 0);
      return;
    }
    auto *chunk = reinterpret_cast<Chunk *>(block - offset);
    // A foreign allocator or a chunk with nothing in use (a second free) are
    // as unusable as a bad check word; the block is leaked with its reference.
    if (chunk->null1 != 0 || chunk->allocator != this || chunk->used <= 0)
    {
      ReportCorruptedChunk(static_cast<std::uint32_t>(block - offset), chunk->null1);
      return;
    }
    // Filled only once the block is known to be ours and in use: a second
    // free must not overwrite the free-list link the first one stored.
    FillPattern(object, elementSize - BlockHeaderSize, FreedPattern);
    ListIndex was = ListOf(chunk);
    StoreWord(block + BlockHeaderSize, chunk->freeHead);
    chunk->freeHead = offset;
    --chunk->used;
    Move(chunk, was, chunk->used == 0 ? AllFree : PartlyUsed);
    // One all-free chunk is kept as long as it is the only chunk with room.
    if (lists[AllFree].count > 0 && lists[AllFree].count + lists[PartlyUsed].count >= 2)
      ReleaseList(AllFree);
    if (--refCount == 0)
      Destroy();
  }

  bool ValidateChunk(const Chunk *chunk) const
  {
    auto base = reinterpret_cast<std::uintptr_t>(chunk);
    bool valid = chunk->null1 == 0 && chunk->allocator == this && chunk->used >= 0 && chunk->used <= blocksPerChunk;
    // More links than free blocks means the list runs in a circle.
    int freeBlocks = valid ? blocksPerChunk - chunk->used : blocksPerChunk;
    const void *holder = &chunk->freeHead;
    std::uint32_t link = chunk->freeHead;
    for (int walked = 0; link != 0; ++walked)
    {
      if (!ValidOffset(link) || walked >= freeBlocks)
      {
        LogF("Bad pointer %p on %p", AddressOf(base + link), holder);
        valid = false;
        break;
      }
      holder = AddressOf(base + link);
      link = LoadWord(base + link + BlockHeaderSize);
    }
    if (!valid)
      LogF("Chunk %p in %s not valid", static_cast<const void *>(chunk), name);
    return valid;
  }

  bool Validate() const
  {
    bool valid = true;
    for (const ChunkList &list : lists)
      for (const Chunk *chunk = list.head; chunk; chunk = chunk->next)
        valid = ValidateChunk(chunk) && valid;
    return valid;
  }
};

FastAlloc::FastAlloc(std::size_t objectSize, const char *name, int extraHeaderSize, int chunkSize)
    : _core(Core::Create(objectSize, name, extraHeaderSize, chunkSize))
{
}

FastAlloc::~FastAlloc() { Release(); }

void FastAlloc::FreeChunk(Chunk *chunk)
{
  if (_core && chunk && _core->Owns(chunk))
    _core->ReleaseChunk(chunk, Core::ListOf(chunk));
}

void FastAlloc::FreeAllChunks()
{
  if (_core)
    _core->ReleaseAllChunks();
}

void FastAlloc::Release()
{
  if (!_core)
    return;
  if (_core->refCount <= 1)
  {
    FreeAllChunks();
    _core->Destroy();
  }
  else
  {
    --_core->refCount;
    LogF("FastAlloc %s not free when destructed.", _core->name);
  }
  _core = nullptr;
}

void *FastAlloc::Alloc() { return _core ? _core->Alloc() : nullptr; }

void FastAlloc::Free(void *object)
{
  if (!object)
    return;
  if (_core)
    _core->Free(object);
  else
    FreeBlock(object);
}

void FastAlloc::FreeBlock(void *object)
{
  if (!object)
    return;
  std::uintptr_t block = reinterpret_cast<std::uintptr_t>(object) - BlockHeaderSize;
  std::uint32_t offset = LoadWord(block);
  for (Core *core = Core::firstCore; core; core = core->nextCore)
    if (core->FindChunk(block - offset))
    {
      core->Free(object);
      return;
    }
  ReportCorruptedChunk(offset, 0);
}

void FastAlloc::FreeUnusedChunks()
{
  if (_core)
    _core->ReleaseList(Core::AllFree);
}

bool FastAlloc::Validate() const { return _core ? _core->Validate() : true; }

FastAlloc::Chunk *FastAlloc::ChunkOfPageAligned(void *block, std::size_t pageSize) const
{
  Chunk *chunk = nullptr;
  if (_core && pageSize > 0)
  {
    auto address = reinterpret_cast<std::uintptr_t>(block);
    chunk = _core->FindChunk(address - address % pageSize);
  }
  if (!chunk)
  {
    ReportAssertionFailure("Es/Memory/fastAlloc", 456, "ch->null1==0");
    return nullptr;
  }
  if (chunk->null1 != 0)
    ReportAssertionFailure("Es/Memory/fastAlloc", 456, "ch->null1==0");
  // The chunk is on our lists, so its allocator is this one.
  if (_core->chunkSize != pageSize)
    ReportAssertionFailure("Es/Memory/fastAlloc", 458, "allocator->_chunkSize==pageSize");
  return chunk;
}

std::size_t FastAlloc::ElementSize() const { return _core ? _core->elementSize : 0; }
std::size_t FastAlloc::Alignment() const { return _core ? _core->alignment : 0; }
std::size_t FastAlloc::ChunkSize() const { return _core ? _core->chunkSize : 0; }
int FastAlloc::BlocksPerChunk() const { return _core ? _core->blocksPerChunk : 0; }
std::size_t FastAlloc::ChunkHeaderSize() const { return _core ? _core->chunkHeaderSize : 0; }
const char *FastAlloc::Name() const { return _core ? _core->name : ""; }
int FastAlloc::PartlyUsedChunkCount() const { return _core ? _core->lists[Core::PartlyUsed].count : 0; }
int FastAlloc::AllFreeChunkCount() const { return _core ? _core->lists[Core::AllFree].count : 0; }
int FastAlloc::FullChunkCount() const { return _core ? _core->lists[Core::Full].count : 0; }
int FastAlloc::ChunkCount() const { return PartlyUsedChunkCount() + AllFreeChunkCount() + FullChunkCount(); }
std::size_t FastAlloc::ChunkBytes() const { return static_cast<std::size_t>(ChunkCount()) * ChunkSize(); }
int FastAlloc::RefCount() const { return _core ? _core->refCount : 0; }

int FastAlloc::LiveAllocatorCount()
{
  int count = 0;
  for (const Core *core = Core::firstCore; core; core = core->nextCore)
    ++count;
  return count;
}

namespace
{
FastCAlloc *registeredAllocators[FastCAllocSlots];
int registeredCount = 0;

void RegisterFastCAlloc(FastCAlloc *allocator)
{
  if (registeredCount >= FastCAllocSlots)
  {
    ReportCheckFailure("Es/Memory/fastAlloc", 642, "Out of FastCAlloc slots");
    return;
  }
  registeredAllocators[registeredCount++] = allocator;
}

// An allocator that never got a slot is reported here too.
void UnregisterFastCAlloc(FastCAlloc *allocator)
{
  FastCAlloc **end = registeredAllocators + registeredCount;
  FastCAlloc **found = std::find(registeredAllocators, end, allocator);
  if (found == end)
  {
    ReportCheckFailure("Es/Memory/fastAlloc", 671, "FastCAlloc not listed?");
    return;
  }
  std::copy(found + 1, end, found);
  --registeredCount;
}
} // namespace

FastCAlloc::FastCAlloc(std::size_t objectSize, const char *name) : FastAlloc(objectSize, name, 12, 0)
{
  RegisterFastCAlloc(this);
}

FastCAlloc::~FastCAlloc() { UnregisterFastCAlloc(this); }

int FastCAllocCount() { return registeredCount; }

FastCAlloc *FastCAllocAt(int index)
{
  return index >= 0 && index < registeredCount ? registeredAllocators[index] : nullptr;
}

void FastCAllocReportStatistics()
{
  FastCAlloc *holding[FastCAllocSlots];
  int count = 0;
  for (int i = 0; i < registeredCount; ++i)
    if (registeredAllocators[i]->ChunkCount() > 0)
      holding[count++] = registeredAllocators[i];
  auto weight = [](const FastCAlloc *allocator)
  { return allocator->ElementSize() * static_cast<std::size_t>(allocator->RefCount()); };
  std::stable_sort(holding, holding + count,
                   [&weight](const FastCAlloc *a, const FastCAlloc *b) { return weight(a) > weight(b); });
  for (int i = 0; i < count; ++i)
  {
    const FastCAlloc *allocator = holding[i];
    std::size_t requested =
        (allocator->ElementSize() - BlockHeaderSize) * static_cast<std::size_t>(allocator->RefCount());
    LogF("%10s: requested %d, allocated %d", allocator->Name(), ClampToInt(requested),
         ClampToInt(allocator->ChunkBytes()));
  }
}
