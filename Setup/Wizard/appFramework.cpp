#include "Setup/Wizard/appFramework.hpp"

#include <commctrl.h>

namespace
{
CWinApp *currentApplication = nullptr;
}

CWinApp::CWinApp() { currentApplication = this; }

CWinApp::~CWinApp()
{
  if (currentApplication == this)
    currentApplication = nullptr;
}

CWinApp *CWinApp::Current() { return currentApplication; }

int CWinApp::Run(HINSTANCE instance)
{
  m_hInstance = instance;
  if (InitInstance())
  {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
    {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return ExitInstance();
}

void EnableControlContainer()
{
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
}

CWaitCursor::CWaitCursor() : _previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}

CWaitCursor::~CWaitCursor() { SetCursor(_previous); }
