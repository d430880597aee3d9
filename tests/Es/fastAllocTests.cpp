#include "Es/Memory/fastAlloc.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{
std::uint32_t ReadWord(const void *address)
{
  std::uint32_t value;
  std::memcpy(&value, address, sizeof value);
  return value;
}

void WriteWord(void *address, std::uint32_t value) { std::memcpy(address, &value, sizeof value); }

char *BlockHeader(void *object) { return static_cast<char *>(object) - 4; }

// The chunk start, found the way the allocator finds it.
char *ChunkStart(void *object) { return BlockHeader(object) - ReadWord(BlockHeader(object)); }

bool HoldsPattern(const void *object, std::size_t from, std::size_t to, std::uint32_t pattern)
{
  for (std::size_t i = from; i + 4 <= to; i += 4)
    if (ReadWord(static_cast<const char *>(object) + i) != pattern)
      return false;
  return true;
}

std::string Format(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
std::string Format(const char *format, ...)
{
  char text[128];
  va_list argptr;
  va_start(argptr, format);
  std::vsnprintf(text, sizeof text, format, argptr);
  va_end(argptr);
  return text;
}

const char CorruptedReport[] = "Es/Memory/fastAlloc(338) : FastAlloc chunk header corrupted.";

// 20-byte objects in 256-byte chunks: 24-byte elements, 9 blocks a chunk.
FastAlloc SmallChunks(const char *name) { return FastAlloc(20, name, 0, 256); }
} // namespace

TEST(FastAllocSizing, ElementSizeAndAlignmentFollowTheObjectSize)
{
  FastAlloc tiny(2, "tiny"), edge(28, "edge"), even(44, "even"), odd(45, "odd");
  EXPECT_EQ(tiny.ElementSize(), 8u);
  EXPECT_EQ(tiny.Alignment(), 4u);
  EXPECT_EQ(edge.ElementSize(), 32u);
  EXPECT_EQ(edge.Alignment(), 4u);
  EXPECT_EQ(even.ElementSize(), 48u);
  EXPECT_EQ(even.Alignment(), 8u);
  EXPECT_EQ(odd.ElementSize(), 52u);
  EXPECT_EQ(odd.Alignment(), 4u);
}

TEST(FastAllocSizing, DefaultChunkDoublesUntilTailIsAtMostATwentiethButRequestedOneIsKept)
{
  FastCAlloc doubled(2996, "large");
  EXPECT_EQ(doubled.ElementSize(), 3000u);
  EXPECT_EQ(doubled.ChunkSize(), 65536u);
  EXPECT_EQ(doubled.BlocksPerChunk(), 21);
  EXPECT_EQ(doubled.ChunkSize() - 21 * doubled.ElementSize(), 2536u);
  EXPECT_EQ(doubled.ChunkHeaderSize(), FastAlloc(2, "plain").ChunkHeaderSize() + 12);
  FastAlloc requested(2996, "fixed", 0, 8192);
  EXPECT_EQ(requested.ChunkSize(), 8192u);
  EXPECT_EQ(requested.BlocksPerChunk(), 2);
}

TEST(FastAllocBlocks, AllocReturnsDistinctWritableBlocksFilledWithAllocPattern)
{
  FastAlloc allocator = SmallChunks("blocks");
  std::vector<void *> blocks;
  for (int i = 0; i < 2 * allocator.BlocksPerChunk() + 1; ++i)
  {
    blocks.push_back(allocator.Alloc());
    ASSERT_NE(blocks.back(), nullptr);
    EXPECT_TRUE(HoldsPattern(blocks.back(), 0, allocator.ElementSize() - 4, 0x7F8F7F8Fu));
  }
  EXPECT_EQ(std::set<void *>(blocks.begin(), blocks.end()).size(), blocks.size());
  // Writing a whole block leaves its neighbours intact.
  for (std::size_t i = 0; i < blocks.size(); ++i)
    std::memset(blocks[i], static_cast<int>(i), 20);
  for (std::size_t i = 0; i < blocks.size(); ++i)
    EXPECT_EQ(static_cast<unsigned char *>(blocks[i])[19], static_cast<unsigned char>(i));
  EXPECT_EQ(allocator.RefCount(), 1 + static_cast<int>(blocks.size()));
  for (void *block : blocks)
    allocator.Free(block);
  EXPECT_EQ(allocator.RefCount(), 1);
}

