// setup.exe installing a product, driven as a user would: plain and gzip
// files checked against setup.crc, banks beside the installer and appended
// to it, a medium asked for and inserted, and the failures, after each of
// which nothing of the product may be left on disk.

#include "tests/e2e/scenarioSteps.hpp"
#include "tests/support/installMedia.hpp"
#include "tests/support/tempFolder.hpp"

#include "Es/Common/crc32Table.hpp"
#include "Setup/Data/fileList.hpp"

#include <filesystem>
#include <fstream>
#include <map>

namespace
{
using e2e::AnswerNextBox;
using e2e::MessageIcon;
using e2e::Narrow;
using e2e::ProgramRun;
using e2e::RunOptions;
using e2e::TableRow;

const TableRow AppName{L"SETUP_STR_APP_NAME", L"Velq Setup", L"Velq-Installation"};
const TableRow FileCrc{L"SETUP_STR_ERR_FILE_CRC", L"The file %1 is damaged.", L"Die Datei %1 ist besch\u00e4digt."};
const TableRow FileNotFound{L"SETUP_STR_ERR_FILE_NOT_FOUND", L"The file %1 was not found.", L"Die Datei %1 fehlt."};
const TableRow FileRead{L"SETUP_STR_ERR_FILE_READ", L"The file %1 could not be read.", L"Die Datei %1 ist unlesbar."};
const TableRow NoArchive{L"SETUP_STR_BIN_FILE_NOT_FOUND", L"The product's archives were not found.",
                         L"Die Archive fehlen."};
const TableRow Failed{L"SETUP_STR_RESULT_ERROR", L"Setup failed.", L"Die Installation ist fehlgeschlagen."};
const TableRow InsertMedium{L"SETUP_INSERT_CDROM", L"Please insert the disc", L"Bitte legen Sie die CD ein"};
const TableRow Cancel{L"SETUP_DIALOG_CANCEL", L"Cancel", L"Abbrechen"};

RunOptions English() { return RunOptions{{}, L"en_US.UTF-8"}; }

// Every file below a folder with its bytes, by its path relative to it.
std::map<std::wstring, std::string> TreeOf(const std::filesystem::path &folder)
{
  std::map<std::wstring, std::string> tree;
  std::error_code error;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file())
      tree[entry.path().lexically_relative(folder).wstring()] = TempFolder::Read(entry.path());
  return tree;
}

std::string Sample(std::size_t size, unsigned seed, bool random)
{
  std::string bytes(size, '\0');
  std::uint32_t state = seed;
  for (std::size_t i = 0; i < size; ++i)
  {
    state = state * 1664525u + 1013904223u;
    bytes[i] = random ? static_cast<char>(state >> 24) : static_cast<char>('a' + (i / 7 + seed) % 26);
  }
  return bytes;
}

std::string CrcLine(const std::string &name, const std::string &bytes)
{
  char line[64];
  std::snprintf(line, sizeof line, " %08X\n", static_cast<unsigned>(Crc32Of(bytes.data(), bytes.size())));
  return name + line;
}

std::string FileList(const std::vector<std::pair<std::string, int>> &files,
                     const std::map<std::string, std::string> &bytes)
{
  AutoArray<FileListRecord> records;
  for (const auto &[name, archive] : files)
  {
    FileListRecord record;
    record.name = name.c_str();
    record.size = static_cast<std::int32_t>(bytes.at(name).size());
    record.archiveNumber = static_cast<std::int8_t>(archive);
    records.Add(record);
  }
  QOStrStream out;
  WriteFileList(out, records);
  return std::string(out.str(), static_cast<std::size_t>(out.pcount()));
}

