#pragma once

#include "Es/Framework/appFrame.hpp"

// Installs itself as the application frame for its lifetime and drops every
// line: for benchmarks and fuzz targets, where library reports are noise.
class QuietFrame : public AppFrameFunctions
{
public:
  QuietFrame() { _previous = SetAppFrameFunctions(this); }
  ~QuietFrame() override { SetAppFrameFunctions(_previous); }
  void Log(const char *, va_list) override {}

private:
  AppFrameFunctions *_previous = nullptr;
};
