#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// An install log file as the installer writes it into the install folder:
// UTF-8 without a byte-order mark, lines ended by CR LF; the first line is
// the name of the product's uninstall key, every further line a record.
struct InstallLogFile
{
  std::wstring uninstallKeyName;
  std::vector<std::wstring> records;
};

// The largest log read: a product of a hundred thousand files with long
// paths stays far below it.
inline constexpr std::size_t MaxInstallLogBytes = 64u << 20;
// The longest line: a path of the system's longest form and its letter.
inline constexpr std::size_t MaxInstallLogLine = 32800;

// Reads a log's bytes. A lone LF also ends a line; empty lines are skipped.
// False, with the reason in error, for what the installer never writes: more
// than MaxInstallLogBytes, a NUL byte, a line longer than MaxInstallLogLine,
// bytes that are not UTF-8, an empty first line; log is then left empty.
bool ReadInstallLogFile(std::string_view bytes, InstallLogFile &log, std::string &error);
