#include "Es/Strings/formatByteSize.hpp"

#include <gtest/gtest.h>

TEST(FormatByteSize, EveryThresholdAndItsNeighbours)
{
  struct Case
  {
    std::uint32_t bytes;
    const char *text;
  } cases[] = {
      {0, "0 B"},         {999, "999 B"},         {1000, "1.0 KB"},       {9727, "9.5 KB"},
      {9728, "10 KB"},    {1023487, "999 KB"},    {1023488, "1.0 MB"},    {9961471, "9.5 MB"},
      {9961472, "10 MB"}, {1048051711, "999 MB"}, {1048051712, "1.0 GB"}, {4294967295u, "4.0 GB"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatByteSize, NeverPrintsAThousandOfAUnit)
{
  // Step across every value where the printed unit or precision changes.
  for (std::uint32_t bytes = 1000; bytes < 1048051712u + 4096; bytes += 4093)
  {
    RString text = FormatByteSize(bytes);
    EXPECT_EQ(std::string(text.Data()).find("1000"), std::string::npos) << bytes << " " << text.Data();
    EXPECT_EQ(std::string(text.Data()).find("10.0"), std::string::npos) << bytes << " " << text.Data();
  }
}
