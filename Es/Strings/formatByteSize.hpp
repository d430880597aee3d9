#pragma once

#include "Es/Strings/rString.hpp"

#include <cstdint>

// A byte count for people: the largest unit that keeps the number below 1000,
// with one decimal while the rounded number stays below 10 ("999 B",
// "1.0 KB", "9.5 KB", "10 KB", "999 KB", "1.0 MB", ... "2.5 GB").
RString FormatByteSize(std::uint32_t bytes);
