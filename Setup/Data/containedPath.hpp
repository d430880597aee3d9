#pragma once

#include <string>

// Names taken from outside data (bank members, file-list records, folder
// scans) that become paths below a folder of ours.

// Whether a character cannot stand in a file name: controls, and what the
// system reserves ("<>:\"/\\|?*").
bool CannotStandInFileName(wchar_t c);

// Whether a name stays inside the folder it is joined to: a relative path of
// plain names, "\" or "/" between them. Refused: an empty name, a leading or
// trailing separator, a part of dots and blanks alone (the system strips
// trailing dots and blanks, so ". ." or "..." act as "." or ".."), a colon (a
// drive or a stream of another file) or another reserved character, and the
// device names the system maps in every folder ("con", "nul.txt", "com1").
bool IsContainedRelativePath(const std::wstring &name);
