#include "tests/Tools/mksetup/mksetupTestFiles.hpp"

#include <chrono>
#include <fstream>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

void WriteFileAt(const fs::path &path, const std::string &bytes)
{
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileAt(const fs::path &path)
{
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  char block[65536];
  while (in.read(block, sizeof block) || in.gcount() > 0)
    bytes.append(block, static_cast<std::size_t>(in.gcount()));
  return bytes;
}

bool Exists(const fs::path &path)
{
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::set<std::string> TreeOf(const fs::path &root)
{
  std::set<std::string> names;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
    names.insert(it->path().lexically_relative(root).generic_string() + (it->is_directory() ? "/" : ""));
  return names;
}

void SetModificationTime(const fs::path &path, std::int64_t seconds)
{
  auto time = std::chrono::sys_seconds(std::chrono::seconds(seconds));
  fs::last_write_time(path, std::chrono::file_clock::from_sys(time));
}

std::string RandomBytes(std::size_t size, std::uint32_t seed)
{
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char &c : bytes)
    c = static_cast<char>(generator() & 0xff);
  return bytes;
}

std::string RepetitiveText(std::size_t size)
{
  static const std::string verse = "The quick brown fox jumps over the lazy dog; the dog sleeps on.\n";
  std::string text;
  while (text.size() < size)
    text += verse;
  text.resize(size);
  return text;
}

std::vector<std::string> Lines(const std::string &text)
{
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size())
  {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

namespace
{
class Reader
{
public:
  explicit Reader(const std::string &bytes) : _bytes(bytes) {}

  bool String(std::string &text)
  {
    std::size_t end = _bytes.find('\0', _position);
    if (end == std::string::npos)
      return false;
    text = _bytes.substr(_position, end - _position);
    _position = end + 1;
    return true;
  }
  bool U32(std::uint32_t &value)
  {
    if (_bytes.size() - _position < 4)
      return false;
    value = 0;
    for (int i = 3; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(_bytes[_position + static_cast<std::size_t>(i)]);
    _position += 4;
    return true;
  }
  bool Record(RawBankRecord &record)
  {
    return String(record.name) && U32(record.method) && U32(record.unpackedSize) && U32(record.reserved) &&
           U32(record.timestamp) && U32(record.dataSize);
  }
  std::size_t Position() const { return _position; }

private:
  const std::string &_bytes;
  std::size_t _position = 0;
};
} // namespace

RawBank ParseRawBank(const std::string &bytes)
{
  RawBank bank;
  Reader reader(bytes);
  RawBankRecord record;
  if (!reader.Record(record))
    return bank;
  if (record.name.empty() && record.method == 0x56657273)
  {
    bank.hasVersionRecord = true;
    for (;;)
    {
      std::string key, value;
      if (!reader.String(key))
        return bank;
      if (key.empty())
        break;
      if (!reader.String(value))
        return bank;
      bank.properties.emplace_back(key, value);
    }
    if (!reader.Record(record))
      return bank;
  }
  while (!record.name.empty())
  {
    bank.members.push_back(record);
    if (!reader.Record(record))
      return bank;
  }
  bank.terminator = record;
  bank.dataStart = reader.Position();
  std::size_t position = bank.dataStart;
  for (const RawBankRecord &member : bank.members)
  {
    if (bytes.size() - position < member.dataSize)
      return bank;
    bank.data.push_back(bytes.substr(position, member.dataSize));
    position += member.dataSize;
  }
  bank.trailing = bytes.size() - position;
  bank.valid = true;
  return bank;
}
