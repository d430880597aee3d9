#include "Es/Strings/wideText.hpp"
#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
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
    resultCode = ResultError;
    FreeLibrary(library);
    return;
  }
  CreateTasks(createTask, scope, instance, 0, playTasks, folder);
  CreateTasks(createTask, scope, instance, 1, supportTasks, folder);
  AddProductLogRecord(L'G', FormatGameListIdentifier(IdentifierOfGuid(instance)) + L":" + libraryPath);
  FreeLibrary(library);
}
