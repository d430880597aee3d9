#include "Setup/Shell/accessCheck.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>

TEST(InstallAccess, IsGrantedUnderWineAndLeavesTheThreadNotImpersonating)
{
  EXPECT_TRUE(HasInstallAccess());
  HANDLE token = nullptr;
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
  if (token != nullptr)
    CloseHandle(token);
}

TEST(MemoryCheck, BelowSixtyFourMegabytesRoundedUpIsShort)
{
  constexpr unsigned long long MB = 1ull << 20;
  EXPECT_TRUE(IsMemoryShort(63 * MB));
  EXPECT_FALSE(IsMemoryShort(64 * MB));
  EXPECT_FALSE(IsMemoryShort(63 * MB + 1));
  EXPECT_TRUE(IsMemoryShort(0));
  // Rounding up must not wrap the largest counts round to nothing.
  EXPECT_FALSE(IsMemoryShort(ULLONG_MAX));
}
