// The wizard's rules that have no window: the page sequence, the buttons,
// the space arithmetic, the texts the pages show, the result dialog's boxes
// and layout.
#include "Setup/Install/folderPaths.hpp"
#include "Setup/Wizard/wizardRules.hpp"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace
{
using Page = WizardPage;

TEST(WizardRules, PagesFollowTheScriptsFlagsInTheirFixedOrder)
{
  EXPECT_EQ(PageSequence(false, false, false), (std::vector<Page>{Page::AllUsers, Page::Dir, Page::Setup}));
  EXPECT_EQ(PageSequence(true, true, true),
            (std::vector<Page>{Page::AllUsers, Page::Info, Page::Licence, Page::Dir, Page::DirectX, Page::Setup}));
  EXPECT_EQ(PageSequence(false, true, false),
            (std::vector<Page>{Page::AllUsers, Page::Licence, Page::Dir, Page::Setup}));
  for (int flags = 0; flags < 8; ++flags)
  {
    std::vector<Page> pages = PageSequence(flags & 1, flags & 2, flags & 4);
    EXPECT_EQ(pages.size(), 3u + ((flags & 1) != 0) + ((flags & 2) != 0) + ((flags & 4) != 0));
    EXPECT_EQ(pages.front(), Page::AllUsers);
    EXPECT_EQ(pages.back(), Page::Setup);
  }
}

TEST(WizardRules, NoBackOnTheFirstPageNothingOnTheCopyPageAndTheLicenceGateOnItsOwnPage)
{
  EXPECT_EQ(WizardButtons(4, 0, false, -1), static_cast<DWORD>(PSWIZB_NEXT));
  EXPECT_EQ(WizardButtons(4, 1, false, -1), static_cast<DWORD>(PSWIZB_BACK | PSWIZB_NEXT));
  EXPECT_EQ(WizardButtons(4, 3, false, -1), 0u);
  EXPECT_EQ(WizardButtons(4, 1, true, 1), static_cast<DWORD>(PSWIZB_BACK));
  // The gate holds on the licence page only.
  EXPECT_EQ(WizardButtons(4, 2, true, 1), static_cast<DWORD>(PSWIZB_BACK | PSWIZB_NEXT));
}

TEST(WizardRules, RequiredSpaceIsATenthMoreAndTenMebibytes)
{
  EXPECT_EQ(RequiredSpace(0), 10485760);
  EXPECT_EQ(RequiredSpace(1000), 10486860);
  EXPECT_EQ(RequiredSpace(1ll << 40), static_cast<std::int64_t>(1.1 * (1ll << 40)) + 10485760);
}

TEST(WizardRules, FreeSpaceTextFormatsTwoNumbersAndShowsAnyOtherFormatAsItStands)
{
  EXPECT_EQ(FreeSpaceText(L"%.2f GB free, %.2f GB needed", 70.191, 0.0105), L"70.19 GB free, 0.01 GB needed");
  EXPECT_EQ(FreeSpaceText(L"100%% sure: %g", 2.5, 1), L"100% sure: 2.5");
  for (const wchar_t *unsafe : {L"%s GB", L"%d and %f", L"%f %f %f", L"%n", L"50%"})
    EXPECT_EQ(FreeSpaceText(unsafe, 1, 2), unsafe);
}

TEST(WizardRules, ProgressNeverDividesByZeroAndStaysInRange)
{
  EXPECT_EQ(ProgressPosition(0, 0), 0);
  EXPECT_EQ(ProgressPosition(500, 0), 0);
  EXPECT_EQ(ProgressPosition(999, 1000), 99);
  EXPECT_EQ(ProgressPosition(2000, 1000), 100);
}

TEST(WizardRules, DirectXVersionTexts)
{
  EXPECT_EQ(DirectXVersionText(0, 0, L"none"), L"none");
  EXPECT_EQ(DirectXVersionText(0x40009, 0x904, L"none"), L"9.0");
  EXPECT_EQ(DirectXVersionText(0x50001, 0x20003, L"none"), L"5.1.2.3");
  EXPECT_EQ(DirectXVersionText(0x30000, 0, L"none"), L"3");
}

TEST(WizardRules, ResultBoxesAndLayout)
{
  EXPECT_EQ(ResultBoxId(0), 1023);
  EXPECT_EQ(ResultBoxId(7), 1030);
  EXPECT_EQ(ResultBoxId(8), 1032);
  EXPECT_EQ(ResultBoxId(9), 1031);
  bool ticked = false;
  std::wstring label;
  ASSERT_TRUE(FinishActionBox(L"E:+:D:game.exe|Play now", ticked, label));
  EXPECT_TRUE(ticked);
  EXPECT_EQ(label, L"Play now");
  ASSERT_TRUE(FinishActionBox(L"O:-:D:|x|y", ticked, label));
  EXPECT_FALSE(ticked);
  EXPECT_EQ(label, L"x|y");
  EXPECT_FALSE(FinishActionBox(L"E:+:D:game.exe", ticked, label));
  EXPECT_FALSE(FinishActionBox(L"E:+|:D", ticked, label));

  ResultLayout layout = LayOutResult(true, 120, 23);
  EXPECT_EQ(layout.okTop, 127);
  EXPECT_EQ(layout.clientHeight, 157);
  EXPECT_EQ(LayOutResult(false, 0, 23).okTop, 70);
  EXPECT_EQ(PathWithoutTrailingSeparator(L"C:\\Games\\"), L"C:\\Games");
  EXPECT_EQ(PathWithoutTrailingSeparator(L"C:\\"), L"C:\\");
}
} // namespace
