#pragma once

#include <string>

// The outcomes of the prerequisite installers, decided without running them.

// The installation result after the DirectX setup call answered setupResult:
// a negative answer is the DirectX error (-2); a positive one asks for a
// restart (-1), unless an earlier outcome is already recorded; zero changes
// nothing.
int DirectXResultAfter(int result, int setupResult);

// How starting the OpenAL installer went.
enum class InstallerStart
{
  Ran,
  Missing,
  Failed
};

// What the OpenAL step tells the user: nothing (both empty), a stringtable
// key, or, for an exit code without a text of its own, a fixed English text
// with the code.
struct OpenALMessage
{
  std::wstring key;
  std::wstring text;
};
OpenALMessage OpenALMessageFor(InstallerStart start, long exitCode);
