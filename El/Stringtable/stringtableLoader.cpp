#include "El/Stringtable/stringtableLoader.hpp"

#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/QStream/fileServer.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "El/Stringtable/stringTable.hpp"
#include "Es/Framework/appFrame.hpp"

#include <climits>
#include <cstring>
#include <memory>

namespace
{
const char *const Source = "El/Stringtable/stringtableLoader";

RString &Language()
{
  static RString language("English");
  return language;
}

// The longest cell; characters beyond it are dropped.
constexpr int MaxCellLength = 4095;

// One cell as read: a fixed buffer, so untrusted input never asks for more
// memory than this whatever its length.
struct Cell
{
  char text[MaxCellLength + 1];
  int length = 0;

  void Append(const char *from, std::ptrdiff_t count)
  {
    if (count > MaxCellLength - length)
      count = MaxCellLength - length;
    if (count <= 0)
      return;
    std::memcpy(text + length, from, static_cast<std::size_t>(count));
    length += static_cast<int>(count);
  }
  void Append(char c)
  {
    if (length < MaxCellLength)
      text[length++] = c;
  }
  // Terminated text (a cell with a zero byte reads as cut there).
  const char *Text()
  {
    text[length] = '\0';
    return text;
  }
  bool IsEmpty() const { return length == 0 || text[0] == '\0'; }
};

// The bytes that end an unquoted cell: ",", CR and LF. A table rather than
// three comparisons keeps the byte loop to one well-predicted branch.
struct CellEnds
{
  bool stop[256] = {};
  constexpr CellEnds()
  {
    stop[static_cast<unsigned char>(',')] = true;
    stop[static_cast<unsigned char>('\r')] = true;
    stop[static_cast<unsigned char>('\n')] = true;
  }
};
constexpr CellEnds CellEndBytes{};

// Reads rows and cells of the preprocessed text. The text is size bytes and
// need not be terminated: nothing here reads at or past its end.
class RowReader
{
public:
  RowReader(const char *data, int size) : _p(data), _end(data + (size > 0 ? size : 0)) {}

  bool AtEnd() const { return _p >= _end; }

  // Reads the next cell of the current row into cell. At the row's end (or the
  // text's) the cell is empty and nothing is consumed, so reading on never
  // leaves the row.
  void ReadCell(Cell &cell) { _p = ReadCell(&cell, _p, _end); }
  // Passes over the next cell of the current row as ReadCell does.
  void SkipCell() { _p = ReadCell(nullptr, _p, _end); }

  // Skips the cells left in the row (quoted line ends do not end it), then
  // the line end itself: CR LF, CR or LF.
  void NextRow()
  {
    const char *p = _p;
    const char *end = _end;
    while (p < end && !IsLineEnd(*p))
      p = ReadCell(nullptr, p, end);
    if (p < end && *p == '\r')
    {
      ++p;
      if (p < end && *p == '\n')
        ++p;
    }
    else if (p < end && *p == '\n')
      ++p;
    _p = p;
  }

private:
  static bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

  static const char *ToCellEnd(const char *p, const char *end)
  {
    while (p < end && !CellEndBytes.stop[static_cast<unsigned char>(*p)])
      ++p;
    return p;
  }

  // Reads into cell, or passes over the cell when it is null. Works on local
  // pointers: a char read may alias the members, which would keep the
  // compiler from holding them in registers in the byte loops.
  static const char *ReadCell(Cell *cell, const char *p, const char *end)
  {
    if (cell)
      cell->length = 0;
    while (p < end && (*p == ' ' || *p == '\t'))
      ++p;
    if (p >= end || IsLineEnd(*p))
      return p;
    if (*p == '"')
    {
      ++p;
      while (p < end)
      {
        // Everything up to the next quote is taken as it stands.
        const char *quote = static_cast<const char *>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
        if (!quote)
        {
          // Unterminated: the cell runs to the end of the text.
          if (cell)
            cell->Append(p, end - p);
          return end;
        }
        if (cell)
          cell->Append(p, quote - p);
        p = quote + 1;
        if (p < end && *p == '"')
        {
          if (cell)
            cell->Append('"');
          ++p;
          continue;
        }
        break;
      }
      // Whatever follows the closing quote is dropped, up to "," or line end.
      p = ToCellEnd(p, end);
    }
    else
    {
      const char *start = p;
      p = ToCellEnd(p, end);
      if (cell)
        cell->Append(start, p - start);
    }
    if (p < end && *p == ',')
      ++p;
    return p;
  }

