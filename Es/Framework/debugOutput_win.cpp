#include "Es/Framework/debugOutput.hpp"

#include "Es/Framework/appFrame.hpp"

#include <windows.h>

void WriteDebugOutput(const char *line)
{
  // The line holds at most 511 bytes, so 512 UTF-16 units always suffice; a
  // failed conversion leaves an empty line rather than garbage.
  wchar_t wide[LogLineBufferSize];
  int converted = MultiByteToWideChar(CP_ACP, 0, line, -1, wide, LogLineBufferSize);
  if (converted <= 0)
    wide[0] = L'\0';
  wide[LogLineBufferSize - 1] = L'\0';
  OutputDebugStringW(wide);
}
