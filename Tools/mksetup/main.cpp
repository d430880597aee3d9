#include "Tools/mksetup/commandLine.hpp"
#include "Tools/mksetup/commands.hpp"
#include "Tools/mksetup/consoleFrame.hpp"

#include <exception>
#include <new>

namespace
{
constexpr OptionSpec BankCreateOptions[] = {{"pack", false}, {"version", false}, {"property", true}, {"jobs", true}};
constexpr OptionSpec PreprocessOptions[] = {{"line-markers", false}};
constexpr OptionSpec MediumBuildOptions[] = {
    {"setup", true}, {"script", true}, {"strings", true},      {"data", true},        {"directx", true},
    {"pack", false}, {"jobs", true},   {"archive-size", true}, {"single-exe", false}, {"uninstaller", true}};
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
     .synopsis = "bank create [--pack] [--jobs N] [--version] [--property KEY=VALUE]... <out> <dir>",
     .summary = "Makes the bank <out> of every file below <dir>.",
     .minArguments = 2,
     .maxArguments = 2,
     .details = "Members are named by their paths below <dir> with \"\\\" separators, in byte order.\n"
                "  --pack                 pack members (LZSS) where that makes them smaller\n"
                "  --jobs N               pack on N threads (default: one per processor; the\n"
                "                         bank is the same for any N)\n"
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
    {.area = "medium",
     .verb = "build",
     .run = RunMediumBuild,
     .synopsis = "medium build [options] <product-dir> <medium-dir>",
     .summary = "Makes an installation medium of every file below <product-dir>.",
     .minArguments = 2,
     .maxArguments = 2,
     .details = "Writes <medium-dir>/setup.exe (the installer with the medium's resources), the\n"
                "archives setup01.bin, setup02.bin, ... (unless --single-exe) and setup.crc.\n"
                "Each file becomes an archive member named by its path below <product-dir> with\n"
                "\"\\\" separators, is listed in the resource SETUP_FILE_LIST with its size and\n"
                "archive, and gets its checksum in setup.crc. Archive files of an earlier build\n"
                "that this medium does not name are removed. A failed build changes nothing.\n"
                "  --setup FILE       the installer to put on the medium (required); it must not\n"
                "                     be signed yet: sign setup.exe once the medium is built\n"
                "  --script FILE      setup.dat, embedded as the resource SETUP.DAT\n"
                "  --strings FILE     setup.csv, embedded as SETUP.CSV\n"
                "  --data DIR         a folder made into a bank, embedded as SETUP_3RD_PARTY_AND_DATA\n"
                "  --directx DIR      a folder made into a bank, embedded as DIRECTX_INSTALLER\n"
                "  --uninstaller FILE our uninstall.exe, put into the product as uninstall.exe; a\n"
                "                     script's U line names it (U:D:uninstall.exe:key:name)\n"
                "  --pack             pack members (LZSS) where that makes them smaller\n"
                "  --jobs N           pack on N threads (default: one per processor; the medium\n"
                "                     is the same for any N)\n"
                "  --archive-size N   start a new archive before one would pass N bytes (suffixes\n"
                "                     K, M, G); a larger file gets an archive of its own. Default:\n"
                "                     one archive (a bank stays below 4 GiB: beyond, another)\n"
                "  --single-exe       append the archives to setup.exe behind a trailer instead\n"
                "                     of writing setupNN.bin files\n",
     .options = MediumBuildOptions},
    {.area = "medium",
     .verb = "list",
     .run = RunMediumList,
     .synopsis = "medium list <medium-dir>",
     .summary = "Lists the resources, archives and members of the medium in <medium-dir>.",
     .minArguments = 1,
     .maxArguments = 1,
     .details = "Tab-separated lines:\n"
                "  resource  <name> <size>\n"
                "  archive   <number> <file, or setup.exe@<start>> <size>\n"
                "  member    <archive> <stored|packed> <size> <name>\n"},
    {.area = "medium",
     .verb = "verify",
     .run = RunMediumVerify,
     .synopsis = "medium verify <medium-dir>",
     .summary = "Reads every file of the medium back as the installer would and checks it.",
     .minArguments = 1,
     .maxArguments = 1,
     .details = "Each file of SETUP_FILE_LIST is read from its archive and unpacked; its size is\n"
                "compared with the list and its checksum with setup.crc. Ends with \"N files\n"
                "verified\", or one line per bad file and exit status 1.\n"},
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
