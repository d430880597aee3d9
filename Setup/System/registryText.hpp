#pragma once

#include <string>

// The texts the registry step writes, computed without the registry.

// Registry data with its references expanded: "%%" gives "%", "%(NAME)" the
// value of NAME (only INSTALL_PATH, any letter case, is known: the install
// folder without its last character, its trailing backslash; any other name
// gives nothing), "%(" without a closing parenthesis ends the text, and a
// "%" before any other character is dropped. Done in wide text throughout,
// so that an install folder outside the ANSI code page reaches the registry
// as it is.
std::wstring ExpandRegistryData(const std::wstring &data, const std::wstring &installFolder);

// One file type of the script: "extension:class:program:icon", the icon
// index being everything after the third colon.
struct FileTypeEntry
{
  std::wstring extension;
  std::wstring className;
  std::wstring program;
  std::wstring iconIndex;
};

// False for a text with fewer than three colons, which names no sensible
// association.
bool ParseFileType(const std::wstring &text, FileTypeEntry &entry);

// The open command of a file type: the program's full path in double quotes,
// a blank and "%1" in double quotes.
std::wstring OpenCommand(const std::wstring &programPath);
