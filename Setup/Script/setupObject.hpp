#pragma once

#include "Setup/Data/fileList.hpp"
#include "Setup/Install/archiveTable.hpp"
#include "Setup/Install/cdRom.hpp"
#include "Setup/Install/copyExtraction.hpp"
#include "Setup/Install/crcFile.hpp"
#include "Setup/Install/setupFileItem.hpp"
#include "Setup/Install/setupLogFileItem.hpp"
#include "Setup/Shell/commandSwitches.hpp"
#include "Setup/System/registryAction.hpp"
#include "Setup/Wizard/appFramework.hpp"
#include "Setup/Wizard/pictureItem.hpp"

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include <windows.h>

class CQorSetupApp;

template <class Item> using OwnedList = std::list<std::unique_ptr<Item>>;

// Result codes of a run.
enum SetupResult
{
  ResultDirectXError = -2,
  ResultRestart = -1,
  ResultSuccess = 0,
  ResultInternalError = 1,
  ResultCancelled = 2,
  ResultError = 3
};

// Driver states with a meaning outside the driver.
enum DriverState
{
  StateStartup = 0,
  StateWizard = 1,
  StateCopyStart = 10,
  StateResult = 100,
  StateEnd = 999
};

// DirectX modes of the script's "directx" option.
enum DirectXMode
{
  DirectXDialog = 0,
  DirectXSilent = 1,
  DirectXNo = 2
};

inline constexpr int MaxFinishActions = 10;

// What a run knows: everything the script says, what the user chooses, the
// lists of items to copy and register, the driver's state and result, and
// the state shared with the copy worker. The copy worker's fields are private
// and reached only through the methods that take the lock.
class CSetupObject : public CObject
{
public:
  CSetupObject();
  CSetupObject(const CSetupObject &) = delete;
  CSetupObject &operator=(const CSetupObject &) = delete;
  // Ends a running copy worker first, as the driver's state 12 does.
  ~CSetupObject() override;

  // --- The install driver -----------------------------------------------
  // Runs the action of the current state and moves to the state it answers;
  // false once the driver has reached its end state.
  bool Step();

  // --- Talking to the user ---------------------------------------------
  // A message box without an owner, the application title as caption, "%0"
  // in text replaced by the product name; answers the button pressed. A
  // silent run shows nothing and answers the safe button: Yes to a question
  // (go on, install over), OK otherwise.
  int MessageBox(const std::wstring &text, UINT type);
  // LocalizeKey(key), then MessageBox.
  int MessageBoxKey(const wchar_t *key, UINT type);
  // The result dialog of a successful run: the user ticks the finish
  // actions (finishChoices). Answers 1 whatever the outcome.
  int ShowResultDialog();

  // --- Named data resources --------------------------------------------
  // The bytes of the raw-data resource of that name (UTF-8, upper-cased for
  // the lookup) in the resource module when one was named on the command
  // line, else in the program's own file; empty when there is none.
  std::span<const char> FindNamedResource(const char *name);

  // --- Texts -------------------------------------------------------------
  // A text for the wizard pages ("data\license"): the named resource, else
  // the file in the temporary working folder, else the file in the current
  // directory; empty when none exists (and, when reportMissing, the
  // file-not-found message is shown and the result becomes 1).
  std::string LoadText(const char *name, bool reportMissing);

  // --- The script ----------------------------------------------------------
  // Reads setup.dat (the named resource, else the file at scriptPath) into
  // scriptLines and scriptFields. False, with the read message shown and
  // result code 1, when neither can be read.
  bool ReadScript();
  // Runs every stored line through the command table, then reads and applies
  // the CRC list and places the pictures. False when the total size is zero,
  // an L line holds no number or a C line has fewer than 4 fields.
  bool ParseScript();

  // --- The file list ("SETUP_FILE_LIST") ---------------------------------
  // Reads the list once; a missing resource leaves it unloaded, so later
  // lookups try again.
  void LoadFileList();
  // The archive number the list gives a source name (case-blind); -1 when the
  // list is missing or does not name it.
  std::int8_t ArchiveNumberOf(const std::wstring &sourceName);
  // Whether the list names a file in a numbered archive.
  bool HasNumberedArchives();
  // The records whose names begin with the folder name (a plain prefix test).
  std::vector<const FileListRecord *> FileListRecordsUnder(const std::wstring &folder);

