#pragma once

#include "El/QStream/qOStream.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Builds a data bank and writes it out (the layout is described in
// El/QStream/qbStream.hpp). Members keep the order they were added in, both
// in the table and in the data. A member's data is held in memory or read
// from a file while the bank is written. Names are written as given: this is the
// format's writer, and callers (tests among them) may need banks that a
// careful reader has to refuse.
class BankWriter
{
public:
  // Writes the version record and the property list (possibly empty) before
  // the member records.
  void SetVersionRecord(bool write) { _versionRecord = write; }
  // Adds a pair to the property list; implies the version record.
  void AddProperty(std::string key, std::string value);
  // data is what the bank stores: for a packed member, the packed bytes.
  void AddMember(std::string name, std::uint32_t method, std::uint32_t unpackedSize, std::uint32_t timestamp,
                 std::string data);
  // The member's data are the dataSize bytes of the file at dataPath, read
  // when the bank is written.
  void AddFileMember(std::string name, std::uint32_t method, std::uint32_t unpackedSize, std::uint32_t timestamp,
                     std::uint32_t dataSize, std::string dataPath);

  int MemberCount() const { return static_cast<int>(_members.size()); }
  // Bytes before the first member's data.
  std::uint64_t HeaderSize() const;
  // The size of the whole bank.
  std::uint64_t TotalSize() const;

  // Writes the whole bank. False, with a message on the error frame, when the
  // bank cannot be represented (an empty name or key, a name over 1023
  // characters, a zero byte inside a string, 4 GiB or more in all) - then
  // nothing is written - or when the stream failed or a member's file did
  // not hold its dataSize bytes.
  bool Write(QOStream &out) const;

private:
  struct Member
  {
    std::string name;
    std::uint32_t method;
    std::uint32_t unpackedSize;
    std::uint32_t timestamp;
    std::string data;
    std::uint64_t dataSize;
    // Empty when data holds the bytes.
    std::string dataPath;
  };
  struct Property
  {
    std::string key;
    std::string value;
  };

  bool CanWrite() const;

  bool _versionRecord = false;
  std::vector<Property> _properties;
  std::vector<Member> _members;
};
