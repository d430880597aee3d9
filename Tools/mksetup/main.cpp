#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/consoleFrame.hpp"

#include <exception>
#include <new>

namespace
{
constexpr OptionSpec BankCreateOptions[] = {{"pack", false}, {"version", false}, {"property", true}};
constexpr OptionSpec PreprocessOptions[] = {{"line-markers", false}};
constexpr OptionSpec FileListCreateOptions[] = {{"archive", true}, {"archive-of", true}};

// The tool's commands. A new one is a row here and a handler in commands.hpp.
constexpr Command Commands[] = {
    {.area = "lzss",
     .verb = "encode",
     .run = RunLzssEncode,
     .synopsis = "lzss encode <in> <out>",
     .summary = "Packs the whole of <in> into <out> (LZSS).",
     .minArguments = 2,
     .maxArguments = 2},
    {.area = "lzss",
     .verb = "decode",
     .run = RunLzssDecode,
     .synopsis = "lzss decode <size> <in> <out>",
     .summary = "Unpacks exactly <size> bytes of the LZSS stream <in> into <out>.",
     .minArguments = 3,
     .maxArguments = 3,
     .details = "<size> is a decimal number of bytes. A malformed stream leaves no <out>.\n"},
    {.area = "bank",
     .verb = "create",
     .run = RunBankCreate,
     .synopsis = "bank create [--pack] [--version] [--property KEY=VALUE]... <out> <dir>",
     .summary = "Makes the bank <out> of every file below <dir>.",
     .minArguments = 2,
     .maxArguments = 2,
     .details = "Members are named by their paths below <dir> with \"\\\" separators, in byte order.\n"
                "  --pack                 pack members (LZSS) where that makes them smaller\n"
                "  --version              write the version record and the property list\n"
                "  --property KEY=VALUE   add a property (implies --version); may be repeated\n",
     .options = BankCreateOptions},
    {.area = "bank",
     .verb = "list",
     .run = RunBankList,
     .synopsis = "bank list <bank>",
     .summary = "Lists the members of <bank> in the order of their data.",
     .minArguments = 1,
     .maxArguments = 1,
     .details = "One line per member, tab-separated: name, method, unpacked size, data size,\n"
                "timestamp (seconds since 1970), data position.\n"},
    {.area = "bank",
     .verb = "extract",
     .run = RunBankExtract,
     .synopsis = "bank extract <bank> <dir> [<member>...]",
     .summary = "Writes the members of <bank> (all, or those named) as files below <dir>.",
     .minArguments = 2,
     .maxArguments = AnyNumberOfArguments,
     .details = "Members whose names would land outside <dir> are refused.\n"},
    {.area = "bank",
     .verb = "cat",
     .run = RunBankCat,
     .synopsis = "bank cat <bank> <member>",
     .summary = "Writes one member of <bank> to standard output.",
     .minArguments = 2,
     .maxArguments = 2},
    {.area = "filelist",
     .verb = "create",
     .run = RunFileListCreate,
     .synopsis = "filelist create [--archive N] [--archive-of NAME=N]... <out> <dir>",
     .summary = "Writes the file list <out>: size and archive number of every file below <dir>.",
     .minArguments = 2,
     .maxArguments = 2,
     .details = "Records are named by their paths below <dir> with \"\\\" separators, in byte order.\n"
                "Archive numbers: -1 a plain file, 0 a named resource, 1..127 a numbered archive.\n"
                "  --archive N            the archive number of every file (default 1)\n"
                "  --archive-of NAME=N    the archive number of the file NAME, written as it is\n"
                "                         listed (\"\\\" or \"/\" separators); may be repeated\n",
     .options = FileListCreateOptions},
    {.area = "filelist",
     .verb = "list",
     .run = RunFileListList,
     .synopsis = "filelist list <file>",
     .summary = "Lists the records of the file list <file>.",
     .minArguments = 1,
     .maxArguments = 1,
     .details = "One line per record, tab-separated: name, size, archive number. A damaged list\n"
                "has the records before the damage listed, then fails.\n"},
    {.area = "crc",
     .verb = nullptr,
     .run = RunCrc,
     .synopsis = "crc <file>...",
     .summary = "Prints the checksum the installer verifies each file with (a setup.crc line).",
     .minArguments = 1,
     .maxArguments = AnyNumberOfArguments,
     .details = "One line per file: the name as given, a blank, the CRC as 8 upper-case hex digits.\n"
                "The CRC is CRC-32/BZIP2 (not bit-reflected), not zlib's crc32.\n"},
    {.area = "preprocess",
     .verb = nullptr,
     .run = RunPreprocess,
     .synopsis = "preprocess [--line-markers] <file>",
     .summary = "Runs <file> through the text preprocessor and writes the result.",
     .minArguments = 1,
     .maxArguments = 1,
     .details = "Included files are found relative to the folder of the file that includes them.\n"
                "  --line-markers   mark where included files begin and end with #line lines\n",
     .options = PreprocessOptions},
    {.area = "strings",
     .verb = nullptr,
     .run = RunStrings,
     .synopsis = "strings <setup.csv> <language>",
     .summary = "Lists the texts the installer would load from <setup.csv> for <language>.",
     .minArguments = 2,
     .maxArguments = 2,
     .details = "One line per key, sorted by key: the key, a tab, the text. Line breaks, tabs,\n"
                "other control characters and backslashes are written as C escapes.\n"
                "<language> is a name from the table's LANGUAGE row, such as English or German.\n"},
    {.area = "text",
     .verb = "expand",
     .run = RunTextExpand,
     .synopsis = "text expand <setup.csv> <language> <text>",
     .summary = "Expands the $KEY references of <text> against <setup.csv>.",
     .minArguments = 3,
     .maxArguments = 3,
     .details = "\"%0\" (the product name) is left as it is.\n"},
};
} // namespace

int main(int argc, char **argv)
{
  InstallConsoleFrame();
  try
  {
    return RunCommandLine(Commands, argc, argv);
  }
  catch (const std::bad_alloc &)
  {
    return ToolFailure("out of memory");
  }
  catch (const std::exception &exception)
  {
    return ToolFailure("%s", exception.what());
  }
}
