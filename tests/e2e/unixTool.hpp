#pragma once

#include <string>

namespace e2e
{
// Runs a program of the Linux side (Wine starts those too) with the Linux
// path of a Windows file as its one argument, and answers what it printed on
// its output and error streams. False when the path has no Linux form or
// the program cannot be started. Lets an independent reader check what the
// installer wrote.
bool RunUnixTool(const char *tool, const std::wstring &windowsFile, std::string &output);
} // namespace e2e
