#include "Setup/Data/installLogFile.hpp"

#include "Es/Strings/wideText.hpp"

#include <cstdint>

namespace
{
// Whether text is well-formed UTF-8: no stray continuation byte, no
// truncated or overlong sequence, no surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view text)
{
  for (std::size_t at = 0; at < text.size();)
  {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || at + length > text.size())
      return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
    {
      unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80)
        return false;
      code = (code << 6) | (next & 0x3F);
    }
    static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    at += length;
  }
  return true;
}
} // namespace

bool ReadInstallLogFile(std::string_view bytes, InstallLogFile &log, std::string &error)
{
  log = InstallLogFile();
  if (bytes.size() > MaxInstallLogBytes)
  {
    error = "the log is larger than any installer writes";
    return false;
  }
  if (bytes.find('\0') != std::string_view::npos)
  {
    error = "the log holds a NUL byte";
    return false;
  }
  if (!IsUtf8(bytes))
  {
    error = "the log is not UTF-8 text";
    return false;
  }
  InstallLogFile read;
  bool first = true;
  for (std::size_t at = 0; at < bytes.size();)
  {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos)
      end = bytes.size();
    std::string_view line = bytes.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.size() > MaxInstallLogLine)
    {
      error = "a line of the log is longer than any path";
      return false;
    }
    if (first)
    {
      read.uninstallKeyName = WideFromUtf8(line.data(), line.size());
      first = false;
    }
    else if (!line.empty())
      read.records.push_back(WideFromUtf8(line.data(), line.size()));
  }
  if (read.uninstallKeyName.empty())
  {
    error = "the log does not name its uninstall key";
    return false;
  }
  log = std::move(read);
  return true;
}
