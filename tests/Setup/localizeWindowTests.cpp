#include "Setup/Wizard/localizeWindow.hpp"

#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"

#include "tests/support/quietFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <map>

namespace
{
// WM_SETTEXT messages each window of the probe class received.
std::map<HWND, int> setTextCounts;

LRESULT CALLBACK CountSetText(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_SETTEXT)
    ++setTextCounts[window];
  return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring TextOf(HWND window)
{
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// A hidden tree under a table loaded, for German, from a file written here:
//   parent (probe)          "$SETUP_TITLE"
//     first (static)        "$SETUP_WELCOME for %0"
//       grandchild (static) "$SETUP_DEEP"
//         great (static)    "$SETUP_MISSING"
//     plain (probe)         "Nothing to expand"
//     last (static)         "%0"
class LocalizeWindowTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    _language = GetStringtableLanguage();
    GStringTables().Clear();
    SetStringtableLanguage("German");
    std::string table = folder.Write("setup.csv", "LANGUAGE,English,German\n"
                                                  "SETUP_TITLE,Setup of %0,Installation von %0\n"
                                                  "SETUP_WELCOME,Welcome,Willkommen\n"
                                                  "SETUP_DEEP,Deep,Tief: $SETUP_WELCOME\n");
    ASSERT_TRUE(LoadStringtable("global", table.c_str(), 0, true));

    WNDCLASSW probe{};
    probe.lpfnWndProc = CountSetText;
    probe.hInstance = GetModuleHandleW(nullptr);
    probe.lpszClassName = L"LocalizeWindowTestProbe";
    RegisterClassW(&probe);
    parent = Create(probe.lpszClassName, L"$SETUP_TITLE", WS_OVERLAPPEDWINDOW, nullptr);
    first = Create(L"STATIC", L"$SETUP_WELCOME for %0", WS_CHILD, parent);
    grandchild = Create(L"STATIC", L"$SETUP_DEEP", WS_CHILD, first);
    great = Create(L"STATIC", L"$SETUP_MISSING", WS_CHILD, grandchild);
    plain = Create(probe.lpszClassName, L"Nothing to expand", WS_CHILD, parent);
    last = Create(L"STATIC", L"%0", WS_CHILD, parent);
    ASSERT_TRUE(parent && first && grandchild && great && plain && last) << "no windows without a display";
    setTextCounts.clear();
  }
  void TearDown() override
  {
    if (parent != nullptr)
      DestroyWindow(parent);
    GStringTables().Clear();
    SetStringtableLanguage(_language);
  }

  static HWND Create(const wchar_t *windowClass, const wchar_t *text, DWORD style, HWND owner)
  {
    return CreateWindowExW(0, windowClass, text, style, 0, 0, 200, 50, owner, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  }

  QuietFrame quiet;
  TempFolder folder;
  HWND parent = nullptr, first = nullptr, grandchild = nullptr, great = nullptr, plain = nullptr, last = nullptr;

private:
  RString _language;
};
} // namespace

TEST_F(LocalizeWindowTest, WindowAndEveryDescendantAreExpanded)
{
  LocalizeWindow(parent, L"Marrowdyne");
  EXPECT_EQ(TextOf(parent), L"Installation von Marrowdyne");
  EXPECT_EQ(TextOf(first), L"Willkommen for Marrowdyne");
  EXPECT_EQ(TextOf(grandchild), L"Tief: Willkommen");
  EXPECT_EQ(TextOf(great), L"SETUP_MISSING ... not localized!");
  EXPECT_EQ(TextOf(last), L"Marrowdyne");
}

TEST_F(LocalizeWindowTest, OnlyChangedTextsAreSet)
{
  LocalizeWindow(parent, L"Marrowdyne");
  EXPECT_EQ(TextOf(plain), L"Nothing to expand");
  EXPECT_EQ(setTextCounts[plain], 0);
  EXPECT_EQ(setTextCounts[parent], 1);
  LocalizeWindow(parent, L"Marrowdyne");
  EXPECT_EQ(setTextCounts[parent], 1);
}

TEST_F(LocalizeWindowTest, SubtreeLeavesItsParentAndSiblingsAlone)
{
  LocalizeWindow(first, L"Marrowdyne");
  EXPECT_EQ(TextOf(grandchild), L"Tief: Willkommen");
  EXPECT_EQ(TextOf(parent), L"$SETUP_TITLE");
  EXPECT_EQ(TextOf(last), L"%0");
}