  const char *_p;
  const char *_end;
};

// The cells a row keeps: its key and its text.
struct RowCells
{
  Cell key;
  Cell text;
};

// Loads the preprocessed text into the table of that name, as the interface
// says: the priority is checked against an existing table, which is cleared
// on request; a new table is inserted by priority.
void FillTable(const char *tableName, const QOStrStream &text, float priority, bool clear)
{
  StringTableSet &tables = GStringTables();
  StringTable *table = tables.Find(tableName);
  if (table)
  {
    if (table->GetPriority() != priority)
      WarningF("%s(%d) : Assertion failed '%s'", Source, __LINE__, "table.GetPriority() == priority");
    if (clear)
      table->Clear();
  }
  else
    table = &tables.FindOrInsert(tableName, priority);
  QFileSize size = text.pcount();
  ParseStringtableRows(*table, text.str(), size > static_cast<QFileSize>(INT_MAX) ? INT_MAX : static_cast<int>(size),
                       GetStringtableLanguage());
}
} // namespace

void SetStringtableLanguage(const char *language) { Language() = language; }

const RString &GetStringtableLanguage() { return Language(); }

bool LoadStringtable(const char *tableName, const char *fileName, float priority, bool clear)
{
  if (!QFileExists(fileName))
    return false;
  QOStrStream text;
  if (!GPreprocessorFunctions()->Preprocess(text, fileName, false))
  {
    WarningF("Stringtable %s: preprocessor error", fileName);
    return false;
  }
  FillTable(tableName, text, priority, clear);
  return true;
}

bool LoadStringtable(const char *tableName, QFBank &bank, const char *fileName, float priority, bool clear)
{
  if (!bank.Contains(fileName))
    return false;
  QOStrStream text;
  if (!GPreprocessorFunctions()->Preprocess(text, bank, fileName, false))
  {
    WarningF("Stringtable %s: preprocessor error", fileName);
    return false;
  }
  FillTable(tableName, text, priority, clear);
  return true;
}

void ParseStringtableRows(StringTable &table, const char *data, int size, const char *language)
{
  if (!data || size <= 0)
    return;
  // 8 KB of cells: on the heap, not on the stack of whoever loads.
  auto cells = std::make_unique<RowCells>();
  RowReader reader(data, size);

  // Rows before the first one that starts with LANGUAGE are ignored.
  for (;;)
  {
    if (reader.AtEnd())
      return;
    reader.ReadCell(cells->key);
    if (CompareNoCase(cells->key.Text(), "LANGUAGE") == 0)
      break;
    reader.NextRow();
  }

  // The language names run up to the first empty cell.
  int column = -1;
  for (int index = 0;; ++index)
  {
    reader.ReadCell(cells->text);
    if (cells->text.IsEmpty())
      break;
    if (column < 0 && CompareNoCase(cells->text.Text(), language ? language : "") == 0)
      column = index;
  }
  reader.NextRow();
  if (column < 0)
  {
    WarningF("Unsupported language %s in stringtable", language ? language : "");
    column = 0;
  }

  while (!reader.AtEnd())
  {
    reader.ReadCell(cells->key);
    const char *key = cells->key.Text();
    if (!cells->key.IsEmpty() && CompareNoCase(key, "COMMENT") != 0)
    {
      for (int skipped = 0; skipped < column; ++skipped)
        reader.SkipCell();
      reader.ReadCell(cells->text);
      // The first row of a key wins.
      if (!table.Add(RString(key, cells->key.length), RString(cells->text.Text(), cells->text.length)))
        WarningF("Item %s listed twice", key);
    }
    reader.NextRow();
  }
}
