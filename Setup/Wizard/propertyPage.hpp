#pragma once

#include "Setup/Wizard/appFramework.hpp"
#include "Setup/Wizard/dataExchange.hpp"

#include <windows.h>

#include <commctrl.h>

class CPropertySheet;

// A page of a property sheet on a template of the program's resources. The
// sheet creates the page's window when the page is first shown; the page's
// notifications reach the overridable handlers below.
class CPropertyPage : public CObject
{
public:
  explicit CPropertyPage(UINT templateId) : _templateId(templateId) {}

  // Reads the controls into the variables (save) or fills the controls from
  // them; false when a value was refused (the user has been told).
  bool UpdateData(bool save);
  CPropertySheet *GetSheet() const { return _sheet; }

  HWND m_hWnd = nullptr;

protected:
  virtual void DoDataExchange(CDataExchange &dx) { (void)dx; }
  // The default fills the controls; answers TRUE to let the system set the
  // focus.
  virtual BOOL OnInitDialog();
  // The page becomes the active one; FALSE refuses.
  virtual BOOL OnSetActive() { return TRUE; }
  // The page is left: the default reads the controls and keeps the page when
  // a value is refused (answers false then).
  virtual bool OnKillActive() { return UpdateData(true); }
  // Back and Next: 0 to move on, -1 to stay on the page.
  virtual LRESULT OnWizardBack() { return 0; }
  virtual LRESULT OnWizardNext() { return 0; }
  // A command from a control; answers whether it was handled.
  virtual bool OnCommand(WORD id, WORD notification)
  {
    (void)id, (void)notification;
    return false;
  }
  virtual void OnTimer(UINT_PTR id) { (void)id; }
  // A message of the program's own (WM_APP and above) posted to the page.
  virtual void OnAppMessage(UINT message) { (void)message; }
  virtual void OnDestroy() {}

private:
  friend class CPropertySheet;
  PROPSHEETPAGEW Describe();
  static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnNotify(const NMHDR &header);

  UINT _templateId;
  CPropertySheet *_sheet = nullptr;
};
