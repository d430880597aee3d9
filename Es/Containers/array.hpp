#pragma once

#include "Es/Framework/appFrame.hpp"
#include "Es/Memory/memAlloc.hpp"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

// Reports a delete outside the array's bounds (the delete is not carried out).
void ReportArrayIndexOutOfRange();

// A growable array whose memory comes from the process-wide memory table.
// Growing first asks the table to resize the block in place; only when that is
// refused is a new block allocated, the elements moved over and the old block
// freed. Capacity grows to the next power of two that holds the new size.
template <class Type> class AutoArray
{
public:
  AutoArray() = default;
  AutoArray(const AutoArray &other) { CopyFrom(other); }
  AutoArray(AutoArray &&other) noexcept
      : _data(std::exchange(other._data, nullptr)), _n(std::exchange(other._n, 0)), _maxN(std::exchange(other._maxN, 0))
  {
  }
  AutoArray &operator=(const AutoArray &other)
  {
    if (this != &other)
    {
      Clear();
      CopyFrom(other);
    }
    return *this;
  }
  AutoArray &operator=(AutoArray &&other) noexcept
  {
    if (this != &other)
    {
      Clear();
      _data = std::exchange(other._data, nullptr);
      _n = std::exchange(other._n, 0);
      _maxN = std::exchange(other._maxN, 0);
    }
    return *this;
  }
  ~AutoArray() { Clear(); }

  int Size() const { return _n; }
  int MaxSize() const { return _maxN; }
  bool Empty() const { return _n == 0; }

  Type &operator[](int index) { return _data[index]; }
  const Type &operator[](int index) const { return _data[index]; }
  Type *Data() { return _data; }
  const Type *Data() const { return _data; }
  Type *begin() { return _data; }
  Type *end() { return _data + _n; }
  const Type *begin() const { return _data; }
  const Type *end() const { return _data + _n; }

  // Appends and answers the new element's index.
  int Add(const Type &value) { return Emplace(value); }
  int Add(Type &&value) { return Emplace(std::move(value)); }

  template <class... Args> int Emplace(Args &&...args)
  {
    Reserve(_n + 1);
    new (_data + _n) Type(std::forward<Args>(args)...);
    return _n++;
  }

  // Inserts before index (0 .. Size()); an index outside that is appended.
  void Insert(int index, Type value)
  {
    if (index < 0 || index > _n)
      index = _n;
    Reserve(_n + 1);
    new (_data + _n) Type(std::move(value));
    for (int i = _n; i > index; --i)
      std::swap(_data[i], _data[i - 1]);
    ++_n;
  }

  // Removes count elements from index on, keeping the order of the rest. A
  // range that does not lie inside the array is reported and ignored.
  void Delete(int index, int count = 1)
  {
    if (count <= 0)
      return;
    if (index < 0 || count > _n || index > _n - count)
    {
      ReportArrayIndexOutOfRange();
      return;
    }
    for (int i = index; i + count < _n; ++i)
      _data[i] = std::move(_data[i + count]);
    for (int i = _n - count; i < _n; ++i)
      _data[i].~Type();
    _n -= count;
  }

  // Makes room for at least minSize elements without changing the size.
  void Reserve(int minSize)
  {
    if (minSize <= _maxN)
      return;
    int newMax = 1;
    while (newMax < minSize)
    {
      if (newMax > INT_MAX / 2)
        MemoryExhausted(static_cast<std::size_t>(minSize) * sizeof(Type));
      newMax *= 2;
    }
    Grow(newMax);
  }

  // Frees every element and the block.
  void Clear()
  {
    for (int i = 0; i < _n; ++i)
      _data[i].~Type();
    if (_data)
      GMemFunctions->Delete(_data);
    _data = nullptr;
    _n = 0;
    _maxN = 0;
  }

private:
  void CopyFrom(const AutoArray &other)
  {
    Reserve(other._n);
    for (int i = 0; i < other._n; ++i)
      new (_data + i) Type(other._data[i]);
    _n = other._n;
  }

  void Grow(int newMax)
  {
    if (static_cast<std::size_t>(newMax) > SIZE_MAX / sizeof(Type))
      MemoryExhausted(SIZE_MAX);
    std::size_t bytes = static_cast<std::size_t>(newMax) * sizeof(Type);
    if (_data && GMemFunctions->Resize(_data, bytes))
    {
      _maxN = newMax;
      return;
    }
    Type *grown = static_cast<Type *>(GMemFunctions->New(bytes));
    if (!grown)
      MemoryExhausted(bytes);
    for (int i = 0; i < _n; ++i)
    {
      new (grown + i) Type(std::move(_data[i]));
      _data[i].~Type();
    }
    if (_data)
      GMemFunctions->Delete(_data);
    _data = grown;
    _maxN = newMax;
  }

  Type *_data = nullptr;
  int _n = 0;
  int _maxN = 0;
};
