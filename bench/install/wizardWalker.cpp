// Walks setup.exe's wizard for the install benchmark, so that the program
// measured is setup.exe itself: presses Next on each page as soon as it is
// offered (accepting a licence first) and OK on the result dialog. Runs
// until it is ended.
//
//   install_wizard_walker

#include <windows.h>

#include <commctrl.h>

#include <vector>

namespace
{
constexpr int NextButton = 0x3024;
constexpr int LicenceAgree = 1047;
constexpr int ResultMessage = 1033;

BOOL CALLBACK Collect(HWND window, LPARAM list)
{
  reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
  return TRUE;
}

bool Usable(HWND control) { return control && IsWindowVisible(control) && IsWindowEnabled(control); }
} // namespace

int wmain()
{
  HWND lastPage = nullptr;
  HWND lastResult = nullptr;
  for (;;)
  {
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    // A window handle may come back in the next run: what was pressed is
    // forgotten as soon as its window is gone.
    if (lastPage && !IsWindow(lastPage))
      lastPage = nullptr;
    if (lastResult && !IsWindow(lastResult))
      lastResult = nullptr;
    for (HWND window : windows)
    {
      if (!IsWindowVisible(window))
        continue;
      if (HWND next = GetDlgItem(window, NextButton))
      {
        HWND page = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (!page || page == lastPage)
          continue;
        HWND agree = GetDlgItem(page, LicenceAgree);
        if (agree && SendMessageW(agree, BM_GETCHECK, 0, 0) != BST_CHECKED)
          PostMessageW(agree, BM_CLICK, 0, 0);
        else if (Usable(next))
        {
          lastPage = page;
          PostMessageW(next, BM_CLICK, 0, 0);
        }
      }
      else if (GetDlgItem(window, ResultMessage) && window != lastResult)
      {
        lastResult = window;
        PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
      }
    }
    Sleep(10);
  }
}
