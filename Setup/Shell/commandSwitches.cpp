#include "Setup/Shell/commandSwitches.hpp"

namespace
{
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Whether text begins with the ASCII prefix, letter case aside.
bool StartsWithBlind(const std::wstring &text, std::size_t at, const wchar_t *prefix)
{
  for (std::size_t i = 0; prefix[i] != L'\0'; ++i)
    if (at + i >= text.size() || AsciiUpper(text[at + i]) != prefix[i])
      return false;
  return true;
}

bool EqualsBlind(const std::wstring &text, const wchar_t *word)
{
  return StartsWithBlind(text, 0, word) && text.size() == std::wstring(word).size();
}

// One pair of quotes around the text, and the blanks outside them, go.
std::wstring Unquoted(std::wstring text)
{
  while (!text.empty() && IsBlank(text.back()))
    text.pop_back();
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
    return text.substr(1, text.size() - 2);
  return text;
}

// A word: up to the next blank outside quotes; the quotes themselves go.
std::wstring ReadWord(const std::wstring &text, std::size_t &at)
{
  std::wstring word;
  bool quoted = false;
  for (; at < text.size() && (quoted || !IsBlank(text[at])); ++at)
  {
    if (text[at] == L'"')
      quoted = !quoted;
    else
      word += text[at];
  }
  return word;
}

// Applies a known switch; false for any other word.
bool ApplySwitch(const std::wstring &word, CommandSwitches &switches)
{
  struct Flag
  {
    const wchar_t *name;
    bool CommandSwitches::*field;
  };
  static const Flag flags[] = {{L"/S", &CommandSwitches::silent},
                               {L"/NOPROMPT", &CommandSwitches::noPrompt},
                               {L"/ALLUSERS", &CommandSwitches::allUsers},
                               {L"/DESKTOP", &CommandSwitches::desktop},
                               {L"/NORESTART", &CommandSwitches::noRestart},
                               {L"/DEBUG", &CommandSwitches::debug}};
  for (const Flag &flag : flags)
    if (EqualsBlind(word, flag.name))
    {
      switches.*flag.field = true;
      return true;
    }
  // A folder with blanks, quoted whole: "/D=C:\My Games".
  if (StartsWithBlind(word, 0, L"/D="))
    switches.installFolder = word.substr(3);
  else if (StartsWithBlind(word, 0, L"/LOG="))
    switches.logFile = word.substr(5);
  else if (StartsWithBlind(word, 0, L"/MODULE="))
    switches.resourceModulePath = word.substr(8);
  else
    return false;
  return true;
}
} // namespace

const wchar_t *const KnownSwitchesText =
    L"/S, /D=<folder>, /ALLUSERS, /DESKTOP, /NORESTART, /NOPROMPT, /LOG=<file>, /MODULE=<path>, /DEBUG";

CommandSwitches ReadCommandSwitches(const std::wstring &arguments)
{
  CommandSwitches switches;
  std::size_t at = 0;
  while (at < arguments.size())
  {
    if (IsBlank(arguments[at]))
    {
      ++at;
      continue;
    }
    // The folder may hold blanks: it is the rest of the line.
    if (StartsWithBlind(arguments, at, L"/D="))
    {
      switches.installFolder = Unquoted(arguments.substr(at + 3));
      switches.used = true;
      break;
    }
    std::wstring word = ReadWord(arguments, at);
    if (ApplySwitch(word, switches))
      switches.used = true;
    else
      switches.unknown.push_back(word);
  }
  return switches;
}

std::wstring ArgumentText(const std::wstring &commandLine)
{
  std::size_t at = 0;
  if (!commandLine.empty() && commandLine[0] == L'"')
  {
    at = commandLine.find(L'"', 1);
    at = at == std::wstring::npos ? commandLine.size() : at + 1;
  }
  while (at < commandLine.size() && !IsBlank(commandLine[at]))
    ++at;
  while (at < commandLine.size() && IsBlank(commandLine[at]))
    ++at;
  return commandLine.substr(at);
}
