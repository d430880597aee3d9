#pragma once

#include <string>

// Undoes one install-log record: "F" deletes the file when it exists, "D"
// removes the folder when it is empty (after leaving it as the current
// directory), "K" and "C" delete the key under the local-machine or classes
// root when it has no subkeys, "G" removes the game-list registration
// through the library the record names. Other letters, and records that are
// not a letter, a colon and a text, do nothing; so does every failure.
void UndoLogRecord(const std::wstring &record);
