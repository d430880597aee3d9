#include "Tools/mksetup/commandLine.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace
{
bool IsHelp(const char *argument) { return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0; }

bool SameText(const char *a, const char *b) { return a && b && std::strcmp(a, b) == 0; }

void VToolMessage(const char *format, va_list argptr)
{
  std::fputs("mksetup: ", stderr);
  std::vfprintf(stderr, format, argptr);
  std::fputc('\n', stderr);
}

void PrintToolUsage(std::FILE *out, std::span<const Command> commands)
{
  std::fputs("usage: mksetup <area> <verb> [options] [arguments]\n\ncommands:\n", out);
  for (const Command &command : commands)
    std::fprintf(out, "  mksetup %s\n      %s\n", command.synopsis, command.summary);
  std::fputs("\n\"mksetup <area> --help\" and \"mksetup <area> <verb> --help\" tell more.\n", out);
}

void PrintAreaUsage(std::FILE *out, std::span<const Command> commands, const char *area)
{
  std::fprintf(out, "usage: mksetup %s <verb> [options] [arguments]\n\ncommands:\n", area);
  for (const Command &command : commands)
    if (SameText(command.area, area))
      std::fprintf(out, "  mksetup %s\n      %s\n", command.synopsis, command.summary);
}

void PrintCommandUsage(std::FILE *out, const Command &command)
{
  std::fprintf(out, "usage: mksetup %s\n\n%s\n%s", command.synopsis, command.summary, command.details);
}

int ReportUsage(const Command &command, const char *format, va_list argptr)
{
  VToolMessage(format, argptr);
  std::fprintf(stderr, "usage: mksetup %s\n", command.synopsis);
  return ExitUsage;
}

int CommandUsageError(const Command &command, const char *format, ...) ES_PRINTF_FORMAT(2, 3);
int CommandUsageError(const Command &command, const char *format, ...)
{
  va_list argptr;
  va_start(argptr, format);
  int result = ReportUsage(command, format, argptr);
  va_end(argptr);
  return result;
}

const OptionSpec *FindOption(const Command &command, const std::string &name)
{
  for (const OptionSpec &option : command.options)
    if (name == option.name)
      return &option;
  return nullptr;
}
} // namespace

bool Arguments::Has(const char *option) const
{
  for (const auto &[name, value] : _options)
    if (name == option)
      return true;
  return false;
}

std::vector<std::string> Arguments::Values(const char *option) const
{
  std::vector<std::string> values;
  for (const auto &[name, value] : _options)
    if (name == option)
      values.push_back(value);
  return values;
}

int Arguments::UsageError(const char *format, ...) const
{
  va_list argptr;
  va_start(argptr, format);
  int result = ReportUsage(_command, format, argptr);
  va_end(argptr);
  return result;
}

int RunCommandLine(std::span<const Command> commands, int argc, char **argv)
{
  if (argc < 2)
  {
    PrintToolUsage(stderr, commands);
    return ExitUsage;
  }
  const char *area = argv[1];
  if (IsHelp(area))
  {
    PrintToolUsage(stdout, commands);
    return ExitSuccess;
  }

  const Command *areaCommand = nullptr;
  for (const Command &command : commands)
    if (SameText(command.area, area))
    {
      areaCommand = &command;
      break;
    }
  if (!areaCommand)
  {
    ToolMessage(area[0] == '-' ? "unknown option '%s'" : "unknown command '%s'", area);
    PrintToolUsage(stderr, commands);
    return ExitUsage;
  }

  const Command *found = areaCommand;
  int first = 2;
  if (areaCommand->verb)
  {
    if (argc < 3)
    {
      ToolMessage("'%s' needs a verb", area);
      PrintAreaUsage(stderr, commands, area);
      return ExitUsage;
    }
    if (IsHelp(argv[2]))
    {
      PrintAreaUsage(stdout, commands, area);
      return ExitSuccess;
    }
    found = nullptr;
    for (const Command &command : commands)
      if (SameText(command.area, area) && SameText(command.verb, argv[2]))
        found = &command;
    if (!found)
    {
      ToolMessage("unknown command '%s %s'", area, argv[2]);
      PrintAreaUsage(stderr, commands, area);
      return ExitUsage;
    }
    first = 3;
  }

  const Command &command = *found;
  Arguments arguments(command);
  bool optionsEnded = false;
  for (int i = first; i < argc; ++i)
  {
    std::string argument = argv[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-')
    {
      arguments._positional.push_back(std::move(argument));
      continue;
    }
    if (argument == "--")
    {
      optionsEnded = true;
      continue;
    }
    if (IsHelp(argument.c_str()))
    {
      PrintCommandUsage(stdout, command);
      return ExitSuccess;
    }
    std::size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    const OptionSpec *option = argument.compare(0, 2, "--") == 0 ? FindOption(command, name.substr(2)) : nullptr;
    if (!option)
      return CommandUsageError(command, "unknown option '%s'", name.c_str());
    std::string value;
    if (!option->takesValue)
    {
      if (equals != std::string::npos)
        return CommandUsageError(command, "option '%s' takes no value", name.c_str());
    }
    else if (equals != std::string::npos)
      value = argument.substr(equals + 1);
    else if (i + 1 < argc)
      value = argv[++i];
    else
      return CommandUsageError(command, "option '%s' needs a value", name.c_str());
    arguments._options.emplace_back(option->name, std::move(value));
  }

  std::size_t count = arguments.Count();
  if (count < command.minArguments || count > command.maxArguments)
    return CommandUsageError(command, "wrong number of arguments (%zu)", count);
  return command.run(arguments);
}

void ToolMessage(const char *format, ...)
{
  va_list argptr;
  va_start(argptr, format);
  VToolMessage(format, argptr);
  va_end(argptr);
}

int ToolFailure(const char *format, ...)
{
  va_list argptr;
  va_start(argptr, format);
  VToolMessage(format, argptr);
  va_end(argptr);
  return ExitFailure;
}

bool ParseDecimal(const std::string &text, unsigned long long &value)
{
  if (text.empty())
    return false;
  constexpr unsigned long long maximum = std::numeric_limits<unsigned long long>::max();
  value = 0;
  for (char c : text)
  {
    if (c < '0' || c > '9')
      return false;
    unsigned digit = static_cast<unsigned>(c - '0');
    value = value > (maximum - digit) / 10 ? maximum : value * 10 + digit;
  }
  return true;
}

void WriteBinaryStandardOutput()
{
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}
