#pragma once

#include "El/QStream/fileBuffer.hpp"
#include "El/QStream/qbStream.hpp"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

// The bytes of a bank of stored members, written field by field without the
// library: the entry records, the terminating record, then the data.
inline std::string StoredBankBytes(std::initializer_list<std::pair<std::string, std::string>> members)
{
  std::string bytes;
  auto word = [&bytes](std::uint32_t value)
  {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<char>(value >> (8 * i)));
  };
  for (const auto &[name, data] : members)
  {
    bytes += name;
    bytes.push_back('\0');
    auto size = static_cast<std::uint32_t>(data.size());
    for (std::uint32_t value : {0u, size, 0u, 0u, size})
      word(value);
  }
  bytes.push_back('\0');
  for (int i = 0; i < 5; ++i)
    word(0);
  for (const auto &member : members)
    bytes += member.second;
  return bytes;
}

// A bank opened on bytes held in memory for the object's lifetime.
struct MemoryBank
{
  explicit MemoryBank(std::string data) : bytes(std::move(data))
  {
    opened =
        bank.OpenMemory(new FileBufferFromMemory(bytes.data(), static_cast<QFileSize>(bytes.size())), nullptr, nullptr);
  }
  explicit MemoryBank(std::initializer_list<std::pair<std::string, std::string>> members)
      : MemoryBank(StoredBankBytes(members))
  {
  }
  MemoryBank(const MemoryBank &) = delete;
  MemoryBank &operator=(const MemoryBank &) = delete;

  std::string bytes;
  QFBank bank;
  bool opened = false;
};
