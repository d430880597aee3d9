#include "Setup/Wizard/modalDialog.hpp"

CDialog::CDialog(UINT templateId, HWND parent) : _templateId(templateId), _parent(parent) {}

INT_PTR CDialog::DoModal()
{
  const CWinApp *app = CWinApp::Current();
  HINSTANCE instance = app && app->m_hInstance ? app->m_hInstance : GetModuleHandleW(nullptr);
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(_templateId), _parent, DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

bool CDialog::OnCommand(WORD id, WORD notification)
{
  (void)notification;
  if (id == IDOK)
  {
    OnOK();
    return true;
  }
  if (id == IDCANCEL)
  {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_INITDIALOG)
  {
    auto *dialog = reinterpret_cast<CDialog *>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  auto *dialog = reinterpret_cast<CDialog *>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!dialog)
    return FALSE;
  switch (message)
  {
  case WM_COMMAND:
    return dialog->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
  case WM_TIMER:
    dialog->OnTimer(wParam);
    return TRUE;
  case WM_DESTROY:
    dialog->OnDestroy();
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    dialog->m_hWnd = nullptr;
    return TRUE;
  default:
    return FALSE;
  }
}
