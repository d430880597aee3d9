#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

// One picture of the copy page, shown once the copied bytes reach its threshold.
class CPictureItem
{
public:
  CPictureItem() = default;
  CPictureItem(const CPictureItem &) = delete;
  CPictureItem &operator=(const CPictureItem &) = delete;
  ~CPictureItem()
  {
    if (bitmap)
      DeleteObject(bitmap);
  }

  // The bitmap's file name as the script gives it.
  std::wstring sourcePath;
  // Owned; null when the file could not be loaded.
  HBITMAP bitmap = nullptr;
  // The picture's share of the copy time, relative to the others.
  double weight = 1.0;
  // The copied byte count from which the picture is shown.
  std::int64_t threshold = 0;
};
