#pragma once

// A property of the target that must hold: its failure stops the fuzzer
// with a crash it reports and keeps.
inline void Check(bool condition)
{
  if (!condition)
    __builtin_trap();
}
