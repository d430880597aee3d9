#include "Es/Strings/wideText.hpp"
#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/System/entryTexts.hpp"
#include "Setup/System/gameListGuid.hpp"

namespace
{
using AddToGameListFunction = HRESULT(WINAPI *)(const char *definitionPath, const char *installFolder, int scope,
                                                GUID *instance);
using CreateTaskFunction = HRESULT(WINAPI *)(int scope, GUID *instance, int supportTask, int taskIndex,
                                             const char *name, const char *program, const char *arguments);

constexpr int ScopeCurrentUser = 2;
constexpr int ScopeAllUsers = 3;

// Every entry keeps its position as the task's index, also past an entry
// that is skipped.
void CreateTasks(CreateTaskFunction createTask, int scope, GUID &instance, int supportTask,
                 const std::vector<std::wstring> &tasks, const std::wstring &folder)
{
  for (std::size_t index = 0; index < tasks.size(); ++index)
  {
    GameTask task;
    if (!ParseGameTask(tasks[index], task))
      continue;
    std::string name = AnsiFromWide(task.name);
    std::string program = AnsiFromWide(folder + task.program);
    std::string arguments = AnsiFromWide(task.arguments);
    createTask(scope, &instance, supportTask, static_cast<int>(index), name.c_str(), program.c_str(),
               arguments.c_str());
    RunLog::Write(std::wstring(supportTask ? L"game list support task " : L"game list play task ") +
                  std::to_wstring(index) + L" " + task.name + L": " + folder + task.program + L" " + task.arguments);
  }
}
} // namespace

void CSetupObject::RunGameExplorerStep()
{
  if (gameExplorerFile.empty())
    return;
  std::wstring folder = WithBackslash(installFolder);
  std::wstring libraryPath = folder + L"GameuxInstallHelper.dll";
  HMODULE library = LoadLibraryW(libraryPath.c_str());
  if (!library)
  {
    RunLog::Write(L"game list: " + libraryPath + L" does not load");
    resultCode = ResultError;
    return;
  }
  auto addToGameList =
      reinterpret_cast<AddToGameListFunction>(reinterpret_cast<void *>(GetProcAddress(library, "AddToGameExplorerA")));
  auto createTask =
      reinterpret_cast<CreateTaskFunction>(reinterpret_cast<void *>(GetProcAddress(library, "CreateTaskA")));
  int scope = allUsers ? ScopeAllUsers : ScopeCurrentUser;
  GUID instance{};
  std::string definition = AnsiFromWide(folder + gameExplorerFile);
  std::string installFolderText = AnsiFromWide(folder);
  if (!addToGameList || !createTask ||
      addToGameList(definition.c_str(), installFolderText.c_str(), scope, &instance) < 0)
  {
    RunLog::Write(L"game list: " + folder + gameExplorerFile + L" not registered");
    resultCode = ResultError;
    FreeLibrary(library);
    return;
  }
  CreateTasks(createTask, scope, instance, 0, playTasks, folder);
  CreateTasks(createTask, scope, instance, 1, supportTasks, folder);
  std::wstring identifier = FormatGameListIdentifier(IdentifierOfGuid(instance));
  RunLog::Write(L"game list: " + folder + gameExplorerFile + L" registered as " + identifier);
  AddProductLogRecord(L'G', identifier + L":" + libraryPath);
  FreeLibrary(library);
}
