// A stand-in for the game-list helper library: it registers nothing, but
// writes every call it receives as a line to "gameListCalls.txt" beside the
// library (or where STANDIN_RECORDS says), so tests can see what the
// installer and the uninstaller asked of it. What
// AddToGameExplorerA answers comes from "gameList.txt" beside it ("key value"
// lines):
//   add   the HRESULT it returns (default 0)
//   guid  the identifier it hands out on success, as
//         XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX (default
//         00001234-00AB-0C0D-0E1F-203040506070)
// Built twice: the full library, and one without "RemoveTasks", as an older
// helper lacks it.
#include "Standins/Common/standinFiles.hpp"

#include <windows.h>

#include <cstdio>
#include <string>

namespace
{
const GUID defaultIdentifier = {0x00001234, 0x00AB, 0x0C0D, {0x0E, 0x1F, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70}};

std::string FormatIdentifier(const GUID *instance)
{
  GUID zero = {};
  const GUID &id = instance ? *instance : zero;
  char text[48];
  std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  return text;
}

// Reads XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX, hex digits only; `id` is
// changed only when the whole text reads.
bool ParseIdentifier(const std::string &text, GUID &id)
{
  if (text.size() != 36)
    return false;
  unsigned char bytes[16];
  std::size_t at = 0;
  for (unsigned char &byte : bytes)
  {
    if (at == 8 || at == 13 || at == 18 || at == 23)
    {
      if (text[at] != '-')
        return false;
      ++at;
    }
    int value = 0;
    for (int digit = 0; digit < 2; ++digit, ++at)
    {
      char c = text[at];
      if (c >= '0' && c <= '9')
        value = value * 16 + (c - '0');
      else if (c >= 'A' && c <= 'F')
        value = value * 16 + (c - 'A' + 10);
      else if (c >= 'a' && c <= 'f')
        value = value * 16 + (c - 'a' + 10);
      else
        return false;
    }
    byte = static_cast<unsigned char>(value);
  }
  id.Data1 = static_cast<unsigned long>(bytes[0]) << 24 | static_cast<unsigned long>(bytes[1]) << 16 |
             static_cast<unsigned long>(bytes[2]) << 8 | bytes[3];
  id.Data2 = static_cast<unsigned short>(bytes[4] << 8 | bytes[5]);
  id.Data3 = static_cast<unsigned short>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i)
    id.Data4[i] = bytes[8 + i];
  return true;
}

std::string Text(const char *text) { return text ? text : "(null)"; }

void Record(const std::string &line) { standin::AppendLine(standin::RecordFile(L"gameListCalls.txt"), line); }
} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI
    AddToGameExplorerA(const char *gdfPath, const char *installFolder, int scope, GUID *instance)
{
  standin::Settings settings = standin::ReadSettings(standin::FileBeside(L"gameList.txt"));
  HRESULT result = static_cast<HRESULT>(standin::SettingNumber(settings, "add", S_OK));
  if (SUCCEEDED(result) && instance)
  {
    // An unreadable identifier leaves the default.
    GUID handedOut = defaultIdentifier;
    if (auto guid = settings.find("guid"); guid != settings.end())
      ParseIdentifier(guid->second, handedOut);
    *instance = handedOut;
  }
  Record("AddToGameExplorerA " + Text(gdfPath) + "|" + Text(installFolder) + "|" + std::to_string(scope) + "|" +
         FormatIdentifier(instance));
  return result;
}

extern "C" __declspec(dllexport) HRESULT WINAPI CreateTaskA(int scope, GUID *instance, int supportTask, int taskIndex,
                                                            const char *name, const char *path, const char *arguments)
{
  Record("CreateTaskA " + std::to_string(scope) + "|" + FormatIdentifier(instance) + "|" + std::to_string(supportTask) +
         "|" + std::to_string(taskIndex) + "|" + Text(name) + "|" + Text(path) + "|" + Text(arguments));
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI RemoveFromGameExplorer(GUID *instance)
{
  Record("RemoveFromGameExplorer " + FormatIdentifier(instance));
  return S_OK;
}

#ifndef GAME_LIST_WITHOUT_TASKS
extern "C" __declspec(dllexport) HRESULT WINAPI RemoveTasks(GUID *instance)
{
  Record("RemoveTasks " + FormatIdentifier(instance));
  return S_OK;
}
#endif
