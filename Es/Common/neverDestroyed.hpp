#pragma once

// Holds a process-wide default object (the frame, the memory table, the file
// server) that is built at compile time and never destroyed, so code running
// in static destructors at process end can still call it.
template <class Type> union NeverDestroyed
{
  Type value;
  constexpr NeverDestroyed() : value() {}
  ~NeverDestroyed() {}
};
