#pragma once

#include "El/QStream/qbStream.hpp"

#include <cstdint>
#include <string>
#include <vector>

// A member as the bank's table describes it.
struct BankMember
{
  std::string name;
  std::uint32_t method;
  QFileSize unpackedSize;
  QFileSize dataSize;
  QFileSize timestamp;
  QFileSize dataPosition;
};

// What OpenBank does with a bank whose table does not fit its size: refuse
// it when its members are to be read (they would come out cut short), only
// warn for a listing, since the table itself loaded.
enum class Damaged
{
  Refuse,
  Warn
};

// Opens and loads the bank in the file name, or in size bytes of it from
// start when size is not 0; false with a message naming it as shown. The
// library reads whatever it is given as a table and only reports data that
// runs past the end; here such a bank is refused as not a bank (or a
// damaged one).
bool OpenBank(const std::string &name, QFBank &bank, Damaged damaged = Damaged::Refuse, QFileSize start = 0,
              QFileSize size = 0, const std::string &shown = std::string());

// The members in the order of their data. A member without data shares its
// position with the next one; it comes first, as in the table, and members
// that tie completely go by name, as a bank made here orders them.
std::vector<BankMember> MembersByPosition(QFBank &bank);

// "stored", "srpC", "rcnE", or the method's value in hex.
std::string MethodName(std::uint32_t method);
