// The least any installer must do to put a product's files down: for each
// file below <from>, open it, read it whole, create its copy below <to> (its
// folders first) and write it, in 256 KiB blocks, with nothing else: no
// checksum, no log, no attributes. The install benchmark times it beside the
// installers as the floor that the file system and Wine set.
//
//   install_copy_floor <from> <to>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
std::vector<char> block(262144);

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
    else
      sound = CopyOne(from + L"\\" + name, to + L"\\" + name) && sound;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return sound;
}
} // namespace

int wmain(int argc, wchar_t **argv)
{
  if (argc != 3)
  {
    std::fputs("usage: install_copy_floor <from> <to>\n", stderr);
    return 2;
  }
  return CopyTree(argv[1], argv[2]) ? 0 : 1;
}
