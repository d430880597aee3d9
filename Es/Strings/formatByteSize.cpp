#include "Es/Strings/formatByteSize.hpp"

RString FormatByteSize(std::uint32_t bytes)
{
  constexpr double KB = 1024.0;
  constexpr double MB = 1048576.0;
  constexpr double GB = 1073741824.0;
  // 9728 = 9.5 KB and 1023488 = 999.5 KB: the points where the rounded
  // number would reach 10 or 1000 of the unit. Likewise for MB.
  RString text;
  if (bytes < 1000)
    text.Format("%d B", static_cast<int>(bytes));
  else if (bytes < 9728)
    text.Format("%.1f KB", bytes / KB);
  else if (bytes < 1023488)
    text.Format("%.0f KB", bytes / KB);
  else if (bytes < 9961472)
    text.Format("%.1f MB", bytes / MB);
  else if (bytes < 1048051712)
    text.Format("%.0f MB", bytes / MB);
  else
    text.Format("%.1f GB", bytes / GB);
  return text;
}
