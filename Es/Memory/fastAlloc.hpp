#pragma once

#include <cstddef>
#include <cstdint>

// A fixed-size block allocator. Blocks are carved out of chunks taken straight
// from the C runtime heap (malloc/free, not the memory table); every block
// carries a 4-byte header in front of the caller's object.
//
// Layout of a chunk (chunk size bytes):
//   [chunk header][extra header][block 0][block 1] ... [unused tail]
// The chunk header is the Chunk struct: a check word `null1` (its first 4
// bytes, always 0), the owning allocator, the count of blocks in use, the
// offset of the first free block, and the links of the chunk list it is on.
// On a 32-bit build that struct was 24 bytes; here it is sizeof(Chunk) (40 on
// a 64-bit build), and that size is the fixed part of ChunkHeaderSize().
//
// A 4-byte block header cannot hold a 64-bit address, so it holds the block's
// byte offset from the start of its chunk: the chunk is found by subtracting
// it. A free block keeps that offset and then a 4-byte offset of the next free
// block of the same chunk (0 ends the list), which is why an element is never
// smaller than 8 bytes. Because of the 4-byte header the caller's objects are
// only 4-byte aligned (and only that when the extra header size is a multiple
// of 4): do not place types that need more in them.
//
// The allocator's state lives in a separately allocated core that every chunk
// points to. The core is shared by the allocator object and its live blocks:
// destroying the allocator while blocks are live logs the fact and keeps the
// core and the chunks until the last of those blocks is freed (through
// FreeBlock, since the object is gone).
//
// Not thread safe, like the rest of the library.
class FastAlloc
{
public:
  // Opaque to callers; defined with the allocator.
  struct Chunk;

  // objectSize: bytes the caller needs per block. name: used in messages, it
  // is copied. extraHeaderSize: bytes reserved after the chunk header (a
  // negative value counts as 0). chunkSize: bytes per chunk; 0 (or a negative
  // value) picks 8192 bytes, doubled while it would leave more than a
  // twentieth of the chunk unused. Objects of more than 1 GiB, or a requested
  // chunk that holds no block, give an allocator whose Alloc always fails.
  FastAlloc(std::size_t objectSize, const char *name, int extraHeaderSize = 0, int chunkSize = 0);
  FastAlloc(const FastAlloc &) = delete;
  FastAlloc &operator=(const FastAlloc &) = delete;
  // Calls Release.
  virtual ~FastAlloc();

protected:
  // Returns one of this allocator's chunks to the heap, whatever it holds;
  // blocks still in use in it are gone with it. A chunk that is not this
  // allocator's is left alone.
  virtual void FreeChunk(Chunk *chunk);
  // Returns every chunk to the heap, live blocks included.
  virtual void FreeAllChunks();

public:
  // Drops the owner's reference. With no live block left every chunk goes back
  // to the heap; otherwise the live blocks stay valid and the last FreeBlock
  // releases everything. The object is unusable afterwards (Alloc answers
  // nullptr) and a second call does nothing.
  virtual void Release();

  // A block of ElementSize() - 4 bytes filled with 0x7F8F7F8F; nullptr when
  // the heap has no chunk to give.
  void *Alloc();
  // Frees a block of this allocator (nullptr is ignored). A block whose header
  // or chunk header is found corrupted is reported and leaked, never freed.
  void Free(void *object);
  // Frees a block of any allocator, also one whose allocator object is gone.
  // The chunk named by the block header is looked up among the chunks of all
  // allocators before it is read: an unknown one is reported like a corrupted
  // header. Slower than Free by that search.
  static void FreeBlock(void *object);

  // Returns every chunk whose blocks are all free.
  void FreeUnusedChunks();
  // Checks every free-list link of every chunk; a bad one is logged with the
  // chunk it is in. Answers whether all chunks were valid.
  bool Validate() const;
  // The chunk of a block when chunks are aligned on pageSize: the block address
  // rounded down. Our chunks come from malloc and are not page aligned, so the
  // rounded address is only trusted (and read) when it is one of this
  // allocator's chunks; otherwise the answer is nullptr.
  Chunk *ChunkOfPageAligned(void *block, std::size_t pageSize) const;

  // Sizing, fixed at construction (0 once released).
  std::size_t ElementSize() const;
  std::size_t Alignment() const;
  std::size_t ChunkSize() const;
  int BlocksPerChunk() const;
  std::size_t ChunkHeaderSize() const;

  // Statistics (0 once released).
  const char *Name() const;
  int PartlyUsedChunkCount() const;
  int AllFreeChunkCount() const;
  int FullChunkCount() const;
  int ChunkCount() const;
  // Bytes of all chunks held.
  std::size_t ChunkBytes() const;
  // 1 for the owner plus 1 per live block.
  int RefCount() const;
  // Allocators whose state is still held: the living ones plus destroyed ones
  // waiting for their last blocks.
  static int LiveAllocatorCount();

private:
  struct Core;
  Core *_core = nullptr;
};

// A FastAlloc with a 12-byte extra chunk header and the default chunk size,
// listed in a process-wide table (without a lock) for statistics while it
// lives. The table holds FastCAllocSlots allocators; one more is reported and
// stays unlisted.
class FastCAlloc : public FastAlloc
{
public:
  FastCAlloc(std::size_t objectSize, const char *name);
  ~FastCAlloc() override;
};

inline constexpr int FastCAllocSlots = 256;

// The listed allocators, in the order they were listed.
int FastCAllocCount();
FastCAlloc *FastCAllocAt(int index);

// Logs one line per listed allocator holding any chunk, largest first by
// element size times reference count: the bytes its objects ask for and the
// bytes of its chunks.
void FastCAllocReportStatistics();
