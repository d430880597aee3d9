#pragma once

#include <string>
#include <utility>
#include <vector>

// What a run of the mksetup binary did.
struct MksetupRun
{
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the real mksetup (MKSETUP_PATH) with the arguments, no shell in
// between, standard input empty, and answers its exit code and everything
// it wrote. A process killed by a signal answers 128 + the signal.
// MKSETUP_VERBOSE is taken out of its environment unless given in extra.
MksetupRun RunMksetup(const std::vector<std::string> &arguments,
                      const std::vector<std::pair<std::string, std::string>> &extraEnvironment = {});
