#pragma once

#include "Es/Containers/mapStringToClass.hpp"
#include "Es/Strings/rString.hpp"

#include <memory>
#include <vector>

struct StringTableEntry
{
  RString key;
  RString text;
  const char *GetKey() const { return key; }
};

// One table: keys compare without regard to ASCII case; texts are shared
// strings, handed out without copying.
class StringTable
{
public:
  StringTable(const char *name, float priority) : _name(name), _priority(priority) {}

  const RString &GetName() const { return _name; }
  float GetPriority() const { return _priority; }
  int Size() const { return _entries.Size(); }

  // The text of key, or null when the table lacks it.
  const RString *Find(const char *key) const;
  // Adds the pair unless the key is present; false when it was.
  bool Add(const RString &key, const RString &text);
  void Clear() { _entries.Clear(); }

  template <class Function> void ForEach(Function &&function) const { _entries.ForEach(function); }

private:
  RString _name;
  float _priority;
  MapStringToClass<StringTableEntry, MapStringToClassNoCaseTraits<StringTableEntry>> _entries;
};

// The tables of the process, in descending order of priority; among equal
// priorities the older table comes first.
class StringTableSet
{
public:
  // The table of that name (case ignored), or null.
  StringTable *Find(const char *name);
  // The table of that name; a new one is inserted before the first table of
  // lower priority. An existing table keeps its priority.
  StringTable &FindOrInsert(const char *name, float priority);
  // The first text of key in list order; empty, with the warning "String %s
  // not found", when no table has it.
  RString Lookup(const char *key) const;
  // The first table's text of key without any warning; null when absent.
  const RString *Find(const char *key, bool quiet) const;

  int Count() const { return static_cast<int>(_tables.size()); }
  const StringTable &operator[](int index) const { return *_tables[static_cast<std::size_t>(index)]; }
  // Drops every table.
  void Clear() { _tables.clear(); }

private:
  std::vector<std::unique_ptr<StringTable>> _tables;
};

// The process-wide table set.
StringTableSet &GStringTables();
