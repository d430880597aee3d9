// The stand-ins of outside components, each copied to a fresh folder with
// chosen settings: what they answer and what they record.
#include "tests/support/tempFolder.hpp"

#include <windows.h>

#include <algorithm>
#include <gtest/gtest.h>

namespace
{
// A copy of a stand-in, alone in a temporary folder.
struct Standin
{
  TempFolder folder;
  std::filesystem::path file;

  explicit Standin(const std::string &name)
  {
    std::string built = STANDINS_PATH "/" + name;
    std::replace(built.begin(), built.end(), '/', '\\');
    file = folder.Path() / name;
    std::filesystem::copy_file(std::filesystem::path((built[0] == '\\' ? "Z:" : "") + built), file);
  }
  std::string Calls(const std::string &record) const { return TempFolder::Read(folder.Path() / record); }
};

template <typename Function> Function Entry(HMODULE module, const char *name)
{
  return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

using VersionQuery = INT(WINAPI *)(DWORD *, DWORD *);
using DirectXSetup = INT(WINAPI *)(HWND, LPSTR, DWORD);
} // namespace

TEST(Standins, DirectXSetupAnswersFromItsSettingsAndRecordsEachCall)
{
  Standin dsetup("dsetup.dll");
  HMODULE module = LoadLibraryW(dsetup.file.c_str());
  ASSERT_NE(module, nullptr);
  auto getVersion = Entry<VersionQuery>(module, "DirectXSetupGetVersion");
  auto setup = Entry<DirectXSetup>(module, "DirectXSetupA");
  DWORD version = 1, revision = 2;
  char source[] = "C:\\My Game\\DirectX";
  EXPECT_EQ(getVersion(&version, &revision), 1);
  EXPECT_EQ(version, 0x40009u);
  EXPECT_EQ(revision, 0x904u);
  EXPECT_EQ(setup(nullptr, source, 0x1A), 0);

  dsetup.folder.Write("dsetup.txt", "version 0x50001\r\n  getversion   0\r\nsetup -1\r\n");
  EXPECT_EQ(getVersion(&version, &revision), 0);
  EXPECT_EQ(version, 0x40009u);
  EXPECT_EQ(setup(nullptr, source, 0), -1);
  dsetup.folder.Write("dsetup.txt", "version 0x50001\nrevision 12\ngetversion 7\n");
  EXPECT_EQ(getVersion(&version, &revision), 7);
  EXPECT_EQ(version, 0x50001u);
  EXPECT_EQ(revision, 12u);
  FreeLibrary(module);
  EXPECT_EQ(dsetup.Calls("dsetupCalls.txt"), "DirectXSetupGetVersion\r\nDirectXSetupA C:\\My Game\\DirectX 0x1A\r\n"
                                             "DirectXSetupGetVersion\r\nDirectXSetupA C:\\My Game\\DirectX 0x0\r\n"
                                             "DirectXSetupGetVersion\r\n");

  Standin older("dsetupWithoutSetup.dll");
  module = LoadLibraryW(older.file.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_NE(Entry<VersionQuery>(module, "DirectXSetupGetVersion"), nullptr);
  EXPECT_EQ(Entry<DirectXSetup>(module, "DirectXSetupA"), nullptr);
  FreeLibrary(module);
}

TEST(Standins, OpenALInstallerRecordsItsCommandLineAndExitsWithTheChosenCode)
{
  Standin openAL("OpenALwEAX.exe");
  std::wstring commandLine = L"\"" + openAL.file.wstring() + L"\" /s \u00e9t\u00e9";
  auto run = [&]
  {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return DWORD(-2);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = DWORD(-3);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
  };
  EXPECT_EQ(run(), 0u);
  openAL.folder.Write("OpenALwEAX.txt", "exit 3010\r\n");
  EXPECT_EQ(run(), 3010u);
  std::string line = "\"" + openAL.file.string() + "\" /s \xC3\xA9t\xC3\xA9\r\n";
  EXPECT_EQ(openAL.Calls("openALCalls.txt"), line + line);
}

TEST(Standins, GameListHandsOutTheChosenIdentifierAndRecordsTasks)
{
  using Add = HRESULT(WINAPI *)(const char *, const char *, int, GUID *);
  using CreateTask = HRESULT(WINAPI *)(int, GUID *, int, int, const char *, const char *, const char *);
  Standin gameList("GameuxInstallHelperWithoutTasks.dll");
  HMODULE module = LoadLibraryW(gameList.file.c_str());
  ASSERT_NE(module, nullptr);
  auto add = Entry<Add>(module, "AddToGameExplorerA");
  auto createTask = Entry<CreateTask>(module, "CreateTaskA");
  GUID id{};
  EXPECT_EQ(add("C:\\Game\\game.gdf", "C:\\Game", 3, &id), S_OK);
  EXPECT_EQ(id.Data1, 0x1234u);
  EXPECT_EQ(id.Data4[7], 0x70);
  EXPECT_EQ(createTask(2, &id, 1, 0, "Play it", "C:\\Game\\a b.exe", nullptr), S_OK);

  gameList.folder.Write("gameList.txt", "guid FEDCBA98-7654-3210-0123-456789abcdef\r\n");
  EXPECT_EQ(add("x.gdf", "", 2, &id), S_OK);
  gameList.folder.Write("gameList.txt", "add 0x80004005\r\nguid 00000000-0000-0000-0000-000000000001\r\n");
  EXPECT_EQ(add("y.gdf", "D:\\", 1, &id), E_FAIL);
  FreeLibrary(module);
  EXPECT_EQ(gameList.Calls("gameListCalls.txt"),
            "AddToGameExplorerA C:\\Game\\game.gdf|C:\\Game|3|00001234-00AB-0C0D-0E1F-203040506070\r\n"
            "CreateTaskA 2|00001234-00AB-0C0D-0E1F-203040506070|1|0|Play it|C:\\Game\\a b.exe|(null)\r\n"
            "AddToGameExplorerA x.gdf||2|FEDCBA98-7654-3210-0123-456789ABCDEF\r\n"
            "AddToGameExplorerA y.gdf|D:\\|1|FEDCBA98-7654-3210-0123-456789ABCDEF\r\n");
}
