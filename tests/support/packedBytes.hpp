#pragma once

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include <string>

// LZSS-packed bytes of data, as a bank stores a packed member.
inline std::string PackedBytes(const std::string &data)
{
  QIStrStream in(data.data(), static_cast<int>(data.size()));
  QOStrStream out;
  SSCompress().encode(out, in);
  return std::string(out.str(), static_cast<std::size_t>(out.pcount()));
}
