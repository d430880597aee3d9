#pragma once

#include <string>
#include <vector>

// Splits a bank member's name ("\" or "/" separated) into the components of a
// path below the extraction folder. False, with the reason, for a name that
// could land anywhere else or that Windows would not store as written: an
// absolute name ("\x", "/x"), a drive or stream name (any ":"), an empty,
// "." or ".." component, a component ending in "." or " " (Windows drops
// those, turning ".. " into ".."), control characters, and device names
// (CON, NUL, COM1 ...).
bool SplitMemberName(const std::string &name, std::vector<std::string> &components, std::string &reason);
