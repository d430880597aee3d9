#include "Setup/Wizard/resultDialog.hpp"

#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/localizeWindow.hpp"
#include "Setup/Wizard/wizardRules.hpp"
#include "Setup/res/resourceIds.h"

#include <algorithm>

namespace
{
int ActionCount(const CSetupObject &setup)
{
  return static_cast<int>(std::min<std::size_t>(setup.finishActions.size(), MaxFinishActions));
}
} // namespace

CResultOK::CResultOK(CSetupObject *setup) : CDialog(IDD_RESULT_OK, nullptr), m_setup(setup) {}

BOOL CResultOK::OnInitDialog()
{
  for (int i = 0; i < MaxFinishActions; ++i)
  {
    HWND box = GetDlgItem(m_hWnd, ResultBoxId(i));
    CheckDlgButton(m_hWnd, ResultBoxId(i), BST_UNCHECKED);
    EnableWindow(box, FALSE);
    ShowWindow(box, SW_HIDE);
  }
  for (int i = 0; i < ActionCount(*m_setup); ++i)
  {
    bool ticked = false;
    std::wstring label;
    if (!FinishActionBox(m_setup->finishActions[static_cast<std::size_t>(i)], ticked, label))
      continue;
    HWND box = GetDlgItem(m_hWnd, ResultBoxId(i));
    CheckDlgButton(m_hWnd, ResultBoxId(i), ticked ? BST_CHECKED : BST_UNCHECKED);
    SetWindowTextW(box, label.c_str());
    ShowWindow(box, SW_SHOW);
    EnableWindow(box, TRUE);
  }
  LocalizeWindow(m_hWnd, ProductName());
  LayOut();
  return TRUE;
}

void CResultOK::LayOut()
{
  int count = ActionCount(*m_setup);
  HWND anchor = GetDlgItem(m_hWnd, count > 0 ? ResultBoxId(count - 1) : IDC_RESULT_MESSAGE);
  HWND ok = GetDlgItem(m_hWnd, IDOK);
  if (!ok)
    return;
  RECT anchorBox{};
  if (anchor)
  {
    GetWindowRect(anchor, &anchorBox);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&anchorBox), 2);
  }
  RECT okBox;
  GetWindowRect(ok, &okBox);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&okBox), 2);
  ResultLayout layout = LayOutResult(anchor != nullptr, anchorBox.bottom, okBox.bottom - okBox.top);
  SetWindowPos(ok, nullptr, okBox.left, layout.okTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  RECT client;
  GetClientRect(m_hWnd, &client);
  RECT frame{0, 0, client.right, layout.clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
  RECT window;
  GetWindowRect(m_hWnd, &window);
  SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
}

void CResultOK::OnOK()
{
  for (int i = 0; i < ActionCount(*m_setup); ++i)
    m_setup->finishChoices[i] = IsDlgButtonChecked(m_hWnd, ResultBoxId(i)) == BST_CHECKED ? 1 : 0;
  EndDialog(IDOK);
}
