#include "Es/Strings/wideText.hpp"

#include <windows.h>

#include <climits>

// The system's ANSI code page. Characters it lacks become the system's default
// character ("?"). The conversion functions count in int: a text beyond
// INT_MAX units is cut there, which no text of this program comes near.
std::string AnsiFromWide(const std::wstring &text)
{
  if (text.empty())
    return std::string();
  int length = text.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0)
    return std::string();
  std::string out(static_cast<std::size_t>(needed), '\0');
  int written = WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::wstring WideFromAnsi(const std::string &text)
{
  if (text.empty())
    return std::wstring();
  int length = text.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(text.size());
  int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0)
    return std::wstring();
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  int written = MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), needed);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}
