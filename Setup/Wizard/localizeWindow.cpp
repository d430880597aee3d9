#include "Setup/Wizard/localizeWindow.hpp"

#include "El/Stringtable/textLookup.hpp"

#include <vector>

namespace
{
std::wstring WindowText(HWND window)
{
  int length = GetWindowTextLengthW(window);
  if (length <= 0)
    return std::wstring();
  // The length may be an overestimate (never less): the copy decides.
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  int copied = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}
} // namespace

void LocalizeWindow(HWND window, const std::wstring &productName)
{
  if (window == nullptr)
    return;
  std::wstring text = WindowText(window);
  // Setting an unchanged text would still repaint and notify the control.
  if (ExpandText(text, true, productName))
    SetWindowTextW(window, text.c_str());
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    LocalizeWindow(child, productName);
}
