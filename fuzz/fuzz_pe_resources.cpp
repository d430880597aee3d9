// Reads a PE image's headers and resource directory from arbitrary bytes, as
// mksetup reads the installer it adds resources to. Whatever the offsets,
// counts and sizes say, the image's end and every resource found must lie
// inside the bytes, and each raw-data resource must be found by its name.
#include "Setup/Data/archiveTrailer.hpp"
#include "Tools/mksetup/peResources.hpp"
#include "fuzz/fuzzCheck.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  ArchiveHostMemory bytes(data, size);
  PeImage image;
  std::string error;
  if (!image.Read(bytes, error))
  {
    Check(!error.empty() && image.Resources().empty());
    return 0;
  }
  Check(image.ImageEnd() <= size);
  for (const PeResource &resource : image.Resources())
  {
    Check(resource.fileOffset <= size && resource.size <= size - resource.fileOffset);
    if (!resource.type.isName && resource.type.number == PeRcdataType && resource.name.isName)
      Check(image.FindRcdata(resource.name.name) != nullptr);
  }
  // The checksum field may lie anywhere, even past the end.
  PeChecksum(bytes, size / 2);
  return 0;
}
