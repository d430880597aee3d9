#include "Es/Strings/rStringBank.hpp"

#include <cstring>

RStringBank::RStringBank(Case caseMode) : _case(caseMode) {}

RStringBank::~RStringBank()
{
  LogF("RStringBank destruct");
  for (const AutoArray<RString> &bucket : _buckets)
    for (const RString &member : bucket)
      if (member.RefCount() > 1)
        LogF("Error: String %s late release (%d)", member.Data(), member.RefCount());
  _buckets.Clear();
}

std::uint32_t RStringBank::Hash(const char *text, Case caseMode)
{
  std::uint32_t hash = 0;
  for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c; ++c)
  {
    unsigned char byte = *c;
    if (caseMode == Case::Insensitive && byte >= 'A' && byte <= 'Z')
      byte = static_cast<unsigned char>(byte + ('a' - 'A'));
    hash = hash * 33 + byte;
  }
  return hash;
}

bool RStringBank::Equal(const char *a, const char *b) const
{
  return _case == Case::Insensitive ? CompareNoCase(a, b) == 0 : std::strcmp(a, b) == 0;
}

int RStringBank::BucketOf(const char *text, int bucketCount) const
{
  return static_cast<int>(Hash(text, _case) % static_cast<std::uint32_t>(bucketCount));
}

const RString *RStringBank::Find(const char *text) const
{
  if (_buckets.Empty() || !text)
    return nullptr;
  for (const RString &member : _buckets[BucketOf(text, _bucketCount)])
    if (Equal(member.Data(), text))
      return &member;
  return nullptr;
}

void RStringBank::GrowIfNeeded()
{
  int needed = _count + 1;
  if (16 * _bucketCount >= needed)
    return;
  int i = _bucketCount + 1;
  while (32 * i - 16 < needed)
    i *= 2;
  int newCount = 2 * i - 1;

  // Members move bucket by bucket, keeping their order within each old bucket.
  AutoArray<AutoArray<RString>> grown;
  grown.Reserve(newCount);
  for (int b = 0; b < newCount; ++b)
    grown.Emplace();
  for (AutoArray<RString> &bucket : _buckets)
    for (RString &member : bucket)
      grown[BucketOf(member.Data(), newCount)].Add(std::move(member));
  _buckets = std::move(grown);
  _bucketCount = newCount;
}

const RString &RStringBank::FindOrAdd(const char *text)
{
  static const RString empty;
  if (!text || !*text)
    return empty;
  if (const RString *member = Find(text))
    return *member;
  if (_buckets.Empty())
  {
    _buckets.Reserve(_bucketCount);
    for (int b = 0; b < _bucketCount; ++b)
      _buckets.Emplace();
  }
  GrowIfNeeded();
  AutoArray<RString> &bucket = _buckets[BucketOf(text, _bucketCount)];
  int index = bucket.Add(RString(text));
  ++_count;
  return bucket[index];
}

void RStringBank::Remove(const char *text)
{
  if (_buckets.Empty() || !text)
    return;
  AutoArray<RString> &bucket = _buckets[BucketOf(text, _bucketCount)];
  for (int i = 0; i < bucket.Size(); ++i)
  {
    if (!Equal(bucket[i].Data(), text))
      continue;
    bucket.Delete(i);
    if (--_count == 0)
    {
      _buckets.Clear();
      _bucketCount = InitialBucketCount;
    }
    return;
  }
}

RStringBank &CaseSensitiveStringBank()
{
  static RStringBank bank(RStringBank::Case::Sensitive);
  return bank;
}

RStringBank &CaseInsensitiveStringBank()
{
  static RStringBank bank(RStringBank::Case::Insensitive);
  return bank;
}
