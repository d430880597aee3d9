#pragma once

#include <objbase.h>

// COM initialized for a scope, and released on every way out of it when
// the initialization took (a thread already initialized in another mode is
// used as it is).
class ComScope
{
public:
  explicit ComScope(DWORD mode = COINIT_APARTMENTTHREADED) : _initialized(SUCCEEDED(CoInitializeEx(nullptr, mode))) {}
  ComScope(const ComScope &) = delete;
  ComScope &operator=(const ComScope &) = delete;
  ~ComScope()
  {
    if (_initialized)
      CoUninitialize();
  }

private:
  bool _initialized;
};