TEST(FastAllocBlocks, FreedBytesShowFreePatternWhileTheChunkIsHeld)
{
  FastAlloc allocator = SmallChunks("freed");
  void *freed = allocator.Alloc();
  void *keeper = allocator.Alloc();
  std::memset(freed, 0, 20);
  allocator.Free(freed);
  // The first 4 object bytes now link the free list.
  EXPECT_TRUE(HoldsPattern(freed, 4, allocator.ElementSize() - 4, 0x7F817F81u));
  allocator.Free(keeper);
}

TEST(FastAllocChunks, FreeingLastBlockOfOnlyNonFullChunkKeepsIt)
{
  FastAlloc allocator = SmallChunks("keep");
  std::vector<void *> full;
  for (int i = 0; i < allocator.BlocksPerChunk(); ++i)
    full.push_back(allocator.Alloc());
  allocator.Free(allocator.Alloc());
  EXPECT_EQ(allocator.AllFreeChunkCount(), 1);
  EXPECT_EQ(allocator.FullChunkCount(), 1);
  for (void *block : full)
    allocator.Free(block);
}

TEST(FastAllocChunks, FreeingLastBlockOfOneOfTwoNonFullChunksReturnsIt)
{
  FastAlloc allocator = SmallChunks("return");
  std::vector<void *> first;
  for (int i = 0; i < allocator.BlocksPerChunk(); ++i)
    first.push_back(allocator.Alloc());
  void *lone = allocator.Alloc();
  allocator.Free(first.back());
  first.pop_back();
  ASSERT_EQ(allocator.PartlyUsedChunkCount(), 2);
  allocator.Free(lone);
  EXPECT_EQ(allocator.ChunkCount(), 1);
  EXPECT_EQ(allocator.PartlyUsedChunkCount(), 1);
  for (void *block : first)
    allocator.Free(block);
}

TEST(FastAllocLifetime, DestroyingWithLiveBlocksLogsAndKeepsThemValidUntilFreed)
{
  CapturingFrame frame;
  int before = FastAlloc::LiveAllocatorCount();
  void *first;
  void *second;
  {
    FastAlloc allocator = SmallChunks("Orphan");
    first = allocator.Alloc();
    second = allocator.Alloc();
  }
  EXPECT_EQ(frame.lines, std::vector<std::string>{"FastAlloc Orphan not free when destructed."});
  std::memset(first, 0x5A, 20);
  std::memset(second, 0x33, 20);
  FastAlloc::FreeBlock(first);
  EXPECT_EQ(FastAlloc::LiveAllocatorCount(), before + 1);
  FastAlloc::FreeBlock(second);
  EXPECT_EQ(FastAlloc::LiveAllocatorCount(), before);
  EXPECT_EQ(frame.lines.size(), 1u);
}

TEST(FastAllocLifetime, ReleasedAllocatorAllocatesNothingAndStillFreesItsBlocks)
{
  CapturingFrame frame;
  FastAlloc allocator = SmallChunks("released");
  void *block = allocator.Alloc();
  allocator.Release();
  allocator.Release();
  EXPECT_EQ(frame.lines.size(), 1u);
  EXPECT_EQ(allocator.Alloc(), nullptr);
  int before = FastAlloc::LiveAllocatorCount();
  allocator.Free(block);
  EXPECT_EQ(FastAlloc::LiveAllocatorCount(), before - 1);
}

