#include "Tools/mksetup/bankWriter.hpp"

#include "El/QStream/qStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Es/Framework/appFrame.hpp"

#include <memory>
#include <utility>

namespace
{
// Size of an entry record after its name: method, unpacked size, reserved,
// timestamp, data size.
constexpr std::uint64_t RecordFieldsSize = 20;

void WriteString(QOStream &out, const std::string &text)
{
  out.write(text.data(), static_cast<QFileSize>(text.size()));
  out.put('\0');
}

void WriteU32(QOStream &out, std::uint32_t value)
{
  for (int shift = 0; shift < 32; shift += 8)
    out.put(static_cast<char>((value >> shift) & 0xff));
}

void WriteRecord(QOStream &out, const std::string &name, std::uint32_t method, std::uint32_t unpackedSize,
                 std::uint32_t timestamp, std::uint32_t dataSize)
{
  WriteString(out, name);
  WriteU32(out, method);
  WriteU32(out, unpackedSize);
  WriteU32(out, 0);
  WriteU32(out, timestamp);
  WriteU32(out, dataSize);
}

bool HasZeroByte(const std::string &text) { return text.find('\0') != std::string::npos; }

// Copies exactly size bytes of the file to out; false with a message when
// the file is missing, shorter or longer (it changed since it was measured).
bool CopyFileData(QOStream &out, const std::string &path, std::uint64_t size)
{
  QIFStream in;
  in.open(path.c_str());
  if (in.fail())
  {
    ErrorMessageF("Cannot open %s", path.c_str());
    return false;
  }
  constexpr int BlockSize = 262144;
  std::unique_ptr<char[]> block(new char[BlockSize]);
  std::uint64_t copied = 0;
  for (int got; (got = in.read(block.get(), BlockSize)) > 0;)
  {
    copied += static_cast<std::uint64_t>(got);
    if (copied > size)
      break;
    out.write(block.get(), static_cast<QFileSize>(got));
  }
  if (copied != size)
  {
    ErrorMessageF("%s changed while the bank was made", path.c_str());
    return false;
  }
  return true;
}
} // namespace

void BankWriter::AddProperty(std::string key, std::string value)
{
  _versionRecord = true;
  _properties.push_back({std::move(key), std::move(value)});
}

void BankWriter::AddMember(std::string name, std::uint32_t method, std::uint32_t unpackedSize, std::uint32_t timestamp,
                           std::string data)
{
  std::uint64_t dataSize = data.size();
  _members.push_back({std::move(name), method, unpackedSize, timestamp, std::move(data), dataSize, {}});
}

void BankWriter::AddFileMember(std::string name, std::uint32_t method, std::uint32_t unpackedSize,
                               std::uint32_t timestamp, std::uint32_t dataSize, std::string dataPath)
{
  _members.push_back({std::move(name), method, unpackedSize, timestamp, {}, dataSize, std::move(dataPath)});
}

std::uint64_t BankWriter::HeaderSize() const
{
  std::uint64_t size = 1 + RecordFieldsSize; // the terminating record
  if (_versionRecord)
  {
    size += 1 + RecordFieldsSize + 1; // the version record and the empty key after the pairs
    for (const Property &property : _properties)
      size += property.key.size() + 1 + property.value.size() + 1;
  }
  for (const Member &member : _members)
    size += member.name.size() + 1 + RecordFieldsSize;
  return size;
}

std::uint64_t BankWriter::TotalSize() const
{
  std::uint64_t size = HeaderSize();
  for (const Member &member : _members)
    size += member.dataSize;
  return size;
}

bool BankWriter::CanWrite() const
{
  for (const Property &property : _properties)
  {
    // An empty key is the end of the list.
    if (property.key.empty())
    {
      ErrorMessageF("Bank property with an empty key");
      return false;
    }
    if (HasZeroByte(property.key) || HasZeroByte(property.value))
    {
      ErrorMessageF("Bank property '%s' holds a zero byte", property.key.c_str());
      return false;
    }
  }
  for (const Member &member : _members)
  {
    // An empty name is the terminating record.
    if (member.name.empty())
    {
      ErrorMessageF("Bank member with an empty name");
      return false;
    }
    if (member.name.size() > static_cast<std::size_t>(QFBankMaxNameLength))
    {
      ErrorMessageF("Bank member name longer than %d characters: %.60s...", QFBankMaxNameLength, member.name.c_str());
      return false;
    }
    if (HasZeroByte(member.name))
    {
      ErrorMessageF("Bank member name holds a zero byte: %s", member.name.c_str());
      return false;
    }
  }
  // Data positions and sizes are 32-bit.
  std::uint64_t total = TotalSize();
  if (total > UINT32_MAX)
  {
    ErrorMessageF("Bank of %llu bytes: a bank must stay below 4 GiB", static_cast<unsigned long long>(total));
    return false;
  }
  return true;
}

bool BankWriter::Write(QOStream &out) const
{
  if (!CanWrite())
    return false;
  if (_versionRecord)
  {
    WriteRecord(out, std::string(), QFBankVersion, 0, 0, 0);
    for (const Property &property : _properties)
    {
      WriteString(out, property.key);
      WriteString(out, property.value);
    }
    out.put('\0');
  }
  for (const Member &member : _members)
    WriteRecord(out, member.name, member.method, member.unpackedSize, member.timestamp,
                static_cast<std::uint32_t>(member.dataSize));
  WriteRecord(out, std::string(), 0, 0, 0, 0);
  for (const Member &member : _members)
  {
    if (member.dataPath.empty())
      out.write(member.data.data(), static_cast<QFileSize>(member.data.size()));
    else if (!CopyFileData(out, member.dataPath, member.dataSize))
      return false;
  }
  if (out.Failed())
  {
    ErrorMessageF("Bank could not be written");
    return false;
  }
  return true;
}
