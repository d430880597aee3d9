#include "Setup/Script/setupObject.hpp"

#include "Setup/Shell/runLog.hpp"

#include "El/Stringtable/textLookup.hpp"
#include "Setup/Shell/setupApp.hpp"

CSetupObject::CSetupObject()
{
  InitializeCriticalSection(&_lock);
  InitializeConditionVariable(&_copyChanged);
}

CSetupObject::~CSetupObject()
{
  StopCopy();
  if (_resourceModule)
    FreeLibrary(_resourceModule);
  DeleteCriticalSection(&_lock);
}

int CSetupObject::MessageBox(const std::wstring &text, UINT type)
{
  std::wstring shown = text;
  const std::wstring &product = ProductName();
  for (std::size_t at = shown.find(L"%0"); at != std::wstring::npos; at = shown.find(L"%0", at + product.size()))
    shown.replace(at, 2, product);
  RunLog::Write(L"message: " + shown);
  if (switches.silent)
    return (type & MB_TYPEMASK) == MB_YESNO || (type & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES : IDOK;
  const CWinApp *app = CWinApp::Current();
  return ShowMessageBox()(shown.c_str(), app ? app->m_pszAppName : L"", type);
}

MessageBoxShower &ShowMessageBox()
{
  static MessageBoxShower shower = [](const wchar_t *text, const wchar_t *caption, UINT type)
  { return ::MessageBoxW(nullptr, text, caption, type); };
  return shower;
}

int CSetupObject::MessageBoxKey(const wchar_t *key, UINT type) { return MessageBox(LocalizeKey(key), type); }

bool CSetupObject::IsCopyRunning()
{
  Lock();
  bool running = _copyRunning != 0;
  Unlock();
  return running;
}

void CSetupObject::SetCopyRunning(bool running)
{
  Lock();
  _copyRunning = running ? 1 : 0;
  Unlock();
}

bool CSetupObject::IsCopyStopRequested()
{
  Lock();
  bool requested = _copyStopRequest != 0;
  Unlock();
  return requested;
}

void CSetupObject::RequestCopyStop()
{
  Lock();
  _copyStopRequest = 1;
  Unlock();
}

void CSetupObject::ClearCopyStopRequest()
{
  Lock();
  _copyStopRequest = 0;
  Unlock();
}

std::int64_t CSetupObject::CopiedBytes()
{
  Lock();
  std::int64_t bytes = _copiedBytes;
  Unlock();
  return bytes;
}

void CSetupObject::AddCopiedBytes(std::int64_t bytes)
{
  Lock();
  _copiedBytes += bytes;
  Unlock();
}

void CSetupObject::ResetCopiedBytes()
{
  Lock();
  _copiedBytes = 0;
  Unlock();
}

void CSetupObject::SetCurrentTexts(const std::wstring &source, const std::wstring &destination)
{
  Lock();
  _currentSource = source;
  _currentDestination = destination;
  Unlock();
}

void CSetupObject::GetCurrentTexts(std::wstring &source, std::wstring &destination)
{
  Lock();
  source = _currentSource;
  destination = _currentDestination;
  Unlock();
}

void CSetupObject::SetCopyError(const std::wstring &key, const std::wstring &path)
{
  Lock();
  _copyErrorKey = key;
  _copyErrorPath = path;
  Unlock();
}

bool CSetupObject::TakeCopyError(std::wstring &text)
{
  Lock();
  if (_copyRunning)
  {
    Unlock();
    return false;
  }
  std::wstring key;
  std::wstring path;
  key.swap(_copyErrorKey);
  path.swap(_copyErrorPath);
  Unlock();
  // An error without a path (no archive found) keeps its text as it is.
  text = key.empty() ? std::wstring() : path.empty() ? LocalizeKey(key) : FormatText(LocalizeKey(key), path);
  return !text.empty();
}

std::wstring &ProductName()
{
  static std::wstring name;
  return name;
}

std::wstring &LanguageSuffix()
{
  static std::wstring suffix;
  return suffix;
}

bool &TestVolumeLabel()
{
  static bool test = true;
  return test;
}
