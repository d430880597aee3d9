#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Drives a Windows GUI program from outside, as a user at the screen would:
// starts it in a folder of its own, finds the message boxes it shows, reads
// what they say and presses their buttons. Runs under Wine with a display;
// nothing here links or knows the program's code.
namespace e2e
{
using Milliseconds = std::chrono::milliseconds;

// How long a step of the program may take before the rig gives up on it: a
// window to appear, a box to close, the process to end.
inline constexpr Milliseconds StepTimeout{20000};

// A path that the build hands over (the Linux side) as a Windows path: under
// Wine that file system is drive Z:.
std::wstring WindowsPathFromBuild(const char *path);

// The user's temporary folder as GetTempPathW gives it, with its trailing
// backslash.
std::wstring TemporaryFolder();

// True when a file or folder of that name exists.
bool PathExists(const std::wstring &path);

// Writes bytes to a file, replacing it. False on failure.
bool WriteFileBytes(const std::wstring &path, const std::string &bytes);

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
class TestFolder
{
public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder &) = delete;
  TestFolder &operator=(const TestFolder &) = delete;

  // Empty when the folder could not be made.
  const std::wstring &Path() const { return _path; } // with a trailing backslash
  std::wstring File(const std::wstring &name) const { return _path + name; }

  bool Write(const std::wstring &name, const std::string &bytes) const;
  bool CopyIn(const std::wstring &source, const std::wstring &name) const;

private:
  std::wstring _path;
};

// Adds raw-data resources (RT_RCDATA, language neutral) of the given names to
// a module file. On failure returns false and says why in error.
bool AddDataResources(const std::wstring &module, const std::vector<std::pair<std::wstring, std::string>> &resources,
                      std::string &error);

// The icon a message box shows, told apart by its pixels on the screen: under
// Wine an icon handle means nothing outside the process that loaded it, so
// comparing STM_GETICON with the rig's own LoadIconW cannot work.
enum class MessageIcon
{
  None,
  Error,       // MB_ICONERROR, IDI_ERROR
  Warning,     // MB_ICONWARNING, IDI_WARNING
  Question,    // MB_ICONQUESTION, IDI_QUESTION
  Information, // MB_ICONINFORMATION, IDI_INFORMATION
  Unrecognised
};
std::ostream &operator<<(std::ostream &out, MessageIcon icon);

struct MessageBoxView
{
  HWND window = nullptr;
  std::wstring caption;
  // The texts of the static controls that are not images, in child order,
  // joined by line ends: a message box has exactly one.
  std::wstring text;
  MessageIcon icon = MessageIcon::None;
  // Control ids (IDOK, IDYES, ...) of the visible buttons, ascending.
  std::vector<int> buttons;
};

// The wizard's buttons, as controls of its sheet.
inline constexpr int WizardBack = 0x3023;
inline constexpr int WizardNext = 0x3024;
inline constexpr int WizardFinish = 0x3025;

// What the wizard shows on its active page.
struct WizardView
{
  HWND window = nullptr;
  std::wstring title;
  // The page's texts: its static controls that are not images, in child
  // order, joined by line ends.
  std::wstring text;
  // The sheet's buttons (WizardBack, WizardNext, WizardFinish, IDCANCEL)
  // that are visible and enabled, ascending.
  std::vector<int> buttons;
};

// The text of the visible control id anywhere in the window; empty when
// there is none.
std::wstring ControlText(HWND window, int id);
// Whether the visible check box or radio button id is checked.
bool IsChecked(HWND window, int id);

struct RunOptions
{
  std::vector<std::wstring> arguments;
  // A POSIX locale such as "de_DE.UTF-8" for the program's user language.
  // Empty: the program inherits the rig's own.
  std::wstring locale;
};

// One run of a program. Every operation that fails leaves the reason in
// Error(), written for a test's failure message.
class ProgramRun
{
public:
  ProgramRun() = default;
  // Ends a process that still runs, so that a failed test leaves nothing
  // behind on the shared desktop.
  ~ProgramRun();
  ProgramRun(const ProgramRun &) = delete;
  ProgramRun &operator=(const ProgramRun &) = delete;

  // Starts program (a full Windows path) with folder as current directory.
  bool Start(const std::wstring &program, const std::wstring &folder, const RunOptions &options);

  // The next message box of the process: a visible top-level dialog window
  // that no earlier call returned, read once it is drawn. Nothing when the
  // timeout passes or the process ends first.
  std::optional<MessageBoxView> NextMessageBox(Milliseconds timeout = StepTimeout);

  // Clicks the button of the box (BM_CLICK, as a mouse click does) and waits
  // until the box has gone.
  bool Press(const MessageBoxView &box, int button, Milliseconds timeout = StepTimeout);

  // Waits until the program's wizard shows the control id (a control of the
  // page expected), localized, and reads what it shows. The wizard is never
  // taken for a message box.
  std::optional<WizardView> WaitForWizardPage(int controlId, Milliseconds timeout = StepTimeout);
  // Clicks the visible control id of the window (a wizard button, a check
  // box) without waiting for what follows: a click may open a message box.
  bool Click(HWND window, int controlId);

  // Waits for the process to end. On timeout the process is ended and the
  // call fails, naming the windows it still had open.
  bool WaitForExit(Milliseconds timeout = StepTimeout);

  // Whether the process has ended.
  bool Ended() const { return HasEnded(); }

  // The program's top-level windows, one line each, with their texts.
  std::string DescribeWindows() const;

  const std::string &Error() const { return _error; }
  DWORD ProcessId() const { return _processId; }
  // The ended program's exit status; -1 while it runs or when it cannot be
  // read.
  long ExitCode() const;

private:
  bool StartDirect(const std::wstring &program, const std::wstring &folder, const RunOptions &options);
  bool StartWithLocale(const std::wstring &program, const std::wstring &folder, const RunOptions &options);
  bool HasEnded() const;
  void Kill();

  HANDLE _process = nullptr;
  DWORD _processId = 0;
  std::vector<HWND> _seen;
  std::string _error;
};

// True when this process can open a window: Wine needs an X display for that.
// Otherwise explains in error what is missing.
bool CanOpenWindows(std::string &error);
} // namespace e2e
