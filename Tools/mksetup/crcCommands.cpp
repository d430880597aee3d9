#include "El/QStream/qStream.hpp"
#include "Es/Common/crc32Table.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <cstdio>
#include <vector>

namespace
{
// The checksum the installer verifies the file with; false with a message
// when the file cannot be read whole.
bool FileCrc(const std::string &name, std::uint32_t &crc)
{
  std::uint32_t size = 0;
  if (!RegularFileSize(name, size))
    return false;
  QIFStream in;
  in.open(name.c_str());
  if (in.fail())
  {
    ToolMessage("cannot open %s", name.c_str());
    return false;
  }
  Crc32Table engine;
  std::vector<char> chunk(262144);
  std::uint32_t total = 0;
  for (int got; (got = in.read(chunk.data(), static_cast<int>(chunk.size()))) > 0;)
  {
    engine.Crc32Update(chunk.data(), static_cast<std::size_t>(got));
    total += static_cast<std::uint32_t>(got);
  }
  if (total != size)
  {
    ToolMessage("cannot read %s", name.c_str());
    return false;
  }
  crc = engine.Crc32Value();
  return true;
}
} // namespace

int RunCrc(const Arguments &arguments)
{
  WriteBinaryStandardOutput();
  bool failed = false;
  // One file that cannot be read does not stop the others.
  for (const std::string &name : arguments.Positional())
  {
    std::uint32_t crc = 0;
    if (FileCrc(name, crc))
      std::printf("%s %08X\n", name.c_str(), static_cast<unsigned>(crc));
    else
      failed = true;
  }
  if (std::fflush(stdout) != 0)
    return ToolFailure("cannot write the list");
  return failed ? ExitFailure : ExitSuccess;
}