  // --- Folders, checksums, logs --------------------------------------------
  using CopyListPosition = OwnedList<CSetupFileItem>::iterator;
  // Inserts a file item before position for every file of the folder: from
  // the file list's records below folder when there is a list, else by
  // scanning root + folder on disk. Answers how many items were inserted; they
  // end just before position.
  std::size_t ExpandFolder(const std::vector<std::wstring> &logList, const std::wstring &root,
                           const std::wstring &folder, const std::wstring &destinationFolder, CCdRom *medium,
                           CopyListPosition position);
  // Reads "setup.crc" from the temporary working folder, else from the source
  // folder, appends its entries and matches them to the whole copy list.
  void LoadCrcList();
  // Gives the file items in [first, end) their expected checksums.
  void ApplyCrcList(CopyListPosition first, CopyListPosition end);
  // Appends "letter:text" to the first log of that exact name, unless the log
  // already holds that record; nothing when there is no such log.
  void AddLogRecord(const std::wstring &logName, wchar_t letter, const std::wstring &text);
  // AddLogRecord into every log of the product-log list.
  void AddProductLogRecord(wchar_t letter, const std::wstring &text);

  // --- The temporary working folder ------------------------------------
  // The folder's name; empty when the temporary path cannot be had.
  std::wstring TemporaryFolder() const;
  // Unpacks "SETUP_3RD_PARTY_AND_DATA" into the folder, once per run.
  void FillTemporaryFolder();

  // --- The copy worker's shared state (under the lock) -------------------
  void Lock() { EnterCriticalSection(&_lock); }
  void Unlock() { LeaveCriticalSection(&_lock); }
  bool IsCopyRunning();
  void SetCopyRunning(bool running);
  bool IsCopyStopRequested();
  void RequestCopyStop();
  void ClearCopyStopRequest();
  std::int64_t CopiedBytes();
  void AddCopiedBytes(std::int64_t bytes);
  void ResetCopiedBytes();
  void SetCurrentTexts(const std::wstring &source, const std::wstring &destination);
  void GetCurrentTexts(std::wstring &source, std::wstring &destination);
  // The worker's error: the stringtable key of its text and the path that
  // stands for "%1". The worker never looks texts up itself (the tables
  // belong to the main thread); TakeCopyError does.
  void SetCopyError(const std::wstring &key, const std::wstring &path = std::wstring());
  // False while the worker runs. Otherwise the error text (the key's text
  // with every "%1" replaced by the path), emptied; answers whether there
  // was one.
  bool TakeCopyError(std::wstring &text);
  // The worker's line on the last file it finished (bytes, checksum,
  // attempts), once; false when there is none new.
  bool TakeFinishedFile(std::wstring &line);
  // Ends the copy worker: when it still copies, asks it to stop and waits
  // for it without limit; then ends its thread and closes its handle.
  void StopCopy();
  // Has message posted to window (null: none) whenever the worker ends a
  // file, so that the window can start the next one without waiting for its
  // timer.
  void SetCopyWakeUp(HWND window, UINT message);
  // Waits until the running worker ends, or at most milliseconds; answers at
  // once when none runs. The worker signals its end, so the next file can
  // start without waiting for a timer.
  void WaitForCopyEnd(DWORD milliseconds);

  // --- Copying files (Setup/Install) -------------------------------------
  // Starts copying one file item on the worker thread, on the main thread:
  // stores the current texts (destination as given, source under the
  // current medium's root and folder or under the source folder) and the
  // item's extraction data; for a plain file takes the staged copy in the
  // temporary working folder when there is one; creates the destination's
  // folders, recording each as "D" in every log of logList; starts the
  // worker; records "F" with destination in every log of logList. False,
  // after showing the message (file not found: result code 1; folder not
  // creatable; thread not started), when the file was not started; the copy
  // step then ends the copy. An item whose name from a file list or folder
  // scan would land outside the install folder is not copied: the read error
  // is left for the copy step to show.
  bool StartFileCopy(const std::vector<std::wstring> &logList, const std::wstring &destination,
                     const std::wstring &sourceName, std::uint32_t expectedCrc, bool verify,
                     const CSetupFileItem &item);
  // Creates every missing folder of the destination's path (its last part is
  // the file's name), recording each folder of the path below its root,
  // existing or new, as "D" in logName. Existence is tested by entering the
  // folder, so the current directory is left in the deepest folder tested.
  // False when a folder cannot be created because its parent is missing.
  bool CreateDestinationFolders(const std::wstring &destination, const std::wstring &logName);
  // The file the archives may be appended to: the resource module when one
  // was named, else the program itself.
  std::wstring HostFilePath() const;

  // --- Installation media (Setup/Install) --------------------------------
  // Looks for the medium in every drive, in the system's order; stores the
  // root ("D:\") of the first drive whose label matches (when labels are
  // tested; case-blind) and that holds the medium's test file.
  bool FindMedium(const CCdRom &medium, std::wstring &driveRoot);

