#include "El/Stringtable/textLookup.hpp"
#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/wizardPages.hpp"
#include "Setup/Wizard/wizardRules.hpp"
#include "Setup/res/resourceIds.h"

#include <shlobj.h>

namespace
{
constexpr int MaxPathLength = 260;
constexpr double GiB = 1073741824.0;

std::wstring SystemErrorText(DWORD error)
{
  wchar_t *text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  std::wstring message = length ? std::wstring(text, length) : L"Error " + std::to_wstring(error);
  LocalFree(text);
  return message;
}

// What the folder browser's callback needs.
struct BrowseContext
{
  const std::wstring *start;
  const std::wstring *folderName;
};

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data)
{
  const auto &context = *reinterpret_cast<const BrowseContext *>(data);
  if (message == BFFM_INITIALIZED)
  {
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(context.start->c_str()));
    SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(context.start->c_str()));
  }
  else if (message == BFFM_SELCHANGED)
  {
    // Where the product would go: its own folder below the one selected.
    wchar_t folder[MAX_PATH];
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), folder))
    {
      std::wstring target = WithBackslash(folder) + *context.folderName;
      SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(target.c_str()));
    }
  }
  return 0;
}
} // namespace

CWizardPageDir::CWizardPageDir() : CSetupWizardPage(IDD_WIZARD_DIR) {}

void CWizardPageDir::DoDataExchange(CDataExchange &dx)
{
  DDX_Control(dx, IDC_DIR_PATH, _edit);
  DDX_Text(dx, IDC_DIR_PATH, _path);
  DDV_MaxChars(dx, IDC_DIR_PATH, _path, MaxPathLength);
  if (!dx.failed)
    DDX_Text(dx, IDC_DIR_SPACE, _freeSpace);
}

BOOL CWizardPageDir::OnInitDialog()
{
  _path = PathWithoutTrailingSeparator(m_setup->installFolder);
  UpdateFreeSpaceText();
  UpdateData(false);
  PlacePicture(*m_setup, m_hWnd, IDC_DIR_AREA, IDC_DIR_PICTURE, L"\\setup.bmp", L"setup.bmp");
  return TRUE;
}

BOOL CWizardPageDir::OnSetActive()
{
  UpdateFreeSpaceText();
  if (_activated)
    UpdateData(false);
  _activated = true;
  return TRUE;
}

void CWizardPageDir::UpdateFreeSpaceText()
{
  std::size_t backslash = _path.find(L'\\');
  std::wstring drive = backslash == std::wstring::npos ? _path : _path.substr(0, backslash + 1);
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(drive.c_str(), &available, nullptr, nullptr))
  {
    _freeSpace = SystemErrorText(GetLastError());
    return;
  }
  double required = static_cast<double>(m_setup->totalSize) * 1.1 + 10485760.0;
  _freeSpace = FreeSpaceText(LocalizeKey(L"SETUP_WIZARD_DIR_SPACE_AVAILABLE"),
                             static_cast<double>(available.QuadPart) / GiB, required / GiB);
}

bool CWizardPageDir::OnCommand(WORD id, WORD notification)
{
  if (id != IDC_DIR_CHANGE || notification != BN_CLICKED)
    return false;
  Browse();
  return true;
}

void CWizardPageDir::Browse()
{
  CDataExchange read(m_hWnd, true);
  DDX_Text(read, IDC_DIR_PATH, _path);
  BrowseContext context{&_path, &m_setup->browseFolderName};
  BROWSEINFOW info{};
  info.hwndOwner = m_hWnd;
  info.ulFlags = BIF_STATUSTEXT | BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&context);
  // The browser is a shell object: it wants COM on this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info))
  {
    wchar_t folder[MAX_PATH];
    if (SHGetPathFromIDListW(picked, folder))
    {
      _path = WithBackslash(folder) + m_setup->browseFolderName;
      UpdateFreeSpaceText();
      UpdateData(false);
    }
    CoTaskMemFree(picked);
  }
  if (SUCCEEDED(com))
    CoUninitialize();
}

LRESULT CWizardPageDir::OnWizardNext()
{
  if (!UpdateData(true))
    return -1;
  if (_path.empty())
  {
    m_setup->MessageBoxKey(L"SETUP_STR_PLEASE_SELECT_DIRECTORY", MB_ICONWARNING);
    return -1;
  }
  m_setup->installFolder = WithBackslash(_path);
  // A drive whose free space cannot be had is refused like one too small:
  // there is nothing to compare.
  std::wstring root = m_setup->installFolder.substr(0, 3);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  bool measured =
      GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) != FALSE;
  std::int64_t free = static_cast<std::int64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
  if (!measured || free < RequiredSpace(m_setup->totalSize))
  {
    m_setup->MessageBoxKey(L"SETUP_STR_NOT_ENOUGH_SPACE", MB_ICONWARNING);
    return -1;
  }
  return 0;
}