class SetupCopy : public ::testing::Test
{
protected:
  void SetUp() override
  {
    e2e::RemoveProductRegistration();
    ASSERT_FALSE(_folder.Path().empty());
    std::wstring setupExe = e2e::WindowsPathFromBuild(SETUP_EXE_PATH);
    ASSERT_TRUE(_folder.CopyIn(setupExe, L"setup.exe")) << "cannot copy " << Narrow(setupExe);
    ASSERT_TRUE(_folder.Write(L"setup.csv", e2e::SetupTable({AppName, FileCrc, FileNotFound, FileRead, NoArchive,
                                                             Failed, InsertMedium, Cancel})));
  }
  void TearDown() override
  {
    std::filesystem::remove_all(_working);
    e2e::RemoveProductRegistration();
  }

  std::filesystem::path Install() const { return std::filesystem::path(_folder.File(L"installed")); }

  // The script's head: the product, its log, the install folder, a size,
  // and no OpenAL runtime.
  std::string Head() const
  {
    return "A:Velq\r\nU:D:uninst.exe:Velq:Velq\r\nI:N:" + Narrow(Install().wstring()) +
           "\r\nL:1000000\r\nQ:openAL:no\r\n";
  }

  void Write(const std::string &name, const std::string &bytes)
  {
    std::filesystem::path path = std::filesystem::path(_folder.Path()) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }

  // setup.exe of the folder (with its trailing backslash), the test's own
  // folder unless another is given.
  void Start(ProgramRun &run, std::wstring folder = {})
  {
    if (folder.empty())
      folder = _folder.Path();
    ASSERT_TRUE(run.Start(folder + L"setup.exe", folder, English())) << run.Error();
  }

  // A run through the wizard that shows no message and ends with the result
  // dialog: the copy went through. What it registered is taken away again,
  // so that the next run is not asked whether to install again.
  void RunQuietly(const std::wstring &folder = {})
  {
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run, folder));
    ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run));
    ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    e2e::RemoveProductRegistration();
  }

  // A run that shows the copy error, then the failure, and ends.
  void RunFailing(const std::wstring &error)
  {
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run));
    ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {AppName.english, error, MessageIcon::Error, {IDOK}}, IDOK));
    ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {AppName.english, Failed.english, MessageIcon::Warning, {IDOK}}, IDOK));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
  }

  // After a failure the product is gone and the working folder too.
  void ExpectNothingLeft()
  {
    EXPECT_FALSE(std::filesystem::exists(Install())) << Narrow(Install().wstring());
    EXPECT_FALSE(std::filesystem::exists(_working));
  }

  static std::wstring WithArgument(const std::wstring &text, const std::wstring &argument)
  {
    std::wstring shown = text;
    shown.replace(shown.find(L"%1"), 2, argument);
    return shown;
  }

  e2e::TestFolder _folder;
  std::filesystem::path _working = std::filesystem::path(e2e::TemporaryFolder() + L"Velq - Installer");
};

TEST_F(SetupCopy, PlainAndGzipFilesAreInstalledByteForByteAndVerified)
{
  std::map<std::string, std::string> files = {{"readme.txt", "Velq, a demo product.\r\n"},
                                              {"data\\levels\\one.lvl", Sample(300000, 1, false)},
                                              {"data\\sounds\\noise.wav", Sample(600000, 2, true)}};
  Write("readme.txt", files["readme.txt"]);
  Write("data\\levels\\one.lvl.gz", GzipBytes(files["data\\levels\\one.lvl"]));
  Write("data\\sounds\\noise.wav", files["data\\sounds\\noise.wav"]);
  Write("setup.crc", CrcLine("readme.txt", files["readme.txt"]) +
                         CrcLine("data\\levels\\one.lvl", files["data\\levels\\one.lvl"]) +
                         CrcLine("data\\sounds\\noise.wav", files["data\\sounds\\noise.wav"]));
  Write("setup.dat", Head() + "F:readme.txt:readme.txt\r\nD:data:data\r\n");

  ASSERT_NO_FATAL_FAILURE(RunQuietly());
  std::map<std::wstring, std::string> tree = TreeOf(Install());
  ASSERT_EQ(tree.size(), 4u);
  for (const auto &[name, bytes] : files)
    EXPECT_TRUE(tree[WideFromUtf8(name)] == bytes) << name;
  // The log names every folder and file made, and itself last.
  std::string root = Narrow(Install().wstring());
  std::string log = tree[L"uninst.log"];
  EXPECT_EQ(log.substr(0, 6), "Velq\r\n");
  for (const std::string &line : {"D:" + root, "F:" + root + "\\readme.txt", "D:" + root + "\\data\\levels",
                                  "F:" + root + "\\data\\levels\\one.lvl", "D:" + root + "\\data\\sounds",
                                  "F:" + root + "\\data\\sounds\\noise.wav"})
    EXPECT_NE(log.find("\r\n" + line + "\r\n"), std::string::npos) << line;
  EXPECT_EQ(log.substr(log.size() - root.size() - 15), "F:" + root + "\\uninst.log\r\n");
  EXPECT_FALSE(std::filesystem::exists(_working));
}

