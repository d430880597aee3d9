#pragma once

#include "Es/Framework/appFrame.hpp"

#include <cstdio>
#include <string>
#include <vector>

// Installs itself as the application frame for its lifetime and keeps every
// line sent to it. It overrides Log alone, so all the default channels that
// forward to Log land here too; `channels` records which slot was entered.
class CapturingFrame : public AppFrameFunctions
{
public:
  CapturingFrame() { _previous = SetAppFrameFunctions(this); }
  ~CapturingFrame() override { SetAppFrameFunctions(_previous); }

  void Log(const char *format, va_list argptr) override
  {
    char line[2048];
    std::vsnprintf(line, sizeof line, format, argptr);
    lines.emplace_back(line);
  }

  bool Contains(const std::string &text) const
  {
    for (const std::string &line : lines)
      if (line.find(text) != std::string::npos)
        return true;
    return false;
  }

  std::vector<std::string> lines;

private:
  AppFrameFunctions *_previous = nullptr;
};
