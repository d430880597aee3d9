// The least any installer must do to put a product's files down: for each
// file below <from>, open it, read it whole, create its copy below <to> (its
// folders first) and write it, in 256 KiB blocks, with nothing else: no
// checksum, no log, no attributes. With --write-only the sources are not
// opened: each copy is written with as many zero bytes, which is all an
// installer reading its files from one archive must do per file. The install
// benchmark times both beside the installers as the floors that the file
// system and Wine set.
//
//   install_copy_floor [--write-only] <from> <to>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
std::vector<char> block(262144);
bool writeOnly = false;

bool WriteZeros(const std::wstring &to, std::uint64_t size)
{
  HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return false;
  bool sound = true;
  for (std::uint64_t left = size; sound && left > 0;)
  {
    DWORD step = static_cast<DWORD>(left < block.size() ? left : block.size());
    DWORD put = 0;
    sound = WriteFile(out, block.data(), step, &put, nullptr) && put == step;
    left -= step;
  }
  CloseHandle(out);
  return sound;
}

bool CopyOne(const std::wstring &from, const std::wstring &to)
{
  HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE)
    return false;
  HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool sound = out != INVALID_HANDLE_VALUE;
  DWORD got = 0;
  while (sound && ReadFile(in, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0)
  {
    DWORD put = 0;
    sound = WriteFile(out, block.data(), got, &put, nullptr) && put == got;
  }
  CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE)
    CloseHandle(out);
  return sound;
}

bool CopyTree(const std::wstring &from, const std::wstring &to)
{
  CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((from + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  bool sound = true;
  do
  {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      sound = CopyTree(from + L"\\" + name, to + L"\\" + name) && sound;
    else if (writeOnly)
      sound = WriteZeros(to + L"\\" + name, std::uint64_t(found.nFileSizeHigh) << 32 | found.nFileSizeLow) && sound;
    else
      sound = CopyOne(from + L"\\" + name, to + L"\\" + name) && sound;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return sound;
}
} // namespace

int wmain(int argc, wchar_t **argv)
{
  int first = 1;
  if (argc > 1 && std::wstring(argv[1]) == L"--write-only")
  {
    writeOnly = true;
    ++first;
  }
  if (argc - first != 2)
  {
    std::fputs("usage: install_copy_floor [--write-only] <from> <to>\n", stderr);
    return 2;
  }
  // The destination's own folders first, as an installer makes them.
  std::wstring to = argv[first + 1];
  for (std::size_t at = to.find(L'\\', 3); at != std::wstring::npos; at = to.find(L'\\', at + 1))
    CreateDirectoryW(to.substr(0, at).c_str(), nullptr);
  return CopyTree(argv[first], to) ? 0 : 1;
}