TEST_F(SetupCopy, SeparateArchivesWithStoredAndPackedMembersFollowTheFileList)
{
  std::map<std::string, std::string> files = {{"game.exe", Sample(200000, 3, true)},
                                              {"data\\map.txt", Sample(400000, 4, false)},
                                              {"data\\voice.ogg", Sample(100000, 5, true)},
                                              {"data\\notes.txt.gz", Sample(50000, 6, false)}};
  Write("setup01.bin", BankBytes({{"game.exe", files["game.exe"]}, {"data\\voice.ogg", files["data\\voice.ogg"]}}));
  Write("setup02.bin", BankBytes({{"data\\map.txt", files["data\\map.txt"], true},
                                  {"data\\notes.txt.gz", GzipBytes(files["data\\notes.txt.gz"]), true}}));
  std::string error;
  ASSERT_TRUE(e2e::AddDataResources(
      _folder.File(L"setup.exe"),
      {{L"SETUP_FILE_LIST",
        FileList({{"game.exe", 1}, {"data\\map.txt", 2}, {"data\\voice.ogg", 1}, {"data\\notes.txt.gz", 2}}, files)}},
      error))
      << error;
  Write("setup.crc", CrcLine("data\\map.txt", files["data\\map.txt"]));
  Write("setup.dat", Head() + "F:game.exe:bin\\game.exe\r\nD:data:data\r\n");

  ASSERT_NO_FATAL_FAILURE(RunQuietly());
  std::map<std::wstring, std::string> tree = TreeOf(Install());
  EXPECT_EQ(tree.size(), 5u);
  EXPECT_TRUE(tree[L"bin\\game.exe"] == files["game.exe"]);
  EXPECT_TRUE(tree[L"data\\map.txt"] == files["data\\map.txt"]);
  EXPECT_TRUE(tree[L"data\\voice.ogg"] == files["data\\voice.ogg"]);
  EXPECT_TRUE(tree[L"data\\notes.txt"] == files["data\\notes.txt.gz"]);
}

TEST_F(SetupCopy, ArchivesAppendedToTheInstallerAreReadFromIt)
{
  std::map<std::string, std::string> files = {{"a.bin", Sample(100000, 7, true)}, {"b.txt", Sample(300000, 8, false)}};
  std::string error;
  ASSERT_TRUE(e2e::AddDataResources(_folder.File(L"setup.exe"),
                                    {{L"SETUP_FILE_LIST", FileList({{"a.bin", 1}, {"b.txt", 2}}, files)}}, error))
      << error;
  std::filesystem::path exe = std::filesystem::path(_folder.File(L"setup.exe"));
  std::string withBanks = WithAppendedArchives(
      TempFolder::Read(exe), {BankBytes({{"a.bin", files["a.bin"]}}), BankBytes({{"b.txt", files["b.txt"], true}})});
  std::ofstream(exe, std::ios::binary | std::ios::trunc) << withBanks;
  Write("setup.dat", Head() + "F:a.bin:a.bin\r\nF:b.txt:b.txt\r\n");

  ASSERT_NO_FATAL_FAILURE(RunQuietly());
  EXPECT_TRUE(TempFolder::Read(Install() / "a.bin") == files["a.bin"]);
  EXPECT_TRUE(TempFolder::Read(Install() / "b.txt") == files["b.txt"]);
}

