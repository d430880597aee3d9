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

  std::wstring sourcePath;
  // Owned.
  HBITMAP bitmap = nullptr;
  int weight = 0;
  std::int64_t threshold = 0;
};
