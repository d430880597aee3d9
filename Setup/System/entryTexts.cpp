#include "Setup/System/entryTexts.hpp"

bool ParseGameTask(const std::wstring &text, GameTask &task)
{
  std::size_t first = text.find(L':');
  if (first == std::wstring::npos)
    return false;
  std::size_t second = text.find(L':', first + 1);
  task.name = text.substr(0, first);
  if (second == std::wstring::npos)
  {
    task.program = text.substr(first + 1);
    task.arguments.clear();
  }
  else
  {
    task.program = text.substr(first + 1, second - first - 1);
    task.arguments = text.substr(second + 1);
  }
  return true;
}

bool SplitFirewallEntry(const std::wstring &text, std::wstring &name, std::wstring &program)
{
  std::size_t colon = text.find(L':');
  if (colon == std::wstring::npos)
    return false;
  name = text.substr(0, colon);
  program = text.substr(colon + 1);
  return true;
}
