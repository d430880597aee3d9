// Reads arbitrary bytes as an install log file, the way the uninstaller
// does: what reads has a key name and records within the bounds, every
// record a line of the input.
#include "Setup/Data/installLogFile.hpp"
#include "fuzz/fuzzCheck.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  InstallLogFile log;
  std::string error;
  std::string_view bytes(reinterpret_cast<const char *>(data), size);
  if (!ReadInstallLogFile(bytes, log, error))
  {
    Check(!error.empty());
    return 0;
  }
  Check(!log.uninstallKeyName.empty() && log.records.size() <= size / 2);
  for (const std::wstring &record : log.records)
    Check(!record.empty() && record.size() <= MaxInstallLogLine);
  return 0;
}
