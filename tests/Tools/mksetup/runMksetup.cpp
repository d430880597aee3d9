#include "tests/Tools/mksetup/runMksetup.hpp"

#include "tests/support/tempFolder.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char **environ;
#endif

namespace
{
// Sets or clears the process's environment for the child to inherit, and puts
// it back afterwards.
class ChildEnvironment
{
public:
  explicit ChildEnvironment(const std::vector<std::pair<std::string, std::string>> &extra)
  {
    Set("MKSETUP_VERBOSE", nullptr);
    for (const auto &[name, value] : extra)
      Set(name, value.c_str());
  }
  ~ChildEnvironment()
  {
    for (auto it = _saved.rbegin(); it != _saved.rend(); ++it)
      Apply(it->name, it->had ? it->value.c_str() : nullptr);
  }

private:
  struct Saved
  {
    std::string name;
    bool had;
    std::string value;
  };

  void Set(const std::string &name, const char *value)
  {
    const char *old = std::getenv(name.c_str());
    _saved.push_back({name, old != nullptr, old ? old : ""});
    Apply(name, value);
  }

  static void Apply(const std::string &name, const char *value)
  {
#ifdef _WIN32
    SetEnvironmentVariableA(name.c_str(), value);
#else
    if (value)
      setenv(name.c_str(), value, 1);
    else
      unsetenv(name.c_str());
#endif
  }

  std::vector<Saved> _saved;
};

#ifdef _WIN32
// Quotes one argument the way the C runtime splits a command line again.
std::string Quote(const std::string &argument)
{
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
    return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument)
  {
    if (c == '\\')
    {
      ++backslashes;
      continue;
    }
    // Backslashes double only in front of a quote.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE InheritableFile(const std::string &name, DWORD access, DWORD disposition)
{
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  return CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Spawn(const std::string &program, const std::vector<std::string> &arguments, const std::string &outName,
          const std::string &errName)
{
  std::string commandLine = Quote(program);
  for (const std::string &argument : arguments)
    commandLine += " " + Quote(argument);
  HANDLE input = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE output = InheritableFile(outName, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE error = InheritableFile(errName, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  DWORD exitCode = static_cast<DWORD>(-1);
  // A fresh Wine prefix still busy with its own start-up now and then refuses
  // a process start; that is the rig's trouble, not the tool's, so it is
  // tried again a few times before the run counts as failed.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt)
  {
    if (attempt > 0)
      Sleep(200);
    started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &process);
  }
  if (!started && error != INVALID_HANDLE_VALUE)
  {
    char message[128];
    int length = std::snprintf(message, sizeof message, "the test could not start %s: error %lu\n", program.c_str(),
                               static_cast<unsigned long>(GetLastError()));
    DWORD written = 0;
    WriteFile(error, message, static_cast<DWORD>(std::min<int>(length, sizeof message - 1)), &written, nullptr);
  }
  if (started)
  {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (HANDLE handle : {input, output, error})
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  return static_cast<int>(exitCode);
}
#else
int Spawn(const std::string &program, const std::vector<std::string> &arguments, const std::string &outName,
          const std::string &errName)
{
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = 0;
  int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR)
      return -1;
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
#endif

std::string ProgramPath()
{
  std::string path = MKSETUP_PATH;
#ifdef _WIN32
  // The build hands over the path on the building (Linux) side; under Wine
  // that file system is drive Z:.
  if (!path.empty() && path[0] == '/')
    path = "Z:" + path;
#endif
  return path;
}
} // namespace

MksetupRun RunMksetup(const std::vector<std::string> &arguments,
                      const std::vector<std::pair<std::string, std::string>> &extraEnvironment)
{
  TempFolder folder;
  std::string outName = folder.File("stdout.txt");
  std::string errName = folder.File("stderr.txt");
  MksetupRun run;
  {
    ChildEnvironment environment(extraEnvironment);
    run.exitCode = Spawn(ProgramPath(), arguments, outName, errName);
  }
  run.out = TempFolder::Read(outName);
  run.err = TempFolder::Read(errName);
  return run;
}
