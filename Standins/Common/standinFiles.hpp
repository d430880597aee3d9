#pragma once

// The files a stand-in keeps beside itself: a settings file that chooses its
// behaviour, and a record of the calls it received.
#include <map>
#include <string>

namespace standin
{
// The full name of a file in the folder of the module (library or program)
// this code is linked into; empty when that folder cannot be found.
std::wstring FileBeside(const wchar_t *name);

// Where a record of calls goes: the folder named by the environment
// variable STANDIN_RECORDS when it is set, else beside the module. A test
// whose product folder must end up empty keeps the records elsewhere.
std::wstring RecordFile(const wchar_t *name);

// Settings: one "key value" per line, the value being the rest of the line
// without surrounding blanks. A later line wins; a missing file holds none.
using Settings = std::map<std::string, std::string>;
Settings ReadSettings(const std::wstring &file);

// A number written as in C (decimal, 0x hex, 0 octal, with a sign), or
// `fallback` when the key is missing or its value is not wholly a number.
long long SettingNumber(const Settings &settings, const std::string &key, long long fallback);

// Appends `line` and a CR LF to the file, making it when missing.
void AppendLine(const std::wstring &file, const std::string &line);

// Wide text as UTF-8.
std::string Utf8(const wchar_t *text);
} // namespace standin
