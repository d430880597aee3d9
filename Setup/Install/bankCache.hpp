#pragma once

#include "El/QStream/qbStream.hpp"

#include <memory>
#include <string>

// The bank the copy worker read its last member from. A product of ten
// thousand members in one bank would otherwise read and index the bank's
// whole table ten thousand times. It is kept only while the medium stays the
// same: after a medium switch the file of the same name may be another
// disc's, so nothing read from the old one is trusted.
class CBankCache
{
public:
  // The bank of the region (start, size; size 0 for the whole file) of file,
  // its table read: the kept one when it is the same region read on the same
  // medium, else opened afresh. Null when it cannot be opened.
  QFBank *Open(const std::wstring &file, QFileSize start, QFileSize size, int mediumGeneration);
  void Drop();

private:
  std::unique_ptr<QFBank> _bank;
  std::wstring _file;
  QFileSize _start = 0;
  QFileSize _size = 0;
  int _mediumGeneration = 0;
};
