#pragma once

#include "Setup/Wizard/appFramework.hpp"
#include "Setup/Wizard/propertyPage.hpp"

#include <vector>

#include <windows.h>

#include <commctrl.h>

// The wizard's button commands, as a sheet's WM_COMMAND carries them.
#ifndef ID_WIZBACK
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025
#endif

// A modal property sheet over the system's PropertySheetW, in wizard mode
// when asked. Its pages' windows are made when each is first shown. The
// sheet's window is subclassed once it exists, so that its commands and
// system commands reach the overridable handlers.
class CPropertySheet : public CObject
{
public:
  explicit CPropertySheet(HWND parent) : _parent(parent) {}

  void AddPage(CPropertyPage *page);
  void SetWizardMode() { _wizard = true; }
  bool IsWizardMode() const { return _wizard; }

  int GetPageCount() const { return static_cast<int>(_pages.size()); }
  // The page's index, or -1 when it is not one of the sheet's.
  int GetPageIndex(const CPropertyPage *page) const;
  // The index of the active page, or -1 while there is none.
  int GetActiveIndex() const;

  // Shows the sheet and runs its modal loop; answers ID_WIZFINISH when the
  // sheet was ended by EndWizard, IDCANCEL for any other ending.
  INT_PTR DoModal();
  // Ends the wizard with the Finish result (its button need not be shown).
  void EndWizard();

  HWND m_hWnd = nullptr;

protected:
  // The sheet's window and its first page exist (the sheet's own
  // initialization is over).
  virtual void OnInitialized() {}
  // WM_COMMAND and WM_SYSCOMMAND of the sheet; the defaults pass them on.
  virtual LRESULT OnCommand(WPARAM wParam, LPARAM lParam) { return Default(WM_COMMAND, wParam, lParam); }
  virtual LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam) { return Default(WM_SYSCOMMAND, wParam, lParam); }
  // The sheet's own handling of a message.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
  static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);

  HWND _parent;
  bool _wizard = false;
  bool _finished = false;
  std::vector<CPropertyPage *> _pages;
};