TEST_F(SetupCopy, AChecksumMismatchUndoesTheInstallation)
{
  Write("first.txt", "first file");
  Write("data\\second.txt", "second file");
  Write("setup.crc", "data\\second.txt 0BADC0DE\n");
  Write("setup.dat", Head() + "F:first.txt:first.txt\r\nD:data:data\r\n");
  ASSERT_NO_FATAL_FAILURE(RunFailing(WithArgument(FileCrc.english, Install().wstring() + L"\\data\\second.txt")));
  ExpectNothingLeft();
}

TEST_F(SetupCopy, AMissingSourceUndoesTheInstallation)
{
  Write("first.txt", "first file");
  Write("setup.dat", Head() + "F:first.txt:first.txt\r\nF:missing.txt:sub\\missing.txt\r\n");
  ASSERT_NO_FATAL_FAILURE(RunFailing(WithArgument(FileNotFound.english, _folder.File(L"missing.txt"))));
  ExpectNothingLeft();
}

TEST_F(SetupCopy, AMissingArchiveUndoesTheInstallation)
{
  std::string error;
  ASSERT_TRUE(e2e::AddDataResources(_folder.File(L"setup.exe"),
                                    {{L"SETUP_FILE_LIST", FileList({{"in.bin", 1}}, {{"in.bin", "x"}})}}, error))
      << error;
  Write("plain.txt", "plain");
  Write("setup.dat", Head() + "F:plain.txt:plain.txt\r\nF:in.bin:in.bin\r\n");
  ASSERT_NO_FATAL_FAILURE(RunFailing(NoArchive.english));
  ExpectNothingLeft();
}

class SetupMedium : public SetupCopy
{
protected:
  // A medium with any label (labels are not tested) whose test file is on
  // drive C: below the test's folder, not there yet.
  std::string MediumScript() const
  {
    std::wstring relative = _folder.Path().substr(3) + L"disc2\\";
    return Head() + "Q:testVolumeLabel:no\r\nC:DISC2:" + Narrow(relative) + "disc2.tag:" + Narrow(relative) +
           "\r\nF:game.dat:game.dat\r\n";
  }
};

TEST_F(SetupMedium, AMediumInsertedWhileThePromptWaitsClosesItAndCopyingGoesOn)
{
  ASSERT_EQ(_folder.Path().substr(0, 3), L"C:\\");
  Write("setup.dat", MediumScript());
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run));
  std::optional<e2e::MessageBoxView> prompt = run.NextMessageBox();
  ASSERT_TRUE(prompt) << run.Error();
  EXPECT_EQ(prompt->caption, L"");
  EXPECT_EQ(prompt->text, InsertMedium.english + L" \"DISC2\".");
  EXPECT_EQ(prompt->buttons, std::vector<int>{IDCANCEL});

  Write("disc2\\game.dat", "from the second disc");
  Write("disc2\\disc2.tag", "");
  ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  EXPECT_EQ(TempFolder::Read(Install() / "game.dat"), "from the second disc");
}

TEST_F(SetupMedium, CancellingThePromptIsAnErrorAndUndoesTheInstallation)
{
  Write("setup.dat", MediumScript());
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run));
  std::optional<e2e::MessageBoxView> prompt = run.NextMessageBox();
  ASSERT_TRUE(prompt) << run.Error();
  ASSERT_TRUE(run.Press(*prompt, IDCANCEL)) << run.Error();
  ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {AppName.english, Failed.english, MessageIcon::Warning, {IDOK}}, IDOK));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  EXPECT_EQ(run.ExitCode(), 3);
  ExpectNothingLeft();

  // Silent and told not to ask: the missing disc is an error at once.
  ProgramRun silent;
  ASSERT_TRUE(
      silent.Start(_folder.Path() + L"setup.exe", _folder.Path(), RunOptions{{L"/S", L"/NOPROMPT"}, L"en_US.UTF-8"}))
      << silent.Error();
  ASSERT_TRUE(silent.WaitForExit()) << silent.Error();
  EXPECT_EQ(silent.ExitCode(), 3);
  ExpectNothingLeft();
}

