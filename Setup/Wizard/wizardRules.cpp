#include "Setup/Wizard/wizardRules.hpp"

#include <commctrl.h>

#include <cwchar>

namespace
{
constexpr double GiB = 1073741824.0;
} // namespace

std::vector<WizardPage> PageSequence(bool infoPage, bool licencePage, bool directXDialog)
{
  std::vector<WizardPage> pages{WizardPage::AllUsers};
  if (infoPage)
    pages.push_back(WizardPage::Info);
  if (licencePage)
    pages.push_back(WizardPage::Licence);
  pages.push_back(WizardPage::Dir);
  if (directXDialog)
    pages.push_back(WizardPage::DirectX);
  pages.push_back(WizardPage::Setup);
  return pages;
}

DWORD WizardButtons(int count, int index, bool licenceBlocksNext, int licencePageIndex)
{
  if (index >= count - 1)
    return 0;
  DWORD buttons = index > 0 ? PSWIZB_BACK : 0;
  if (!(licenceBlocksNext && index == licencePageIndex))
    buttons |= PSWIZB_NEXT;
  return buttons;
}

std::int64_t RequiredSpace(std::int64_t totalSize)
{
  return static_cast<std::int64_t>(static_cast<double>(totalSize) * 1.1 + 10485760.0);
}

std::wstring FreeSpaceText(const std::wstring &format, double availableGiB, double requiredGiB)
{
  // Only floating-point conversions may meet the two numbers: anything else
  // would read arguments that are not there.
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i)
  {
    if (format[i] != L'%')
      continue;
    if (++i < format.size() && format[i] == L'%')
      continue;
    while (i < format.size() && std::wcschr(L"-+ #0", format[i]))
      ++i;
    while (i < format.size() && format[i] >= L'0' && format[i] <= L'9')
      ++i;
    if (i < format.size() && format[i] == L'.')
      for (++i; i < format.size() && format[i] >= L'0' && format[i] <= L'9'; ++i)
        ;
    if (i < format.size() && format[i] == L'l')
      ++i;
    if (i >= format.size() || !std::wcschr(L"fFeEgGaA", format[i]) || ++conversions > 2)
      return format;
  }
  wchar_t text[512];
  int length = std::swprintf(text, sizeof text / sizeof text[0], format.c_str(), availableGiB, requiredGiB);
  return length < 0 ? format : std::wstring(text, static_cast<std::size_t>(length));
}

int ProgressPosition(std::int64_t copied, std::int64_t total)
{
  if (total <= 0 || copied <= 0)
    return 0;
  double position = static_cast<double>(copied) * 100.0 / static_cast<double>(total);
  return position >= 100.0 ? 100 : static_cast<int>(position);
}

std::wstring DirectXVersionText(DWORD version, DWORD revision, const std::wstring &notFound)
{
  if (version == 0 && revision == 0)
    return notFound;
  wchar_t text[64];
  if (HIWORD(version) == 4)
    std::swprintf(text, 64, L"%d.%d", LOWORD(version), HIWORD(revision));
  else if (version >= 0x40000)
    std::swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(version), LOWORD(version), HIWORD(revision), LOWORD(revision));
  else
    return L"3";
  return text;
}

int ResultBoxId(int action)
{
  static const int ids[] = {1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1032, 1031};
  return action >= 0 && action < 10 ? ids[action] : 0;
}

bool FinishActionBox(const std::wstring &line, bool &ticked, std::wstring &label)
{
  if (line.size() <= 6)
    return false;
  std::size_t bar = line.find(L'|', 6);
  if (bar == std::wstring::npos)
    return false;
  ticked = line[2] == L'+';
  label = line.substr(bar + 1);
  return true;
}

ResultLayout LayOutResult(bool hasAnchor, int anchorBottom, int okHeight)
{
  int top = hasAnchor ? anchorBottom + 7 : 70;
  return {top, top + okHeight + 7};
}
