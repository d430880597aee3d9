#include "Es/Framework/debugOutput.hpp"

#include <cstdio>

void WriteDebugOutput(const char *line)
{
  std::fputs(line, stderr);
  std::fflush(stderr);
}
