#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line's switches, words beginning with "/" (any letter case).
// A command line with at least one known switch is read this way; one
// without any keeps the single-argument rule (a resource module, "-debug").
struct CommandSwitches
{
  // A known switch was given: the rest of these fields hold.
  bool used = false;
  // /S: no wizard, no message box, no result dialog; questions take their
  // safe answer and errors end the run with its exit code.
  bool silent = false;
  // /NOPROMPT: a missing medium is an error instead of a prompt.
  bool noPrompt = false;
  // /ALLUSERS: the all-users choice.
  bool allUsers = false;
  // /DESKTOP: the desktop shortcuts, as the ticked finish action makes them.
  bool desktop = false;
  // /NORESTART: never restart; the exit code says when one is needed.
  bool noRestart = false;
  // /DEBUG
  bool debug = false;
  // /D=<folder>: the rest of the command line, blanks included; one pair of
  // quotes around it is taken away.
  std::optional<std::wstring> installFolder;
  // /LOG=<file>
  std::wstring logFile;
  // /MODULE=<path>: the module holding the named data resources.
  std::wstring resourceModulePath;
  // Words that are no known switch, as given.
  std::vector<std::wstring> unknown;
};

// Reads the arguments' text (the command line after the program's name).
CommandSwitches ReadCommandSwitches(const std::wstring &arguments);

// The command line without the program's name (quoted or up to the first
// blank) and the blanks after it.
std::wstring ArgumentText(const std::wstring &commandLine);

// What the message about an unknown switch lists.
extern const wchar_t *const KnownSwitchesText;
