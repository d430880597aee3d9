#include "Setup/Wizard/dataExchange.hpp"

#include "Setup/Wizard/appFramework.hpp"

#include <vector>

void CDataExchange::Fail(int id, const std::wstring &text)
{
  const CWinApp *app = CWinApp::Current();
  MessageBoxW(dialog, text.c_str(), app ? app->m_pszAppName : L"Setup", MB_OK | MB_ICONWARNING);
  if (HWND control = GetDlgItem(dialog, id))
  {
    SetFocus(control);
    SendMessageW(control, EM_SETSEL, 0, -1);
  }
  failed = true;
}

void DDX_Check(CDataExchange &dx, int id, int &value)
{
  if (dx.saveAndValidate)
    value = IsDlgButtonChecked(dx.dialog, id) == BST_CHECKED ? 1 : 0;
  else
    CheckDlgButton(dx.dialog, id, value ? BST_CHECKED : BST_UNCHECKED);
}

void DDX_Radio(CDataExchange &dx, int firstId, int &index)
{
  // The group runs from its first button up to the next control that starts
  // a group of its own.
  HWND button = GetDlgItem(dx.dialog, firstId);
  if (dx.saveAndValidate)
    index = -1;
  for (int i = 0; button; ++i)
  {
    if (dx.saveAndValidate)
    {
      if (SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
        index = i;
    }
    else
      SendMessageW(button, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    button = GetWindow(button, GW_HWNDNEXT);
    if (!button || (GetWindowLongW(button, GWL_STYLE) & WS_GROUP))
      break;
  }
}

void DDX_Text(CDataExchange &dx, int id, std::wstring &value)
{
  HWND control = GetDlgItem(dx.dialog, id);
  if (!dx.saveAndValidate)
  {
    SetWindowTextW(control, value.c_str());
    return;
  }
  int length = GetWindowTextLengthW(control);
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
  GetWindowTextW(control, text.data(), length + 1);
  value = text.data();
}

void DDV_MaxChars(CDataExchange &dx, int id, const std::wstring &value, int maxChars)
{
  if (!dx.saveAndValidate)
  {
    SendDlgItemMessageW(dx.dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    return;
  }
  if (value.size() > static_cast<std::size_t>(maxChars))
    dx.Fail(id, L"Please enter no more than " + std::to_wstring(maxChars) + L" characters.");
}

void DDX_Control(CDataExchange &dx, int id, HWND &control) { control = GetDlgItem(dx.dialog, id); }
