#include "Es/Containers/array.hpp"
#include "Es/Containers/compactBuf.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
// A memory table that records its calls.
class RecordingMemFunctions : public MemFunctions
{
public:
  RecordingMemFunctions() { _previous = SetMemFunctions(this); }
  ~RecordingMemFunctions() override { SetMemFunctions(_previous); }
  using MemFunctions::Delete;
  using MemFunctions::New;

  void *New(std::size_t size) override
  {
    calls.push_back("new " + std::to_string(size));
    return MemFunctions::New(size);
  }
  void Delete(void *block) override
  {
    calls.push_back("delete");
    MemFunctions::Delete(block);
  }
  bool Resize(void *, std::size_t size) override
  {
    calls.push_back("resize " + std::to_string(size));
    return false;
  }

  std::vector<std::string> calls;

private:
  MemFunctions *_previous = nullptr;
};
} // namespace

TEST(AutoArrayGrowth, TriesInPlaceThenAllocatesCopiesAndFrees)
{
  RecordingMemFunctions memory;
  {
    AutoArray<int> array;
    array.Add(1);
    array.Add(2);
    array.Add(3);
    EXPECT_EQ(array.MaxSize(), 4);
    EXPECT_EQ(array[0], 1);
    EXPECT_EQ(array[2], 3);
  }
  std::vector<std::string> expected = {"new 4",     "resize 8", "new 8",  "delete",
                                       "resize 16", "new 16",   "delete", "delete"};
  EXPECT_EQ(memory.calls, expected);
}

TEST(AutoArrayGrowth, InPlaceResizeKeepsTheBlock)
{
  // Blocks of this table have 64 bytes behind them, so a resize up to that
  // really is in place.
  struct RoomyMemFunctions : RecordingMemFunctions
  {
    using RecordingMemFunctions::New;
    void *New(std::size_t size) override { return RecordingMemFunctions::New(size < 64 ? 64 : size); }
    bool Resize(void *block, std::size_t size) override
    {
      RecordingMemFunctions::Resize(block, size);
      return size <= 64;
    }
  } memory;
  AutoArray<int> array;
  for (int i = 0; i < 16; ++i)
    array.Add(i);
  const int *first = array.Data();
  EXPECT_EQ(array[15], 15);
  std::vector<std::string> expected = {"new 64", "resize 8", "resize 16", "resize 32", "resize 64"};
  EXPECT_EQ(memory.calls, expected);
  array.Add(16);
  EXPECT_NE(array.Data(), first);
  EXPECT_EQ(array[0], 0);
  EXPECT_EQ(array[16], 16);
}

TEST(AutoArrayGrowth, CapacityIsNextPowerOfTwo)
{
  AutoArray<std::string> array;
  for (int i = 0; i < 17; ++i)
    array.Add(std::to_string(i));
  EXPECT_EQ(array.MaxSize(), 32);
  EXPECT_EQ(array[16], "16");
  array.Insert(0, "first");
  array.Insert(100, "last");
  EXPECT_EQ(array[0], "first");
  EXPECT_EQ(array[1], "0");
  EXPECT_EQ(array[array.Size() - 1], "last");
}

TEST(AutoArrayDelete, RemovesRangeAndKeepsOrder)
{
  AutoArray<std::string> array;
  for (const char *text : {"a", "b", "c", "d", "e"})
    array.Add(text);
  array.Delete(1, 2);
  ASSERT_EQ(array.Size(), 3);
  EXPECT_EQ(array[0], "a");
  EXPECT_EQ(array[1], "d");
  EXPECT_EQ(array[2], "e");
}

TEST(AutoArrayDelete, OutOfRangeIsReportedAndNotCarriedOut)
{
  CapturingFrame frame;
  AutoArray<int> array;
  for (int i = 0; i < 4; ++i)
    array.Add(i);
  array.Delete(-1);
  array.Delete(3, 2);
  array.Delete(4);
  array.Delete(2, 0x7fffffff);
  EXPECT_EQ(array.Size(), 4);
  ASSERT_EQ(frame.lines.size(), 4u);
  for (const std::string &line : frame.lines)
    EXPECT_EQ(line, "Es/Containers/array(811) : Array index out of range");
}

TEST(AutoArrayCopy, CopiesAreIndependent)
{
  AutoArray<std::string> a;
  a.Add("one");
  AutoArray<std::string> b = a;
  b[0] = "two";
  AutoArray<std::string> c = std::move(b);
  EXPECT_EQ(a[0], "one");
  EXPECT_EQ(c[0], "two");
  EXPECT_TRUE(b.Empty()); // NOLINT: a moved-from array is empty
}

TEST(CompactBuffer, LivesUntilLastRelease)
{
  CompactBuffer<double> *buffer = CompactBuffer<double>::Create(3);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->Size(), 3);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer->Data()) % alignof(double), 0u);
  buffer->Data()[2] = 2.5;
  buffer->AddRef();
  buffer->Release();
  EXPECT_EQ(buffer->Data()[2], 2.5);
  buffer->Release();
  EXPECT_EQ(CompactBuffer<char>::Create(-1), nullptr);
}

TEST(CompactBuffer, DeletingDestructorIsReportedAndDoesNotFree)
{
  CapturingFrame frame;
  CompactBuffer<char> *buffer = CompactBuffer<char>::Create(16);
  ASSERT_NE(buffer, nullptr);
  void *block = buffer;
  delete buffer;
  ASSERT_EQ(frame.lines.size(), 1u);
  EXPECT_EQ(frame.lines[0], "Es/Containers/compactBuf(77) : delete: Should be never used.");
  // The block was not freed by delete: it still belongs to the memory table.
  GMemFunctions->Delete(block);
}
