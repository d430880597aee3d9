#include "tests/e2e/setupDriver.hpp"

#include <commctrl.h>

#include "Es/Strings/wideText.hpp"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

namespace e2e
{
namespace
{
using Clock = std::chrono::steady_clock;

// How often the rig looks again while it waits for the program.
constexpr Milliseconds PollInterval{25};
// How long a box may take to draw its icon once it is visible.
constexpr Milliseconds IconPaintTimeout{10000};

std::string Narrow(const std::wstring &text) { return Utf8FromWide(text); }

std::string ErrorText(const char *what, DWORD code = GetLastError())
{
  return std::string(what) + " failed (error " + std::to_string(code) + ")";
}

// Quotes one argument the way CommandLineToArgvW (and Wine, when it hands a
// command line to a Unix program) splits it again.
std::wstring QuoteArgument(const std::wstring &argument)
{
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument)
  {
    if (c == L'\\')
    {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

bool SamePath(const std::wstring &a, const std::wstring &b)
{
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::wstring FileNameOf(const std::wstring &path)
{
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ClassName(HWND window)
{
  wchar_t name[256] = {};
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// For a window of another process this reads the text the system keeps for
// it, without sending the process a message: what WM_SETTEXT last stored,
// which is what a static control or a dialog caption shows.
std::wstring WindowText(HWND window)
{
  int length = GetWindowTextLengthW(window);
  if (length <= 0)
    return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

struct WindowSearch
{
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter)
{
  auto &search = *reinterpret_cast<WindowSearch *>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId)
    search.windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter)
{
  reinterpret_cast<std::vector<HWND> *>(parameter)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId)
{
  WindowSearch search{processId, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

std::vector<HWND> ChildWindows(HWND parent)
{
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsStatic(HWND window) { return SamePath(ClassName(window), L"Static"); }

// Static controls that show a picture rather than text.
bool IsImageStatic(HWND window)
{
  LONG type = GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK;
  return type == SS_ICON || type == SS_BITMAP || type == SS_ENHMETAFILE;
}

bool IsIconStatic(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON; }

std::string ButtonName(int id)
{
  switch (id)
  {
  case IDOK:
    return "OK";
  case IDCANCEL:
    return "Cancel";
  case IDABORT:
    return "Abort";
  case IDRETRY:
    return "Retry";
  case IDIGNORE:
    return "Ignore";
  case IDYES:
    return "Yes";
  case IDNO:
    return "No";
  case IDTRYAGAIN:
    return "Try again";
  case IDCONTINUE:
    return "Continue";
  default:
    return "button " + std::to_string(id);
  }
}

// 32-bit pixels of a screen area or of a rendered icon, top row first.
struct Image
{
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Memory DC with a top-down 32-bit DIB selected into it.
class DibCanvas
{
public:
  DibCanvas(int width, int height) : _width(width), _height(height)
  {
    HDC screen = GetDC(nullptr);
    _dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    _bitmap = CreateDIBSection(_dc, &info, DIB_RGB_COLORS, &_bits, nullptr, 0);
    if (_dc && _bitmap)
      _old = SelectObject(_dc, _bitmap);
  }
  ~DibCanvas()
  {
    if (_old)
      SelectObject(_dc, _old);
    if (_bitmap)
      DeleteObject(_bitmap);
    if (_dc)
      DeleteDC(_dc);
  }
  DibCanvas(const DibCanvas &) = delete;
  DibCanvas &operator=(const DibCanvas &) = delete;

  bool Valid() const { return _old != nullptr && _bits != nullptr; }
  HDC Dc() const { return _dc; }
  std::uint32_t *Bits() const { return static_cast<std::uint32_t *>(_bits); }

  Image Take() const
  {
    GdiFlush();
    Image image;
    image.width = _width;
    image.height = _height;
    const std::uint32_t *bits = Bits();
    image.pixels.assign(bits, bits + static_cast<std::size_t>(_width) * static_cast<std::size_t>(_height));
    return image;
  }

private:
  int _width;
  int _height;
  HDC _dc = nullptr;
  HBITMAP _bitmap = nullptr;
  HGDIOBJ _old = nullptr;
  void *_bits = nullptr;
};

std::optional<Image> CaptureScreen(const RECT &area)
{
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  if (width <= 0 || height <= 0)
    return std::nullopt;
  DibCanvas canvas(width, height);
  if (!canvas.Valid())
    return std::nullopt;
  HDC screen = GetDC(nullptr);
  BOOL copied = BitBlt(canvas.Dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  if (!copied)
    return std::nullopt;
  return canvas.Take();
}

// The system icon as a static control draws it: at its own size from the top
// left corner, over the control's background.
std::optional<Image> RenderSystemIcon(const wchar_t *iconId, int width, int height, std::uint32_t background)
{
  DibCanvas canvas(width, height);
  HICON icon = LoadIconW(nullptr, iconId);
  if (!canvas.Valid() || !icon)
    return std::nullopt;
  std::fill_n(canvas.Bits(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background);
  if (!DrawIconEx(canvas.Dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL))
    return std::nullopt;
  return canvas.Take();
}

// Pixel by pixel, each colour channel within tolerance. The system icons
// differ in hundreds of pixels (the question mark and the information sign
// least, by some 60 channel steps summed over thousands), so a small
// tolerance only forgives rounding.
bool SameImage(const Image &a, const Image &b, int tolerance)
{
  if (a.width != b.width || a.height != b.height)
    return false;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
    {
      int left = static_cast<int>((a.pixels[i] >> shift) & 0xFF);
      int right = static_cast<int>((b.pixels[i] >> shift) & 0xFF);
      if (std::abs(left - right) > tolerance)
        return false;
    }
  return true;
}

// The icon of an icon static as it shows on the screen now; Unrecognised
// while the control has not drawn it yet.
MessageIcon IconOnScreen(HWND iconStatic)
{
  RECT area;
  if (!GetWindowRect(iconStatic, &area))
    return MessageIcon::Unrecognised;
  std::optional<Image> shown = CaptureScreen(area);
  if (!shown || shown->pixels.empty())
    return MessageIcon::Unrecognised;
  // The system icons leave their corners transparent, so the top left pixel
  // is the control's background.
  std::uint32_t background = shown->pixels[0];
  const std::pair<const wchar_t *, MessageIcon> candidates[] = {
      {IDI_ERROR, MessageIcon::Error},
      {IDI_WARNING, MessageIcon::Warning},
      {IDI_QUESTION, MessageIcon::Question},
      {IDI_INFORMATION, MessageIcon::Information},
  };
  for (const auto &[iconId, icon] : candidates)
  {
    std::optional<Image> expected = RenderSystemIcon(iconId, shown->width, shown->height, background);
    if (expected && SameImage(*shown, *expected, 2))
      return icon;
  }
  return MessageIcon::Unrecognised;
}

MessageIcon ReadIcon(HWND box)
{
  HWND iconStatic = nullptr;
  for (HWND child : ChildWindows(box))
    if (IsStatic(child) && IsIconStatic(child) && IsWindowVisible(child))
    {
      iconStatic = child;
      break;
    }
  if (!iconStatic)
    return MessageIcon::None;
  DWORD_PTR icon = 0;
  if (!SendMessageTimeoutW(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon))
    return MessageIcon::Unrecognised;
  if (icon == 0)
    return MessageIcon::None;
  // A box becomes visible before it has painted; look until the icon shows.
  auto deadline = Clock::now() + IconPaintTimeout;
  for (;;)
  {
    MessageIcon seen = IconOnScreen(iconStatic);
    if (seen != MessageIcon::Unrecognised || Clock::now() >= deadline)
      return seen;
    std::this_thread::sleep_for(PollInterval);
  }
}

// A visible control of that id anywhere below the window.
HWND VisibleControl(HWND window, int id)
{
  for (HWND child : ChildWindows(window))
    if (GetDlgCtrlID(child) == id && IsWindowVisible(child))
      return child;
  return nullptr;
}

// A wizard's sheet has the Next button among its own controls.
bool IsWizard(HWND window)
{
  HWND next = GetDlgItem(window, WizardNext);
  return next && SamePath(ClassName(next), L"Button");
}

WizardView ReadWizard(HWND sheet)
{
  WizardView view;
  view.window = sheet;
  view.title = WindowText(sheet);
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  for (HWND child : page ? ChildWindows(page) : std::vector<HWND>())
    if (IsWindowVisible(child) && IsStatic(child) && !IsImageStatic(child) && !WindowText(child).empty())
      view.text += (view.text.empty() ? L"" : L"\n") + WindowText(child);
  for (int id : {IDCANCEL, WizardBack, WizardNext, WizardFinish})
  {
    HWND button = GetDlgItem(sheet, id);
    if (button && IsWindowVisible(button) && IsWindowEnabled(button))
      view.buttons.push_back(id);
  }
  std::sort(view.buttons.begin(), view.buttons.end());
  return view;
}

MessageBoxView ReadBox(HWND box)
{
  MessageBoxView view;
  view.window = box;
  view.caption = WindowText(box);
  for (HWND child : ChildWindows(box))
  {
    if (!IsWindowVisible(child))
      continue;
    if (IsStatic(child) && !IsImageStatic(child))
    {
      if (!view.text.empty())
        view.text += L"\n";
      view.text += WindowText(child);
    }
    else if (SamePath(ClassName(child), L"Button"))
      view.buttons.push_back(GetDlgCtrlID(child));
  }
  std::sort(view.buttons.begin(), view.buttons.end());
  view.icon = ReadIcon(box);
  return view;
}

// A process started through the Unix side is no child of ours: find it by
// its image, which is unique to the test's folder.
HANDLE FindProcessByImage(const std::wstring &image, DWORD &processId)
{
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return nullptr;
  std::wstring fileName = FileNameOf(image);
  HANDLE found = nullptr;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
  {
    if (!SamePath(entry.szExeFile, fileName))
      continue;
    HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    if (!process)
      continue;
    wchar_t name[MAX_PATH * 2];
    DWORD length = MAX_PATH * 2;
    if (QueryFullProcessImageNameW(process, 0, name, &length) && SamePath(std::wstring(name, length), image))
    {
      found = process;
      processId = entry.th32ProcessID;
    }
    else
      CloseHandle(process);
  }
  CloseHandle(snapshot);
  return found;
}
} // namespace

std::wstring WindowsPathFromBuild(const char *path)
{
  std::wstring wide = WideFromUtf8(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (!wide.empty() && wide[0] == L'\\')
    wide = L"Z:" + wide;
  return wide;
}

std::wstring TemporaryFolder()
{
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, path);
  return std::wstring(path, length <= MAX_PATH ? length : 0);
}

bool PathExists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteFileBytes(const std::wstring &path, const std::string &bytes)
{
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

TestFolder::TestFolder()
{
  static std::atomic<unsigned> counter{0};
  std::wstring base = TemporaryFolder();
  if (base.empty())
    return;
  for (int attempt = 0; attempt < 100; ++attempt)
  {
    std::wstring path = base + L"setup-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount64() & 0xFFFFFF) + L"-" + std::to_wstring(counter++);
    if (CreateDirectoryW(path.c_str(), nullptr))
    {
      _path = path + L"\\";
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      return;
  }
}

TestFolder::~TestFolder()
{
  if (_path.empty())
    return;
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(_path), error);
}

bool TestFolder::Write(const std::wstring &name, const std::string &bytes) const
{
  return !_path.empty() && WriteFileBytes(File(name), bytes);
}

bool TestFolder::CopyIn(const std::wstring &source, const std::wstring &name) const
{
  return !_path.empty() && CopyFileW(source.c_str(), File(name).c_str(), FALSE);
}

bool AddDataResources(const std::wstring &module, const std::vector<std::pair<std::wstring, std::string>> &resources,
                      std::string &error)
{
  HANDLE update = BeginUpdateResourceW(module.c_str(), FALSE);
  if (!update)
  {
    error = ErrorText("BeginUpdateResourceW") + " on " + Narrow(module);
    return false;
  }
  for (const auto &[name, bytes] : resources)
  {
    std::vector<char> data(bytes.begin(), bytes.end());
    if (!UpdateResourceW(update, RT_RCDATA, name.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), data.data(),
                         static_cast<DWORD>(data.size())))
    {
      error = ErrorText("UpdateResourceW") + " for " + Narrow(name);
      EndUpdateResourceW(update, TRUE);
      return false;
    }
  }
  if (!EndUpdateResourceW(update, FALSE))
  {
    error = ErrorText("EndUpdateResourceW") + " on " + Narrow(module);
    return false;
  }
  return true;
}

std::ostream &operator<<(std::ostream &out, MessageIcon icon)
{
  switch (icon)
  {
  case MessageIcon::None:
    return out << "no icon";
  case MessageIcon::Error:
    return out << "error icon";
  case MessageIcon::Warning:
    return out << "warning icon";
  case MessageIcon::Question:
    return out << "question icon";
  case MessageIcon::Information:
    return out << "information icon";
  case MessageIcon::Unrecognised:
    break;
  }
  return out << "unrecognised icon";
}

ProgramRun::~ProgramRun()
{
  if (_process)
  {
    if (!HasEnded())
      Kill();
    CloseHandle(_process);
  }
}

bool ProgramRun::Start(const std::wstring &program, const std::wstring &folder, const RunOptions &options)
{
  if (_process)
  {
    _error = "the run has already been started";
    return false;
  }
  return options.locale.empty() ? StartDirect(program, folder, options) : StartWithLocale(program, folder, options);
}

bool ProgramRun::StartDirect(const std::wstring &program, const std::wstring &folder, const RunOptions &options)
{
  std::wstring commandLine = QuoteArgument(program);
  for (const std::wstring &argument : options.arguments)
    commandLine += L" " + QuoteArgument(argument);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &info))
  {
    _error = ErrorText("CreateProcessW") + " for " + Narrow(commandLine);
    return false;
  }
  CloseHandle(info.hThread);
  _process = info.hProcess;
  _processId = info.dwProcessId;
  return true;
}

// Under Wine a program takes its user language from the Unix locale it was
// started with, and a Windows program started by another one inherits the
// parent's (Wine passes it on in WINEUSERLOCALE and ignores LANG or LC_ALL in
// the environment block). A user who wants another language starts the
// program from the shell with LC_ALL set; the rig does the same through the
// Unix side: CreateProcessW on a Unix executable runs it with the block
// turned into its environment, and env starts Wine's loader on the program
// without the inherited locale. Drive Z: is the Unix root (Wine's default).
bool ProgramRun::StartWithLocale(const std::wstring &program, const std::wstring &folder, const RunOptions &options)
{
  wchar_t loader[MAX_PATH + 1] = {};
  DWORD length = GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH)
  {
    _error = "WINELOADER is not set: starting a program with another locale needs Wine";
    return false;
  }
  std::wstring commandLine = L"Z:\\usr\\bin\\env -u WINEUSERLOCALE " + QuoteArgument(L"LC_ALL=" + options.locale) +
                             L" " + QuoteArgument(L"LANG=" + options.locale) + L" " + QuoteArgument(loader) + L" " +
                             QuoteArgument(program);
  for (const std::wstring &argument : options.arguments)
    commandLine += L" " + QuoteArgument(argument);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &info))
  {
    _error = ErrorText("CreateProcessW") + " for " + Narrow(commandLine);
    return false;
  }
  // Wine hands back no process for a Unix program.
  if (info.hThread)
    CloseHandle(info.hThread);
  if (info.hProcess)
    CloseHandle(info.hProcess);
  auto deadline = Clock::now() + StepTimeout;
  while (!(_process = FindProcessByImage(program, _processId)))
  {
    if (Clock::now() >= deadline)
    {
      _error = "no process of " + Narrow(program) + " appeared after " + Narrow(commandLine);
      return false;
    }
    std::this_thread::sleep_for(PollInterval);
  }
  return true;
}

bool ProgramRun::HasEnded() const { return _process && WaitForSingleObject(_process, 0) == WAIT_OBJECT_0; }

void ProgramRun::Kill()
{
  TerminateProcess(_process, 1);
  WaitForSingleObject(_process, 5000);
}

std::optional<MessageBoxView> ProgramRun::NextMessageBox(Milliseconds timeout)
{
  if (!_process)
  {
    _error = "the program was not started";
    return std::nullopt;
  }
  auto deadline = Clock::now() + timeout;
  for (;;)
  {
    // Ended is read before the windows: a box found after that is not one
    // left over by a process that has gone.
    bool ended = HasEnded();
    for (HWND window : TopLevelWindows(_processId))
    {
      if (!IsWindowVisible(window) || ClassName(window) != L"#32770" || IsWizard(window) ||
          std::find(_seen.begin(), _seen.end(), window) != _seen.end())
        continue;
      _seen.push_back(window);
      return ReadBox(window);
    }
    if (ended)
    {
      DWORD code = 0;
      GetExitCodeProcess(_process, &code);
      _error = "the program ended (exit code " + std::to_string(code) + ") without showing another message box";
      return std::nullopt;
    }
    if (Clock::now() >= deadline)
    {
      _error = "no new message box within " + std::to_string(timeout.count()) +
               " ms; the program's windows: " + DescribeWindows();
      return std::nullopt;
    }
    std::this_thread::sleep_for(PollInterval);
  }
}

bool ProgramRun::Press(const MessageBoxView &box, int button, Milliseconds timeout)
{
  HWND control = GetDlgItem(box.window, button);
  if (!control || !IsWindowVisible(control) || !SamePath(ClassName(control), L"Button"))
  {
    _error = "the box \"" + Narrow(box.text) + "\" has no button " + ButtonName(button);
    return false;
  }
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeout.count()), &result))
  {
    _error = ErrorText("BM_CLICK") + " on " + ButtonName(button);
    return false;
  }
  auto deadline = Clock::now() + timeout;
  while (IsWindow(box.window) && IsWindowVisible(box.window))
  {
    if (Clock::now() >= deadline)
    {
      _error = "the box \"" + Narrow(box.text) + "\" was still open " + std::to_string(timeout.count()) +
               " ms after pressing " + ButtonName(button);
      return false;
    }
    std::this_thread::sleep_for(PollInterval);
  }
  return true;
}

std::optional<WizardView> ProgramRun::WaitForWizardPage(int controlId, Milliseconds timeout)
{
  auto deadline = Clock::now() + timeout;
  for (;;)
  {
    bool ended = HasEnded();
    for (HWND window : TopLevelWindows(_processId))
      if (IsWindowVisible(window) && IsWizard(window))
      {
        // The page is told by a control of its own, shown or not (a picture's
        // area is hidden). It is taken once the sheet has localized it (its
        // title no longer a "$KEY"), as it is before it is first drawn.
        HWND page = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (page && GetDlgItem(page, controlId) && WindowText(window).rfind(L"$", 0) != 0)
          return ReadWizard(window);
      }
    if (ended || Clock::now() >= deadline)
    {
      _error = "the wizard did not show control " + std::to_string(controlId) +
               (ended ? ": the program ended" : " within " + std::to_string(timeout.count()) + " ms") +
               "; the program's windows: " + DescribeWindows();
      return std::nullopt;
    }
    std::this_thread::sleep_for(PollInterval);
  }
}

bool ProgramRun::Click(HWND window, int controlId)
{
  HWND control = VisibleControl(window, controlId);
  if (!control)
  {
    _error = "no visible control " + std::to_string(controlId) + " in \"" + Narrow(WindowText(window)) + "\"";
    return false;
  }
  // Posted: the click may open a modal box that a sent one would wait for.
  if (!PostMessageW(control, BM_CLICK, 0, 0))
  {
    _error = ErrorText("BM_CLICK");
    return false;
  }
  return true;
}

std::wstring ControlText(HWND window, int id)
{
  // Asked by message: an edit control of another process keeps its text
  // where GetWindowText does not look.
  HWND control = VisibleControl(window, id);
  DWORD_PTR length = 0;
  if (!control || !SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                      &copied);
  text.resize(copied);
  return text;
}

bool IsChecked(HWND window, int id)
{
  HWND control = VisibleControl(window, id);
  return control && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool ProgramRun::WaitForExit(Milliseconds timeout)
{
  if (!_process)
  {
    _error = "the program was not started";
    return false;
  }
  if (WaitForSingleObject(_process, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0)
    return true;
  _error = "the program still ran " + std::to_string(timeout.count()) +
           " ms later and was ended; its windows: " + DescribeWindows();
  Kill();
  return false;
}

long ProgramRun::ExitCode() const
{
  DWORD code = 0;
  if (!_process || !GetExitCodeProcess(_process, &code) || code == STILL_ACTIVE)
    return -1;
  return static_cast<long>(code);
}

std::string ProgramRun::DescribeWindows() const
{
  std::string description;
  for (HWND window : TopLevelWindows(_processId))
  {
    description += "\n  [" + Narrow(ClassName(window)) + (IsWindowVisible(window) ? "" : ", hidden") + "] \"" +
                   Narrow(WindowText(window)) + "\"";
    for (HWND child : ChildWindows(window))
    {
      if (!IsWindowVisible(child))
        continue;
      std::wstring text = WindowText(child);
      if (!text.empty())
        description += " | " + Narrow(ClassName(child)) + ": \"" + Narrow(text) + "\"";
    }
  }
  return description.empty() ? std::string("(none)") : description;
}

bool CanOpenWindows(std::string &error)
{
  wchar_t display[256] = {};
  DWORD length = GetEnvironmentVariableW(L"DISPLAY", display, 256);
  HWND window =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window)
  {
    DestroyWindow(window);
    return true;
  }
  error = ErrorText("CreateWindowExW") + ": this process cannot open windows (DISPLAY " +
          (length > 0 && length < 256 ? "is \"" + Narrow(display) + "\"" : std::string("is not set")) +
          "). Wine needs an X display: scripts/test starts Xvfb for the Windows tests (wine_display_start in "
          "scripts/wine-env).";
  return false;
}
} // namespace e2e
