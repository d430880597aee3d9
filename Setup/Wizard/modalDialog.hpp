#pragma once

#include "Setup/Wizard/appFramework.hpp"

#include <windows.h>

// A modal dialog on a template of the program's resources, with overridable
// handlers. The dialog procedure finds the object through the window's user
// data, set when the window is initialized.
class CDialog : public CObject
{
public:
  CDialog(UINT templateId, HWND parent);

  // Runs the dialog in its own message loop; answers the value given to
  // EndDialog, or -1 when the window could not be made.
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);

  HWND m_hWnd = nullptr;

protected:
  // Returns TRUE to let the system set the focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  // A command from a control or menu; the default ends the dialog with IDOK
  // and IDCANCEL through OnOK and OnCancel. Answers whether it was handled.
  virtual bool OnCommand(WORD id, WORD notification);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnTimer(UINT_PTR id) { (void)id; }
  virtual void OnDestroy() {}

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT _templateId;
  HWND _parent;
};
