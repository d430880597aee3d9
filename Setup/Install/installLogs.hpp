#pragma once

#include <string>

// Undoes one install-log record: "F" deletes the file when it exists, "D"
// removes the folder when it is empty (after leaving it as the current
// directory), "K" and "C" delete the key under the local-machine or classes
// root when it has no subkeys, "G" removes the game-list registration
// through the library the record names. Other letters, and records that are
// not a letter, a colon and a text, do nothing; so does every failure.
enum class UndoOutcome
{
  // What the record names was taken away.
  Removed,
  // It was not there any more.
  Gone,
  // It stays: a folder not empty, a key with subkeys, a file in use.
  Left,
  // The record's letter has nothing to undo.
  NoAction
};
UndoOutcome UndoLogRecord(const std::wstring &record);
// "removed", "already gone", "left in place", "nothing to undo".
const wchar_t *UndoOutcomeText(UndoOutcome outcome);
