#include "El/QStream/lsError.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/toolFiles.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>

namespace
{
// The packed form of n bytes is at most n literals, a flag byte for every
// eight of them and the 4-byte checksum; it must stay below 4 GiB.
constexpr std::uint64_t MaxPackableSize = (UINT32_MAX - 5ull) / 9 * 8;

// The decoder takes a long (32 bits on Windows) and the output stream counts
// 32-bit positions.
constexpr unsigned long long MaxUnpackedSize = std::min<unsigned long long>(LONG_MAX, UINT32_MAX);

// The most an LZSS stream of packedSize bytes can unpack to: a flag byte and
// eight two-byte references of 18 bytes each turn 17 packed bytes into 144.
// The slack covers the checksum and a short last group.
unsigned long long UnpackLimit(std::uint32_t packedSize) { return 9ull * packedSize + 16; }

int CloseOutput(QOFStream &out, const char *name)
{
  if (out.Close() != 0 || out.Failed())
    return ToolFailure("cannot write %s: %s", name, LSErrorText(out.error()));
  return ExitSuccess;
}
} // namespace

int RunLzssEncode(const Arguments &arguments)
{
  const std::string &inName = arguments[0];
  const std::string &outName = arguments[1];
  std::uint32_t size = 0;
  if (!RegularFileSize(inName, size))
    return ExitFailure;
  if (size > MaxPackableSize)
    return ToolFailure("%s is too large to pack: the packed form could reach 4 GiB", inName.c_str());

  QIFStream in;
  in.open(inName.c_str());
  if (in.fail())
    return ToolFailure("cannot open %s", inName.c_str());
  ReplacingFile file(outName);
  QOFStream out(file.TemporaryName());
  if (out.Failed())
    return ToolFailure("cannot create %s: %s", file.TemporaryName(), LSErrorText(out.error()));

  SSCompress().encode(out, in);
  // The encoder stops where the input stops delivering: short of the size
  // means a read failed, not that the file was packed.
  if (in.tellg() != size)
    return ToolFailure("cannot read %s", inName.c_str());
  in.close();
  if (int result = CloseOutput(out, file.TemporaryName()))
    return result;
  return file.Commit() ? ExitSuccess : ExitFailure;
}

int RunLzssDecode(const Arguments &arguments)
{
  const std::string &inName = arguments[1];
  const std::string &outName = arguments[2];
  unsigned long long size = 0;
  if (!ParseDecimal(arguments[0], size))
    return arguments.UsageError("the size must be a decimal number of bytes, not '%s'", arguments[0].c_str());
  std::uint32_t packedSize = 0;
  if (!RegularFileSize(inName, packedSize))
    return ExitFailure;
  if (size > UnpackLimit(packedSize))
    return ToolFailure("%llu bytes cannot come out of %u packed bytes (at most %llu do); not unpacking", size,
                       static_cast<unsigned>(packedSize), UnpackLimit(packedSize));
  if (size > MaxUnpackedSize)
    return ToolFailure("%llu bytes are more than this build can unpack (at most %llu)", size, MaxUnpackedSize);

  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size > 0 ? size : 1]);
  if (!buffer)
    return ToolFailure("not enough memory to unpack %llu bytes", size);
  QIFStream in;
  in.open(inName.c_str());
  if (in.fail())
    return ToolFailure("cannot open %s", inName.c_str());
  if (!SSCompress().decode(buffer.get(), static_cast<long>(size), in))
    return ToolFailure("%s does not unpack to %llu bytes", inName.c_str(), size);
  in.close();

  ReplacingFile file(outName);
  QOFStream out(file.TemporaryName());
  if (out.Failed())
    return ToolFailure("cannot create %s: %s", file.TemporaryName(), LSErrorText(out.error()));
  out.write(buffer.get(), static_cast<QFileSize>(size));
  if (int result = CloseOutput(out, file.TemporaryName()))
    return result;
  return file.Commit() ? ExitSuccess : ExitFailure;
}
