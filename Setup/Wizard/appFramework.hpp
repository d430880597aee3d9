#pragma once

#include <windows.h>

// The root of the installer's object classes.
class CObject
{
public:
  virtual ~CObject() = default;
};

// The application object. The program has exactly one, a global built before
// the entry point runs; the entry point calls Run. A program that does all its
// work in InitInstance answers false there, and the process then ends after
// ExitInstance without ever entering a message loop.
class CWinApp : public CObject
{
public:
  CWinApp();
  ~CWinApp() override;

  virtual bool InitInstance() { return false; }
  // Answers the process exit code.
  virtual int ExitInstance() { return 0; }

  // InitInstance; a message loop only when it answered true; ExitInstance.
  int Run(HINSTANCE instance);

  // The caption of message boxes and windows that have none of their own.
  const wchar_t *m_pszAppName = L"Setup";
  HINSTANCE m_hInstance = nullptr;
  // The window that stands for the program while it is shown (the wizard's
  // sheet); null when there is none.
  HWND m_hMainWnd = nullptr;

  // The one application object, or null.
  static CWinApp *Current();
};

// Turns on the common controls (version 6 through the manifest) that the
// dialogs and the property sheet use.
void EnableControlContainer();

// Shows the wait cursor for the object's lifetime.
class CWaitCursor
{
public:
  CWaitCursor();
  CWaitCursor(const CWaitCursor &) = delete;
  CWaitCursor &operator=(const CWaitCursor &) = delete;
  ~CWaitCursor();

private:
  HCURSOR _previous;
};
