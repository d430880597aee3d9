// A stand-in for the game-list helper library: it registers nothing, but
// writes every call it receives as a line to "gameListCalls.txt" beside the
// library, so tests can see what the installer asked of it. Built twice: the
// full library, and one without "RemoveTasks", as an older helper lacks it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace
{
HMODULE self = nullptr;

void WriteCall(const char *name, const GUID *instance)
{
  wchar_t path[MAX_PATH + 32];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return;
  std::wstring file(path, length);
  file = file.substr(0, file.find_last_of(L'\\') + 1) + L"gameListCalls.txt";
  char line[128];
  int size = std::snprintf(
      line, sizeof line, "%s %08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X\r\n", name,
      instance ? static_cast<unsigned long>(instance->Data1) : 0ul, instance ? instance->Data2 : 0,
      instance ? instance->Data3 : 0, instance ? instance->Data4[0] : 0, instance ? instance->Data4[1] : 0,
      instance ? instance->Data4[2] : 0, instance ? instance->Data4[3] : 0, instance ? instance->Data4[4] : 0,
      instance ? instance->Data4[5] : 0, instance ? instance->Data4[6] : 0, instance ? instance->Data4[7] : 0);
  HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  WriteFile(out, line, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(out);
}
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH)
    self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI RemoveFromGameExplorer(GUID *instance)
{
  WriteCall("RemoveFromGameExplorer", instance);
  return S_OK;
}

#ifndef GAME_LIST_WITHOUT_TASKS
extern "C" __declspec(dllexport) HRESULT WINAPI RemoveTasks(GUID *instance)
{
  WriteCall("RemoveTasks", instance);
  return S_OK;
}
#endif