TEST(FastAllocCorruption, BlockHeaderOutsideOrBetweenBlocksIsReportedAndBlockLeaked)
{
  CapturingFrame frame;
  FastAlloc allocator = SmallChunks("garbage");
  void *block = allocator.Alloc();
  std::uint32_t header = ReadWord(BlockHeader(block));
  for (std::uint32_t garbage : {0xDEADBEEFu, header + 4})
  {
    WriteWord(BlockHeader(block), garbage);
    allocator.Free(block);
    char warning[64];
    std::snprintf(warning, sizeof warning, "Chunk %x, null 0", static_cast<unsigned>(garbage));
    EXPECT_TRUE(frame.Contains(CorruptedReport));
    EXPECT_TRUE(frame.Contains(warning));
    EXPECT_EQ(allocator.RefCount(), 2);
  }
  WriteWord(BlockHeader(block), header);
  allocator.Free(block);
  EXPECT_EQ(allocator.RefCount(), 1);
}

TEST(FastAllocCorruption, NonZeroChunkCheckWordIsReportedAndBlockLeaked)
{
  CapturingFrame frame;
  FastAlloc allocator = SmallChunks("checkword");
  void *block = allocator.Alloc();
  char *chunk = ChunkStart(block);
  WriteWord(chunk, 0x1234u);
  allocator.Free(block);
  char warning[64];
  std::snprintf(warning, sizeof warning, "Chunk %x, null 1234",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(chunk)));
  EXPECT_TRUE(frame.Contains(CorruptedReport));
  EXPECT_TRUE(frame.Contains(warning));
  EXPECT_EQ(allocator.RefCount(), 2);
  WriteWord(chunk, 0);
  allocator.Free(block);
  EXPECT_EQ(allocator.RefCount(), 1);
}

TEST(FastAllocCorruption, SecondFreeOfAChunksLastBlockIsReportedAndLeavesTheFreeListIntact)
{
  CapturingFrame frame;
  FastAlloc allocator = SmallChunks("twice");
  void *block = allocator.Alloc();
  allocator.Free(block);
  allocator.Free(block);
  EXPECT_TRUE(frame.Contains(CorruptedReport));
  EXPECT_EQ(allocator.RefCount(), 1);
  EXPECT_TRUE(allocator.Validate());
}

TEST(FastAllocCorruption, FreeBlockOfUnknownMemoryIsReportedWithoutReadingIt)
{
  CapturingFrame frame;
  // A living allocator for which 64 is a valid block offset.
  FastAlloc allocator = SmallChunks("bystander");
  void *block = allocator.Alloc();
  ASSERT_EQ(allocator.ChunkHeaderSize() + allocator.ElementSize(), 64u);
  // Only the header word is readable: the chunk it names lies before the buffer.
  alignas(4) unsigned char buffer[32] = {};
  WriteWord(buffer, 64);
  FastAlloc::FreeBlock(buffer + 4);
  EXPECT_TRUE(frame.Contains(CorruptedReport));
  EXPECT_TRUE(frame.Contains("Chunk 40, null 0"));
  allocator.Free(block);
}

TEST(FastAllocValidation, CorruptedFreeLinkFailsWithBadPointerAndChunkLines)
{
  CapturingFrame frame;
  FastAlloc allocator = SmallChunks("broken");
  void *kept = allocator.Alloc();
  void *freed = allocator.Alloc();
  allocator.Free(freed);
  EXPECT_TRUE(allocator.Validate());
  EXPECT_TRUE(frame.lines.empty());
  std::uint32_t link = ReadWord(freed);
  WriteWord(freed, 0x00FFFFF0u);
  EXPECT_FALSE(allocator.Validate());
  char *chunk = ChunkStart(kept);
  auto *farAway = reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(chunk) + 0x00FFFFF0u);
  EXPECT_TRUE(frame.Contains(Format("Bad pointer %p on %p", farAway, BlockHeader(freed))));
  EXPECT_TRUE(frame.Contains(Format("Chunk %p in broken not valid", chunk)));
  WriteWord(freed, link);
  allocator.Free(kept);
}

