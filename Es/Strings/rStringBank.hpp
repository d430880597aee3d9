#pragma once

#include "Es/Containers/array.hpp"
#include "Es/Strings/rString.hpp"

#include <cstdint>

// A hash set of shared strings: equal texts banked through it share one block.
// The bank holds one reference to every member. A case-insensitive bank treats
// "A".."Z" as "a".."z" both for hashing and equality, and lets a member go
// when its last outside reference is released (see RStringIB).
class RStringBank
{
public:
  enum class Case
  {
    Sensitive,
    Insensitive
  };

  explicit RStringBank(Case caseMode);
  RStringBank(const RStringBank &) = delete;
  RStringBank &operator=(const RStringBank &) = delete;
  // Logs "RStringBank destruct" and every member still referenced elsewhere,
  // then releases the bank's references.
  ~RStringBank();

  // The member equal to text, or nullptr when there is none.
  const RString *Find(const char *text) const;
  // The member equal to text, added first when there is none. The empty text
  // is never a member: it answers the empty string.
  const RString &FindOrAdd(const char *text);
  // Removes the member equal to text; the bucket array is freed when the bank
  // becomes empty, and starts again at the initial bucket count.
  void Remove(const char *text);

  Case CaseMode() const { return _case; }
  int Count() const { return _count; }
  int BucketCount() const { return _bucketCount; }

  static std::uint32_t Hash(const char *text, Case caseMode);

  static constexpr int InitialBucketCount = 15;

private:
  bool Equal(const char *a, const char *b) const;
  int BucketOf(const char *text, int bucketCount) const;
  void GrowIfNeeded();

  Case _case;
  int _bucketCount = InitialBucketCount;
  int _count = 0;
  // Empty until the first member is added, and again after the last leaves.
  AutoArray<AutoArray<RString>> _buckets;
};

// The two process-wide banks, constructed on first use and destroyed at
// process end.
RStringBank &CaseSensitiveStringBank();
RStringBank &CaseInsensitiveStringBank();

// A string handle taken from one of the process-wide banks: equal texts share
// a block, so equality is a pointer comparison.
template <RStringBank::Case BankCase> class BankedString
{
public:
  BankedString() = default;
  BankedString(const char *text) : _string(Bank().FindOrAdd(text)) {} // NOLINT: implicit like RString
  BankedString(const BankedString &) = default;
  BankedString(BankedString &&) noexcept = default;
  BankedString &operator=(const BankedString &other)
  {
    if (this != &other)
    {
      BankedString copy(other);
      Release();
      _string = std::move(copy._string);
    }
    return *this;
  }
  BankedString &operator=(BankedString &&other) noexcept
  {
    if (this != &other)
    {
      Release();
      _string = std::move(other._string);
    }
    return *this;
  }
  ~BankedString() { Release(); }

  const RString &String() const { return _string; }
  const char *Data() const { return _string.Data(); }
  operator const char *() const { return _string.Data(); } // NOLINT: used as text like RString
  int GetLength() const { return _string.GetLength(); }
  bool IsEmpty() const { return _string.IsEmpty(); }

  friend bool operator==(const BankedString &a, const BankedString &b)
  {
    return a._string.Block() == b._string.Block();
  }

  static RStringBank &Bank()
  {
    if constexpr (BankCase == RStringBank::Case::Insensitive)
      return CaseInsensitiveStringBank();
    else
      return CaseSensitiveStringBank();
  }

private:
  void Release()
  {
    // The last outside handle of a case-insensitive member takes it out of
    // the bank, so the block is freed with this handle.
    if constexpr (BankCase == RStringBank::Case::Insensitive)
    {
      if (_string.RefCount() == 2)
      {
        // Only when the bank's member is this very block: a block removed
        // earlier must not take a newer member of the same text with it.
        const RString *member = Bank().Find(_string.Data());
        if (member && member->Block() == _string.Block())
          Bank().Remove(_string.Data());
      }
    }
    _string = RString();
  }

  RString _string;
};

using RStringB = BankedString<RStringBank::Case::Sensitive>;
using RStringIB = BankedString<RStringBank::Case::Insensitive>;
