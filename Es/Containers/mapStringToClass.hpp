#pragma once

#include "Es/Containers/array.hpp"

#include <cstdint>
#include <cstring>

// Hashing and comparing of the keys of a MapStringToClass. The default is
// case-sensitive; Type answers its key through GetKey().
template <class Type> struct MapStringToClassTraits
{
  static const char *GetKey(const Type &item) { return item.GetKey(); }
  static std::uint32_t Hash(const char *key)
  {
    std::uint32_t hash = 0;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(key); *c; ++c)
      hash = hash * 33 + *c;
    return hash;
  }
  static bool Equal(const char *a, const char *b) { return std::strcmp(a, b) == 0; }
};

// Case-blind keys: the hash takes "A" to "Z" as "a" to "z".
template <class Type> struct MapStringToClassNoCaseTraits
{
  static const char *GetKey(const Type &item) { return item.GetKey(); }
  static std::uint32_t Hash(const char *key)
  {
    std::uint32_t hash = 0;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(key); *c; ++c)
    {
      unsigned char byte = *c;
      if (byte >= 'A' && byte <= 'Z')
        byte = static_cast<unsigned char>(byte - 'A' + 'a');
      hash = hash * 33 + byte;
    }
    return hash;
  }
  static bool Equal(const char *a, const char *b)
  {
    for (;; ++a, ++b)
    {
      unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
      if (x >= 'A' && x <= 'Z')
        x = static_cast<unsigned char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z')
        y = static_cast<unsigned char>(y - 'A' + 'a');
      if (x != y)
        return false;
      if (x == 0)
        return true;
    }
  }
};

// A hash map of items that carry their own string key. Items live by value in
// the buckets: a pointer answered by Find stays valid only until the next Add,
// Remove or Clear.
template <class Type, class Traits = MapStringToClassTraits<Type>> class MapStringToClass
{
public:
  MapStringToClass() = default;

  int Size() const { return _count; }
  int BucketCount() const { return _buckets.Size(); }

  Type *Find(const char *key)
  {
    if (_count == 0)
      return nullptr;
    AutoArray<Type> &bucket = _buckets[BucketOf(key)];
    for (Type &item : bucket)
      if (Traits::Equal(Traits::GetKey(item), key))
        return &item;
    return nullptr;
  }
  const Type *Find(const char *key) const { return const_cast<MapStringToClass *>(this)->Find(key); }

  // Adds the item without looking for one of the same key (callers that keep
  // keys unique look first); answers the stored item.
  Type &Add(Type item)
  {
    if (_count >= _buckets.Size() * MaxLoad)
      Grow();
    AutoArray<Type> &bucket = _buckets[BucketOf(Traits::GetKey(item))];
    int index = bucket.Add(std::move(item));
    ++_count;
    return bucket[index];
  }

  // Removes the item of that key; false when there is none.
  bool Remove(const char *key)
  {
    if (_count == 0)
      return false;
    AutoArray<Type> &bucket = _buckets[BucketOf(key)];
    for (int i = 0; i < bucket.Size(); ++i)
      if (Traits::Equal(Traits::GetKey(bucket[i]), key))
      {
        bucket.Delete(i);
        --_count;
        return true;
      }
    return false;
  }

  void Clear()
  {
    _buckets.Clear();
    _count = 0;
  }

  // Calls function(item) for every item, bucket by bucket.
  template <class Function> void ForEach(Function &&function) const
  {
    for (const AutoArray<Type> &bucket : _buckets)
      for (const Type &item : bucket)
        function(item);
  }

private:
  // Items per bucket, on average, before the table grows.
  static constexpr int MaxLoad = 2;

  int BucketOf(const char *key) const
  {
    return static_cast<int>(Traits::Hash(key) % static_cast<std::uint32_t>(_buckets.Size()));
  }

  void Grow()
  {
    int newCount = _buckets.Size() == 0 ? 31 : _buckets.Size() * 2 + 1;
    AutoArray<AutoArray<Type>> old = std::move(_buckets);
    _buckets = AutoArray<AutoArray<Type>>();
    for (int i = 0; i < newCount; ++i)
      _buckets.Add(AutoArray<Type>());
    for (AutoArray<Type> &bucket : old)
      for (Type &item : bucket)
        _buckets[BucketOf(Traits::GetKey(item))].Add(std::move(item));
  }

  AutoArray<AutoArray<Type>> _buckets;
  int _count = 0;
};