// Media made by mksetup from a product folder: every file of the product
// is installed as it is, from separate archives or from setup.exe itself.
class SetupMediumBuild : public SetupCopy
{
protected:
  // Runs the Windows build of mksetup; its exit code, or -1.
  static int Mksetup(const std::vector<std::wstring> &arguments)
  {
    // No argument ends in a backslash, which would escape its closing quote.
    std::wstring command = L"\"" + e2e::WindowsPathFromBuild(MKSETUP_PATH) + L"\"";
    for (const std::wstring &argument : arguments)
      command += L" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
  }

  // Nested folders, an empty file, and a file too large for the archives
  // of 256 KiB the first medium is made of.
  std::map<std::string, std::string> Product()
  {
    std::map<std::string, std::string> files = {{"readme.txt", Sample(2000, 9, false)},
                                                {"empty.dat", ""},
                                                {"data\\maps\\one.map", Sample(150000, 10, false)},
                                                {"data\\maps\\two.map", Sample(150000, 11, true)},
                                                {"data\\movies\\intro.bik", Sample(700000, 12, true)},
                                                {"data\\sounds\\deep\\hum.wav", Sample(100000, 13, true)}};
    for (const auto &[name, bytes] : files)
      Write("product\\" + name, bytes);
    Write("setup.dat", Head() + "F:readme.txt:readme.txt\r\nF:empty.dat:empty.dat\r\nD:data:data\r\n");
    return files;
  }

  void ExpectInstalled(const std::map<std::string, std::string> &files)
  {
    std::map<std::wstring, std::string> tree = TreeOf(Install());
    EXPECT_EQ(tree.size(), files.size() + 1); // and the install log
    for (const auto &[name, bytes] : files)
      EXPECT_TRUE(tree[WideFromUtf8(name)] == bytes) << name;
  }

  // The build command with its options, the installer, script and texts
  // of the test's folder, the product and the medium.
  std::vector<std::wstring> Build(std::vector<std::wstring> arguments)
  {
    arguments.insert(arguments.end(),
                     {L"--setup", _folder.File(L"setup.exe"), L"--script", _folder.File(L"setup.dat"), L"--strings",
                      _folder.File(L"setup.csv"), _folder.File(L"product"), _folder.File(L"medium")});
    return arguments;
  }
};

TEST_F(SetupMediumBuild, APackedMediumOfThreeArchivesInstallsEveryFileAndVerifies)
{
  std::map<std::string, std::string> files = Product();
  ASSERT_EQ(Mksetup(Build({L"medium", L"build", L"--pack", L"--archive-size", L"256K"})), 0);
  std::filesystem::path medium(_folder.File(L"medium"));
  for (const char *archive : {"setup01.bin", "setup02.bin", "setup03.bin"})
    EXPECT_TRUE(std::filesystem::exists(medium / archive)) << archive;
  EXPECT_FALSE(std::filesystem::exists(medium / "setup04.bin"));
  EXPECT_EQ(Mksetup({L"medium", L"verify", _folder.File(L"medium")}), 0);

  ASSERT_NO_FATAL_FAILURE(RunQuietly(_folder.File(L"medium\\")));
  ExpectInstalled(files);
}

TEST_F(SetupMediumBuild, ASingleExeMediumInstallsEveryFileFromSetupExeAlone)
{
  std::map<std::string, std::string> files = Product();
  ASSERT_EQ(Mksetup(Build({L"medium", L"build", L"--pack", L"--single-exe"})), 0);
  std::filesystem::path medium(_folder.File(L"medium"));
  EXPECT_FALSE(std::filesystem::exists(medium / "setup01.bin"));

  ASSERT_NO_FATAL_FAILURE(RunQuietly(_folder.File(L"medium\\")));
  ExpectInstalled(files);
}
} // namespace
