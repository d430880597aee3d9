#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

// Writes bytes to path, creating the folders on the way.
void WriteFileAt(const std::filesystem::path &path, const std::string &bytes);
std::string ReadFileAt(const std::filesystem::path &path);
bool Exists(const std::filesystem::path &path);

// Every file and folder below root, as "/"-separated relative names (folders
// end in "/").
std::set<std::string> TreeOf(const std::filesystem::path &root);

// Sets a file's modification time to seconds since 1970 UTC.
void SetModificationTime(const std::filesystem::path &path, std::int64_t seconds);

// Test data.
std::string RandomBytes(std::size_t size, std::uint32_t seed);
std::string RepetitiveText(std::size_t size);

// The split text of a command's output, lines without their ends ("\r\n" on
// Windows counts as one).
std::vector<std::string> Lines(const std::string &text);

// A bank's header as it lies in the file, read without the library.
struct RawBankRecord
{
  std::string name;
  std::uint32_t method = 0;
  std::uint32_t unpackedSize = 0;
  std::uint32_t reserved = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t dataSize = 0;
};

struct RawBank
{
  bool valid = false;
  bool hasVersionRecord = false;
  std::vector<std::pair<std::string, std::string>> properties;
  std::vector<RawBankRecord> members;
  // The record with the empty name that ends the table.
  RawBankRecord terminator;
  // Where the first member's data starts.
  std::size_t dataStart = 0;
  // Members' data, cut from the bytes after the header in record order.
  std::vector<std::string> data;
  // Bytes after the last member's data.
  std::size_t trailing = 0;
};

RawBank ParseRawBank(const std::string &bytes);
