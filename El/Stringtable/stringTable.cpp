#include "El/Stringtable/stringTable.hpp"

#include "Es/Common/neverDestroyed.hpp"
#include "Es/Framework/appFrame.hpp"

const RString *StringTable::Find(const char *key) const
{
  const StringTableEntry *entry = _entries.Find(key ? key : "");
  return entry ? &entry->text : nullptr;
}

bool StringTable::Add(const RString &key, const RString &text)
{
  if (_entries.Find(key))
    return false;
  _entries.Add(StringTableEntry{key, text});
  return true;
}

StringTable *StringTableSet::Find(const char *name)
{
  for (const std::unique_ptr<StringTable> &table : _tables)
    if (CompareNoCase(table->GetName(), name ? name : "") == 0)
      return table.get();
  return nullptr;
}

StringTable &StringTableSet::FindOrInsert(const char *name, float priority)
{
  if (StringTable *existing = Find(name))
    return *existing;
  // Before the first table of lower priority: among equal priorities the
  // table loaded first keeps answering first.
  auto position = _tables.begin();
  while (position != _tables.end() && !((*position)->GetPriority() < priority))
    ++position;
  return **_tables.insert(position, std::make_unique<StringTable>(name, priority));
}

RString StringTableSet::Lookup(const char *key) const
{
  if (const RString *text = Find(key, true))
    return *text;
  WarningF("String %s not found", key ? key : "");
  return RString();
}

// The flag only tells this overload from the table search by name: the
// lookup itself never warns, Lookup above does that for its callers.
const RString *StringTableSet::Find(const char *key, bool /*quiet*/) const
{
  for (const std::unique_ptr<StringTable> &table : _tables)
    if (const RString *text = table->Find(key))
      return text;
  return nullptr;
}

// Never destroyed: code that runs in static destructors at process end may
// still look texts up.
StringTableSet &GStringTables()
{
  static NeverDestroyed<StringTableSet> tables;
  return tables.value;
}
