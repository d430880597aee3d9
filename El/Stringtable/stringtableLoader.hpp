#pragma once

#include "Es/Strings/rString.hpp"

class QFBank;
class StringTable;

// The name of the current language ("English", "German", ...) whose column
// the loader keeps.
void SetStringtableLanguage(const char *language);
const RString &GetStringtableLanguage();

// Loads the rows of a setup.csv-style table file into the table tableName of
// the process-wide set: the file passes through the current preprocessor
// hook, then the row parser. A missing file does nothing. False when nothing
// was loaded (missing file or preprocessor failure, which is warned about).
bool LoadStringtable(const char *tableName, const char *fileName, float priority, bool clear);
// The same, reading the file from a data bank.
bool LoadStringtable(const char *tableName, QFBank &bank, const char *fileName, float priority, bool clear);

// Parses preprocessed table text (size bytes, need not be terminated) into
// table, keeping the column of language. Warnings go to the warning channel.
void ParseStringtableRows(StringTable &table, const char *data, int size, const char *language);