  // --- Install logs (Setup/Install) ----------------------------------------
  // Adds each log's own file as "F" to its owner logs, then writes every log
  // into the install folder: the uninstall key name, then each record, UTF-8
  // lines ended by CR LF. A log file that cannot be created ends the writing.
  void WriteInstallLogs();
  // Undoes every record of every log, each log from its last record to its
  // first, then once more the folder and key records whose folders and keys
  // are still there (a folder of one log may have held files of another).
  // Failures are ignored.
  void RollbackInstallLogs();

  // --- System integration (Setup/System) ---------------------------------
  // None of these shows a message unless it says so, and none stops the
  // installation: what cannot be written is skipped.
  //
  // Driver state 20: loads "dsetup.dll" from the temporary working folder's
  // "DirectX" (after unpacking "DIRECTX_INSTALLER" there), else from the
  // source folder's, and runs its setup of the DirectX core on the source
  // folder's "DirectX". No library: result -2; the setup's answer: negative
  // -2, positive -1 (restart) unless a result is already recorded.
  void RunDirectXStep();
  // Driver state 25: runs "OpenALwEAX.exe" (from the temporary working
  // folder, else the source folder) with "/s /r" and waits for it; any
  // outcome but exit code 0 is shown as a warning. The result is unchanged.
  void RunOpenALStep();
  // Driver state 28: lets each "name:program" of the firewall list through
  // the firewall, recording "W" with the program's path in the product logs
  // when that succeeded. Failures go to the log frame only.
  void RunFirewallStep();
  // Driver state 30, and the "createdesktop" finish action: a shell link
  // for each shortcut of the list, in the programs folder and group (or on
  // the desktop), common or the user's by the all-users choice. Every folder
  // on the link's path is recorded as "D", the link as "F", in the
  // shortcut's logs. A folder that cannot be made ends the step.
  void CreateStartMenuShortcuts();
  void CreateDesktopShortcuts();
  // Driver state 40: the uninstall entry of every log ("K" in its owner
  // logs), the product key with "MAIN" = the install folder ("K" when the key
  // was made), the three keys of each file type ("C" each), and the
  // registry actions with their data expanded ("K" for the local machine,
  // "U" key:value for the current user, nothing for the classes root).
  void RunRegistrationStep();
  // Driver state 45, when the script names a game definition file: registers
  // the product and its tasks through the install folder's
  // "GameuxInstallHelper.dll" and records "G" in the product logs. A missing
  // library or entry point, or a refused registration: result 3.
  void RunGameExplorerStep();
  // Driver state 48: runs each program of the run list from the install
  // folder, waits for it and deletes its file; the wizard is hidden
  // meanwhile. A program that does not start is skipped.
  void RunProgramList();
  // The window that owns the system's dialogs: the wizard's while it is up.
  HWND MainWindow() const;

