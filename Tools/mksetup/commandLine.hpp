#pragma once

#include "Es/Framework/appFrame.hpp"

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

// The tool's exit codes.
enum ExitCode
{
  ExitSuccess = 0,
  ExitFailure = 1,
  // Unknown command or option, wrong argument count, malformed argument.
  ExitUsage = 2
};

// An option a command accepts: "--name", or "--name VALUE" / "--name=VALUE".
struct OptionSpec
{
  const char *name;
  bool takesValue;
};

class Arguments;

// One entry of the dispatch table: "mksetup <area> <verb> ...", or
// "mksetup <area> ..." when verb is null.
struct Command
{
  const char *area;
  const char *verb;
  int (*run)(const Arguments &arguments);
  // What follows "mksetup " in the synopsis, e.g. "lzss encode <in> <out>".
  const char *synopsis;
  // One line for the list of commands.
  const char *summary;
  std::size_t minArguments = 0;
  std::size_t maxArguments = 0;
  // The rest of the command's --help text, lines ending in "\n".
  const char *details = "";
  std::span<const OptionSpec> options = {};
};

inline constexpr std::size_t AnyNumberOfArguments = static_cast<std::size_t>(-1);

// A command's arguments after the options were taken out of them.
class Arguments
{
public:
  explicit Arguments(const Command &command) : _command(command) {}

  const Command &GetCommand() const { return _command; }
  std::size_t Count() const { return _positional.size(); }
  const std::string &operator[](std::size_t index) const { return _positional[index]; }
  const std::vector<std::string> &Positional() const { return _positional; }

  bool Has(const char *option) const;
  // Every value given to a repeatable option, in command-line order.
  std::vector<std::string> Values(const char *option) const;

  // Reports a malformed argument with the command's synopsis; answers ExitUsage.
  int UsageError(const char *format, ...) const ES_PRINTF_FORMAT(2, 3);

private:
  friend int RunCommandLine(std::span<const Command> commands, int argc, char **argv);

  const Command &_command;
  std::vector<std::string> _positional;
  std::vector<std::pair<std::string, std::string>> _options;
};

// Finds the command named on the command line, takes its options and runs it.
// Answers the exit code; --help anywhere before "--" prints help on stdout.
int RunCommandLine(std::span<const Command> commands, int argc, char **argv);

// "mksetup: <message>" on standard error.
void ToolMessage(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
// ToolMessage, then answers ExitFailure.
int ToolFailure(const char *format, ...) ES_PRINTF_FORMAT(1, 2);

// Makes standard output binary on Windows, so that output lines end in "\n"
// and member bytes pass unchanged, as on every other platform.
void WriteBinaryStandardOutput();

// Reads a decimal number made of digits only; false for anything else. A
// value beyond the type's range reads as its maximum (and answers true):
// such a size is refused later as too large, not as malformed.
bool ParseDecimal(const std::string &text, unsigned long long &value);
