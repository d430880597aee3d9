#include "Setup/Install/bankCache.hpp"

#include "Es/Strings/wideText.hpp"

#include <new>

QFBank *CBankCache::Open(const std::wstring &file, QFileSize start, QFileSize size, int mediumGeneration)
{
  if (_bank && _file == file && _start == start && _size == size && _mediumGeneration == mediumGeneration)
    return _bank.get();
  Drop();
  std::unique_ptr<QFBank> bank(new (std::nothrow) QFBank);
  if (!bank || !bank->OpenRegion(AnsiFromWide(file).c_str(), nullptr, nullptr, start, size) || !bank->Load())
    return nullptr;
  _bank = std::move(bank);
  _file = file;
  _start = start;
  _size = size;
  _mediumGeneration = mediumGeneration;
  return _bank.get();
}

void CBankCache::Drop()
{
  if (_bank)
    _bank->Close();
  _bank.reset();
}
