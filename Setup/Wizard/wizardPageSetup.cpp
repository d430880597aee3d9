#include "Setup/Install/fileQueries.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/propertySheet.hpp"
#include "Setup/Wizard/wizardPages.hpp"
#include "Setup/Wizard/wizardRules.hpp"
#include "Setup/res/resourceIds.h"

#include <mmsystem.h>

namespace
{
constexpr UINT_PTR TickTimer = 100;
constexpr UINT TickPeriod = 100;
// Posted by the copy worker when it ends a file.
constexpr UINT CopyEnded = WM_APP + 0x52;
constexpr int StateCopying = 11;
} // namespace

CWizardPageSetup::CWizardPageSetup() : CSetupWizardPage(IDD_WIZARD_SETUP) {}

void CWizardPageSetup::DoDataExchange(CDataExchange &dx)
{
  DDX_Control(dx, IDC_STP_PROGRESS, _progress);
  DDX_Control(dx, IDC_STP_PICTURE, _picture);
}

BOOL CWizardPageSetup::OnInitDialog()
{
  CSetupWizardPage::OnInitDialog();
  SendMessageW(_progress, PBM_SETRANGE32, 0, 100);
  SendMessageW(_progress, PBM_SETPOS, 0, 0);
  SetDlgItemTextW(m_hWnd, IDC_STP_FROM, L"");
  SetDlgItemTextW(m_hWnd, IDC_STP_TO, L"");

  m_setup->FillTemporaryFolder();
  std::wstring temporary = m_setup->TemporaryFolder();
  std::wstring sound = temporary.empty() ? std::wstring() : temporary + L"\\data\\setup.wav";
  if (sound.empty() || !CanReadFile(sound))
    sound = m_setup->sourceFolder + L"data\\setup.wav";
  if (CanReadFile(sound))
    PlaySoundW(sound.c_str(), nullptr, SND_ASYNC | SND_FILENAME);

  m_setup->driverState = StateCopyStart;
  _nextPicture = 0;
  m_setup->SetCopyWakeUp(m_hWnd, CopyEnded);
  SetTimer(m_hWnd, TickTimer, TickPeriod, nullptr);
  return TRUE;
}

void CWizardPageSetup::OnTimer(UINT_PTR id)
{
  if (id != TickTimer || _inTick)
    return;
  _inTick = true;
  Tick();
  _inTick = false;
}

void CWizardPageSetup::OnAppMessage(UINT message)
{
  // A file ended: the next one starts now rather than at the next tick, so
  // that a product of many small files does not wait 100 ms for each. The
  // texts and the progress still change once per tick.
  if (message != CopyEnded || _inTick || m_setup->driverState != StateCopying)
    return;
  _inTick = true;
  Advance();
  _inTick = false;
}

void CWizardPageSetup::Advance()
{
  m_setup->Step();
  // While the worker is idle the next file starts at once; the steps after
  // the copy (each quick, or waiting for a program it starts anyway) follow
  // one another without a tick between them, which would only add a second
  // to every installation.
  for (;;)
  {
    int state = m_setup->driverState;
    if (state == StateCopying ? m_setup->IsCopyRunning() : state >= StateResult || state < StateCopying)
      break;
    m_setup->Step();
  }
  if (m_setup->driverState == StateResult || m_setup->driverState == StateEnd)
    Finish();
}

void CWizardPageSetup::Tick()
{
  Advance();
  int state = m_setup->driverState;
  if (state != StateCopying)
    return;
  std::int64_t copied = 0;
  std::wstring source, destination;
  m_setup->Lock();
  copied = m_setup->CopiedBytes();
  m_setup->GetCurrentTexts(source, destination);
  m_setup->Unlock();
  SendMessageW(_progress, PBM_SETPOS, static_cast<WPARAM>(ProgressPosition(copied, m_setup->totalSize)), 0);
  // Labels change only with their texts: redrawing them every tick flickers.
  if (source != _shownSource)
  {
    SetDlgItemTextW(m_hWnd, IDC_STP_FROM, (L" " + source).c_str());
    _shownSource = source;
  }
  if (destination != _shownDestination)
  {
    SetDlgItemTextW(m_hWnd, IDC_STP_TO, (L" " + destination).c_str());
    _shownDestination = destination;
  }
  ShowNextPicture(copied);
}

void CWizardPageSetup::ShowNextPicture(std::int64_t copied)
{
  if (_nextPicture >= m_setup->pictures.size())
    return;
  auto item = std::next(m_setup->pictures.begin(), static_cast<std::ptrdiff_t>(_nextPicture));
  CPictureItem &picture = **item;
  if (copied < picture.threshold)
    return;
  if (picture.bitmap)
  {
    HWND area = GetDlgItem(m_hWnd, IDC_STP_AREA);
    RECT box;
    GetWindowRect(area, &box);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&box), 2);
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    if (HANDLE scaled = CopyImage(picture.bitmap, IMAGE_BITMAP, width, height, LR_COPYDELETEORG))
      picture.bitmap = static_cast<HBITMAP>(scaled);
    // The control keeps showing the picture; the list keeps owning it.
    SendMessageW(_picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.bitmap));
    MoveWindow(_picture, box.left, box.top, width, height, TRUE);
    ShowWindow(_picture, SW_SHOW);
  }
  ++_nextPicture;
}

void CWizardPageSetup::Finish()
{
  KillTimer(m_hWnd, TickTimer);
  m_setup->SetCopyWakeUp(nullptr, 0);
  m_setup->StopCopy();
  GetSheet()->EndWizard();
}

void CWizardPageSetup::OnDestroy()
{
  PlaySoundW(nullptr, nullptr, 0);
  KillTimer(m_hWnd, TickTimer);
  m_setup->SetCopyWakeUp(nullptr, 0);
}
