#pragma once

#include <string>
#include <vector>

// A running program cannot delete its own file. The uninstaller leaves a
// copy of itself in the temporary folder, started with
//   /FINISH=<process id> "<own file>" "<folder>"...
// which waits for the uninstaller to end, deletes its file, then removes the
// folders (each only when empty), and marks its own copy for deletion at the
// next start of the system.

// Starts the copy; false when it could not be made or started.
bool StartSelfRemoval(const std::wstring &self, const std::vector<std::wstring> &folders);

// The copy's work, with its arguments after /FINISH=. Answers the exit code.
int FinishSelfRemoval(unsigned long processId, const std::vector<std::wstring> &paths);
