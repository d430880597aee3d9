#include "Es/Memory/memAlloc.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

TEST(MemFunctionsDefaults, AnswersOfTheDefaultTable)
{
  MemFunctions &memory = *GMemFunctions;
  void *block = memory.New(16, "file", 1);
  ASSERT_NE(block, nullptr);
  EXPECT_FALSE(memory.Resize(block, 32));
  block = memory.Realloc(block, 64);
  ASSERT_NE(block, nullptr);
  memory.Delete(block, "file", 2);
  EXPECT_EQ(memory.QueryPageSize(), 8192);
  EXPECT_EQ(memory.QueryHeapUsed(), 0);
  EXPECT_EQ(memory.QueryHeapUsedTotal(), 0);
  EXPECT_EQ(memory.QueryCheckLevel(), 1);
  EXPECT_EQ(memory.QueryAlignmentUnits(), 1);
  EXPECT_TRUE(memory.CanAllocate());
  EXPECT_FALSE(memory.IsCheckingHeap());
}

TEST(MemFunctionsDefaults, QueryForwardsThroughTheVirtualTable)
{
  struct Committed : MemFunctions
  {
    int QueryHeapCommitted() override { return 42; }
  } memory;
  EXPECT_EQ(memory.QueryHeapUsedTotal(), 42);
}

TEST(MemoryBlock, NegativeRecordedSizeIsReportedAndCleared)
{
  struct Corruptible : MemoryBlock
  {
    void CorruptSize() { _size = -5; }
  } block;
  CapturingFrame frame;
  ASSERT_TRUE(block.Allocate(10));
  block.CorruptSize();
  block.Free();
  EXPECT_EQ(block.Data(), nullptr);
  EXPECT_EQ(block.Size(), 0);
  ASSERT_EQ(frame.lines.size(), 1u);
  EXPECT_EQ(frame.lines[0], "Es/Memory/memAlloc(300) : Assertion failed '_size>=0'");
}

TEST(MemoryBlock, AllocateReplacesAndRefusesNegativeSizes)
{
  MemoryBlock block;
  ASSERT_TRUE(block.Allocate(0));
  EXPECT_NE(block.Data(), nullptr);
  ASSERT_TRUE(block.Allocate(100));
  EXPECT_EQ(block.Size(), 100);
  EXPECT_FALSE(block.Allocate(-1));
  EXPECT_EQ(block.Data(), nullptr);
}