TEST(FastAllocPageAligned, OnlyOwnChunksAreAnsweredAndChecked)
{
  CapturingFrame frame;
  FastAlloc allocator = SmallChunks("paged");
  void *block = allocator.Alloc();
  EXPECT_EQ(allocator.ChunkOfPageAligned(block, 1), nullptr);
  EXPECT_TRUE(frame.Contains("Es/Memory/fastAlloc(456) : Assertion failed 'ch->null1==0'"));
  frame.lines.clear();
  char *chunk = ChunkStart(block);
  auto address = reinterpret_cast<std::uintptr_t>(chunk);
  std::size_t pageSize = address & (~address + 1); // the largest power of two the chunk is aligned on
  EXPECT_EQ(static_cast<void *>(allocator.ChunkOfPageAligned(chunk + 1, pageSize)), chunk);
  EXPECT_FALSE(frame.Contains("(456)"));
  EXPECT_EQ(frame.Contains("Es/Memory/fastAlloc(458) : Assertion failed 'allocator->_chunkSize==pageSize'"),
            pageSize != allocator.ChunkSize());
  allocator.Free(block);
}

TEST(FastCAllocRegistry, UnlistingFromTheMiddleKeepsTheOthersInOrder)
{
  int base = FastCAllocCount();
  auto first = std::make_unique<FastCAlloc>(8, "first");
  auto second = std::make_unique<FastCAlloc>(8, "second");
  auto third = std::make_unique<FastCAlloc>(8, "third");
  auto fourth = std::make_unique<FastCAlloc>(8, "fourth");
  ASSERT_EQ(FastCAllocCount(), base + 4);
  second.reset();
  ASSERT_EQ(FastCAllocCount(), base + 3);
  EXPECT_EQ(FastCAllocAt(base), first.get());
  EXPECT_EQ(FastCAllocAt(base + 1), third.get());
  EXPECT_EQ(FastCAllocAt(base + 2), fourth.get());
  first.reset();
  third.reset();
  fourth.reset();
  EXPECT_EQ(FastCAllocCount(), base);
}

TEST(FastCAllocRegistry, AllocatorBeyondTheLastSlotIsReportedAndStaysUnlisted)
{
  CapturingFrame frame;
  int base = FastCAllocCount();
  std::vector<std::unique_ptr<FastCAlloc>> allocators;
  for (int i = base; i < FastCAllocSlots; ++i)
    allocators.push_back(std::make_unique<FastCAlloc>(8, "slot"));
  EXPECT_TRUE(frame.lines.empty());
  auto extra = std::make_unique<FastCAlloc>(8, "extra");
  EXPECT_TRUE(frame.Contains("Es/Memory/fastAlloc(642) : Out of FastCAlloc slots"));
  EXPECT_EQ(FastCAllocCount(), FastCAllocSlots);
  extra.reset();
  EXPECT_TRUE(frame.Contains("Es/Memory/fastAlloc(671) : FastCAlloc not listed?"));
  allocators.clear();
  EXPECT_EQ(FastCAllocCount(), base);
}

TEST(FastCAllocRegistry, StatisticsListChunkHoldersLargestFirst)
{
  CapturingFrame frame;
  FastCAlloc small(20, "small"), big(2996, "big"), empty(8, "empty"), idle(100, "idle"), mid(60, "mid");
  std::vector<void *> smallBlocks{small.Alloc(), small.Alloc(), small.Alloc()};
  void *bigBlock = big.Alloc();
  idle.Free(idle.Alloc()); // keeps its chunk with only the owner's reference
  std::vector<void *> midBlocks;
  for (int i = 0; i < 10; ++i)
    midBlocks.push_back(mid.Alloc());

  FastCAllocReportStatistics();
  std::vector<std::string> ours;
  for (const std::string &line : frame.lines)
    for (const char *name : {"     small:", "       big:", "     empty:", "      idle:", "       mid:"})
      if (line.rfind(name, 0) == 0)
        ours.push_back(line);
  EXPECT_EQ(ours, (std::vector<std::string>{
                      "       big: requested 5992, allocated 65536", "       mid: requested 660, allocated 8192",
                      "      idle: requested 100, allocated 8192", "     small: requested 80, allocated 8192"}));
  for (void *block : smallBlocks)
    small.Free(block);
  big.Free(bigBlock);
  for (void *block : midBlocks)
    mid.Free(block);
}
