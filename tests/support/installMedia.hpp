#pragma once

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "El/QStream/ssCompress.hpp"
#include "Tools/mksetup/bankWriter.hpp"
#include "tests/support/packedBytes.hpp"

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

// Pieces of installation media built in a test from bytes: packed and gzip
// data, banks, banks appended to a host file.

// The data as one gzip member.
inline std::string GzipBytes(const std::string &data)
{
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct MediaMember
{
  std::string name;
  std::string data;
  bool packed = false;
};

// A bank of the members, in the order given.
inline std::string BankBytes(const std::vector<MediaMember> &members)
{
  BankWriter writer;
  for (const MediaMember &member : members)
    writer.AddMember(member.name, member.packed ? QFBankPacked : QFBankStored,
                     static_cast<std::uint32_t>(member.data.size()), 0,
                     member.packed ? PackedBytes(member.data) : member.data);
  QOStrStream out;
  writer.Write(out);
  return std::string(out.str(), static_cast<std::size_t>(out.pcount()));
}

// The host's bytes with the banks appended and the trailer that lists them.
inline std::string WithAppendedArchives(std::string host, const std::vector<std::string> &banks)
{
  auto word = [&host](std::uint32_t value)
  {
    for (int i = 0; i < 4; ++i)
      host.push_back(static_cast<char>(value >> (8 * i)));
  };
  for (const std::string &bank : banks)
    host += bank;
  host += std::string("BANK", 5);
  word(static_cast<std::uint32_t>(banks.size()));
  for (const std::string &bank : banks)
    word(static_cast<std::uint32_t>(bank.size()));
  word(static_cast<std::uint32_t>(5 + 4 + 4 * banks.size()));
  return host;
}