  // Fields in the order of a run's life; defaults as a script that says
  // nothing about them leaves them.
  int driverState = StateStartup;
  int resultCode = ResultSuccess;
  // The process's exit status, set when the result is reported: the result
  // code, 4 for a success whose DirectX installation failed, 3010 for a
  // success that needs a restart.
  int exitCode = 0;
  // What the command line's switches ask for (all off without any).
  CommandSwitches switches;
  // The desktop shortcuts were made (by the finish action or /DESKTOP).
  bool desktopShortcutsMade = false;
  // The current directory at start, with a trailing backslash.
  std::wstring sourceFolder;
  std::wstring installFolder = L"C:\\Program Files\\Marrowdyne";
  std::wstring sourceFolderCopy;
  std::wstring scriptPath;
  std::vector<std::wstring> scriptLines;
  std::vector<std::vector<std::wstring>> scriptFields;
  OwnedList<CSetupFileItem> copyList;
  OwnedList<CSetupFileItem> startMenuShortcuts;
  OwnedList<CSetupFileItem> desktopShortcuts;
  OwnedList<CPictureItem> pictures;
  std::int64_t totalSize = 0;
  // Appended to a folder picked with Browse.
  std::wstring browseFolderName = L"Marrowdyne";
  // The Start-menu folder.
  std::wstring groupName = L"Marrowdyne";
  std::wstring productKey = L"Software\\Marrowdyne";
  std::vector<std::wstring> productLogs;
  // Not owned; set by the application's constructor.
  CQorSetupApp *application = nullptr;
  // Lines of the E, O and W commands, at most MaxFinishActions.
  std::vector<std::wstring> finishActions;
  // 1 where the result dialog's box was ticked.
  int finishChoices[MaxFinishActions] = {};
  std::vector<std::wstring> logStack;
  OwnedList<CCdRom> media;
  // Points into media.
  CCdRom *currentMedium = nullptr;
  std::wstring currentMediumRoot;
  OwnedList<CCrcFile> crcList;
  int directXMode = DirectXDialog;
  std::wstring gameExplorerFile;
  std::vector<std::wstring> playTasks;
  std::vector<std::wstring> supportTasks;
  std::vector<std::wstring> fileTypes;
  std::vector<CRegistryAction> registryActions;
  std::vector<std::wstring> firewallEntries;
  bool temporaryFolderFilled = false;
  bool openAL = true;
  bool licensePage = false;
  bool infoPage = false;
  bool allUsersQuestion = true;
  std::wstring resourceModulePath;
  bool debug = false;
  bool licenseBlocksNext = false;
  int licensePageIndex = -1;
  std::vector<std::wstring> runList;

private:
  CRITICAL_SECTION _lock;

public:
  HANDLE copyWorker = nullptr;

private:
  // Shared with the copy worker: only under the lock.
  int _copyRunning = 0;
  int _copyStopRequest = 0;
  std::int64_t _copiedBytes = 0;
  std::wstring _currentSource;
  std::wstring _currentDestination;

public:
  // The running item's extraction data, written by the start of a copy and
  // read by its worker, under the lock.
  CopyExtraction _extraction;
  // Decided by the first file's worker: where the banks lie.
  ArchiveTable _archiveTable;
  std::wstring _archiveFolder;
  std::wstring _copyErrorKey;
  std::wstring _copyErrorPath;
  // Signalled, under the lock, whenever a file is started, a file ends or
  // the worker is to end. One thread serves all the files of a run; starting
  // a thread per file costs the system more than copying a small file does.
  // A condition variable, not an event: waking a thread through an event
  // costs a call to the system, which thousands of small files would pay
  // four times each.
  CONDITION_VARIABLE _copyChanged = CONDITION_VARIABLE_INIT;
  // Under the lock: a started file that the worker has not taken up yet.
  int _copyJobPending = 0;
  // Under the lock: the worker thread is to end instead of taking a file.
  int _copyWorkerExit = 0;
  // Under the lock: where the worker posts the end of each file.
  HWND _copyWakeWindow = nullptr;
  UINT _copyWakeMessage = 0;
  // Destination folders found or made during this run (main thread only):
  // the files of one folder test it once, not once each.
  std::unordered_set<std::wstring> _knownFolders;
  // Whether the temporary working folder exists, once looked at; cleared
  // whenever the folder is filled. Without the folder no file is staged in
  // it, and the copy need not ask for each file.
  std::optional<bool> _stagingFolderExists;
  // Counts the medium switches of the copy phase.
  int _mediumGeneration = 0;
  // The state last written to the log file.
  int _loggedState = -1000000;
  // Under the lock: what the worker says of the file it finished, for the
  // log file; empty once taken.
  std::wstring _finishedFile;

public:
  int allUsers = 0;
  ArchiveFileList archiveFileList;

private:
  friend class CCopyWorker;

public:
  DWORD directXVersion = 0;
  DWORD directXRevision = 0;
  int directXNeeded = 0;
  OwnedList<CSetupLogFileItem> logs;

private:
  // The driver's actions that decide their next state (installDriver.cpp,
  // startupChecks.cpp, resultReport.cpp).
  int RunStartupChecks();
  int RunWizard();
  // State 1 of a silent run: the copy and the steps after it, without the
  // wizard.
  int RunUnattended();
  int RunCopyStep();
  int ReportResult();
  void ReadDirectXVersion();
  void RunTickedFinishActions();
  void CreateShortcuts(const OwnedList<CSetupFileItem> &shortcuts, bool desktop);
  // The desktop shortcuts, then the logs written again to name them.
  void CreateDesktopShortcutsAndRecord();
  void RegisterUninstallEntries();
  // The medium switch of the copy step: true once the item's medium is in a
  // drive (found at once, or by the medium prompt).
  bool SwitchMedium(CCdRom *medium);

  // The resource module named on the command line, loaded on first use.
  HMODULE _resourceModule = nullptr;
  bool _resourceModuleTried = false;
};

// The process's exit status for a result code: -2 (success, DirectX failed)
// gives 4, -1 (restart needed) 3010, the errors and cancellation their own
// code, anything else 0.
int ExitCodeOf(int resultCode);

// Values of the whole process beside the object.
// The text of "%0": the script's product name.
std::wstring &ProductName();
// The text of "%L": the language's file suffix (".german"; empty for English).
std::wstring &LanguageSuffix();
// Whether a medium's volume label is compared (the "testVolumeLabel" option).
bool &TestVolumeLabel();
// What shows the object's message boxes: ::MessageBoxW without an owner. Tests
// put a recorder here, so that no box waits for a click.
using MessageBoxShower = int (*)(const wchar_t *text, const wchar_t *caption, UINT type);
MessageBoxShower &ShowMessageBox();
// What starts the copy worker's thread: CreateThread with the default stack.
// Tests put a failing starter here.
using CopyThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE routine, void *argument);
CopyThreadStarter &StartCopyThread();
