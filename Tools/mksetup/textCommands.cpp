#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/QStream/fileServer.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace
{
// The table the installer loads setup.csv into.
constexpr const char *GlobalTable = "global";

// The bytes go out exactly as they are: no line-end translation on Windows.
bool WriteStandardOutput(const char *data, std::size_t length)
{
  WriteBinaryStandardOutput();
  bool written = std::fwrite(data, 1, length, stdout) == length;
  return std::fflush(stdout) == 0 && written;
}

// Loads fileName into the table "global" the way the installer does: the
// text preprocessor, then the row parser keeping the column of language.
bool LoadGlobalTable(const std::string &fileName, const std::string &language)
{
  if (!QFileExists(fileName.c_str()))
  {
    ToolMessage("cannot open %s", fileName.c_str());
    return false;
  }
  static CPreprocessorFunctions preprocessor;
  SetPreprocessorFunctions(&preprocessor);
  SetStringtableLanguage(language.c_str());
  LoadStringtable(GlobalTable, fileName.c_str(), 0.0f, true);
  return true;
}

// One entry per line: control bytes and backslashes become C escapes.
std::string EscapedForLine(const char *text)
{
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c; ++c)
  {
    switch (*c)
    {
    case '\n':
      escaped += "\\n";
      break;
    case '\r':
      escaped += "\\r";
      break;
    case '\t':
      escaped += "\\t";
      break;
    case '\\':
      escaped += "\\\\";
      break;
    default:
      if (*c < 0x20)
      {
        escaped += "\\x";
        escaped += Hex[*c >> 4];
        escaped += Hex[*c & 15];
      }
      else
        escaped += static_cast<char>(*c);
    }
  }
  return escaped;
}
} // namespace

int RunPreprocess(const Arguments &arguments)
{
  CPreprocessorFunctions preprocessor;
  QOStrStream out;
  if (!preprocessor.Preprocess(out, arguments[0].c_str(), arguments.Has("line-markers")))
    return ExitFailure;
  if (!WriteStandardOutput(out.str(), out.pcount()))
    return ToolFailure("cannot write the result to standard output");
  return ExitSuccess;
}

int RunStrings(const Arguments &arguments)
{
  if (!LoadGlobalTable(arguments[0], arguments[1]))
    return ExitFailure;
  std::vector<std::pair<std::string, std::string>> entries;
  if (const StringTable *table = GStringTables().Find(GlobalTable))
    table->ForEach([&](const StringTableEntry &entry) { entries.emplace_back(entry.key.Data(), entry.text.Data()); });
  // std::string compares as unsigned bytes: byte order.
  std::sort(entries.begin(), entries.end());
  std::string listing;
  for (const auto &[key, text] : entries)
    listing += EscapedForLine(key.c_str()) + '\t' + EscapedForLine(text.c_str()) + '\n';
  if (!WriteStandardOutput(listing.data(), listing.size()))
    return ToolFailure("cannot write the list to standard output");
  return ExitSuccess;
}

int RunTextExpand(const Arguments &arguments)
{
  if (!LoadGlobalTable(arguments[0], arguments[1]))
    return ExitFailure;
  // Arguments arrive in the system's code page; the result goes out as UTF-8,
  // the encoding of the files it is checked against.
  std::wstring text = WideFromAnsi(arguments[2]);
  ExpandText(text, false);
  std::string result = Utf8FromWide(text) + '\n';
  if (!WriteStandardOutput(result.data(), result.size()))
    return ToolFailure("cannot write the result to standard output");
  return ExitSuccess;
}
