#pragma once

#include <span>
#include <string>

// The temporary working folder: temporaryPath (with its trailing backslash),
// the product name, " - Installer". Characters that cannot stand in a file
// name (":" among them) and path separators in the product name become
// blanks, and a name of dots alone is refused, so the folder always lies
// directly in the temporary folder. Empty when temporaryPath is empty.
std::wstring TemporaryWorkingFolderName(const std::wstring &temporaryPath, const std::wstring &productName);
// The user's temporary path (GetTempPathW), empty when it cannot be had.
std::wstring UserTemporaryPath();

// Unpacks a data bank held in memory into folder: each member becomes the
// file folder + "\" + member name, its folders created on the way. Members
// whose names would land outside folder are skipped. False when the bytes
// are not a bank.
bool UnpackBankInto(std::span<const char> bank, const std::wstring &folder);
