#pragma once

#include <string>

// The colon-separated texts of the game-list tasks and the firewall entries.

// A game-list task, "name:program:arguments": the name before the first
// colon, the program up to the second colon (or to the end when there is
// none), the arguments after it (empty when there is none). False when the
// text has no colon at all.
struct GameTask
{
  std::wstring name;
  std::wstring program;
  std::wstring arguments;
};
bool ParseGameTask(const std::wstring &text, GameTask &task);

// A firewall entry, "name:program", cut at its first colon; either part may
// be empty. False when the text has no colon.
bool SplitFirewallEntry(const std::wstring &text, std::wstring &name, std::wstring &program);
