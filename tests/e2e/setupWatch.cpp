// Runs setup.exe in a folder and tells what it shows: every wizard page with
// its title, texts and buttons, then the button pressed (Next; on the
// licence page agree first); every message box with its caption, text, icon
// and buttons, then the button pressed (the answers given on the command
// line in order, else the box's first button); the result dialog with its
// finish actions, closed with OK.
//
//   setup_watch [--argument <text>]... [--screenshots <folder>] <setup.exe> <folder> [yes|no|ok|cancel]...
//
// Each --argument is passed to setup.exe (the path of a resource module, say).
// With --screenshots, every wizard page and the result dialog are also saved
// as pictures (24-bit BMP files named after the page) in that folder.

#include "Es/Strings/wideText.hpp"
#include "tests/e2e/setupDriver.hpp"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace
{
const char *ButtonName(int id)
{
  switch (id)
  {
  case IDOK:
    return "OK";
  case IDCANCEL:
    return "Cancel";
  case IDYES:
    return "Yes";
  case IDNO:
    return "No";
  case e2e::WizardBack:
    return "Back";
  case e2e::WizardNext:
    return "Next";
  case e2e::WizardFinish:
    return "Finish";
  default:
    return "?";
  }
}

int ButtonOf(const std::string &answer)
{
  if (answer == "yes")
    return IDYES;
  if (answer == "no")
    return IDNO;
  if (answer == "cancel")
    return IDCANCEL;
  return IDOK;
}

std::string Indented(const std::wstring &text)
{
  std::string lines = Utf8FromWide(text);
  for (std::size_t at = lines.find('\n'); at != std::string::npos; at = lines.find('\n', at + 1))
    lines.insert(at + 1, "      ");
  return lines;
}

// The pages, told by a control of their own.
struct Page
{
  int control;
  const char *name;
};
constexpr Page Pages[] = {{1037, "welcome"},     {1051, "information"}, {1047, "licence"},
                          {1011, "destination"}, {1004, "DirectX"},     {1008, "copy"}};
constexpr int LicenceAgree = 1047;
constexpr int ResultMessage = 1033;

// Saves what the screen shows of the window as a 24-bit BMP file.
void SaveScreenshot(HWND window, const std::wstring &path)
{
  // A moment for the window to finish drawing.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  RECT box;
  if (!GetWindowRect(window, &box))
    return;
  int width = box.right - box.left, height = box.bottom - box.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<char> pixels(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO *>(&info),
            DIB_RGB_COLORS);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  if (FILE *out = _wfopen(path.c_str(), L"wb"))
  {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}
} // namespace

int main(int argc, char **argv)
{
  e2e::RunOptions options;
  std::wstring screenshots;
  int first = 1;
  for (; first + 1 < argc; first += 2)
  {
    std::string option = argv[first];
    if (option == "--argument")
      options.arguments.push_back(WideFromAnsi(argv[first + 1]));
    else if (option == "--screenshots")
      screenshots = WideFromAnsi(argv[first + 1]) + L"\\";
    else
      break;
  }
  int shot = 0;
  auto screenshot = [&](HWND window, const char *name)
  {
    if (screenshots.empty())
      return;
    wchar_t number[8];
    std::swprintf(number, 8, L"%02d-", ++shot);
    SaveScreenshot(window, screenshots + number + WideFromAnsi(name) + L".bmp");
  };
  if (argc - first < 2)
  {
    std::cerr << "usage: setup_watch [--argument <text>]... [--screenshots <folder>] <setup.exe> <folder> "
                 "[yes|no|ok|cancel]...\n";
    return 2;
  }
  std::string error;
  if (!e2e::CanOpenWindows(error))
  {
    std::cerr << error << "\n";
    return 1;
  }
  std::vector<std::string> answers(argv + first + 2, argv + argc);
  std::size_t nextAnswer = 0;

  e2e::ProgramRun run;
  if (!run.Start(WideFromAnsi(argv[first]), WideFromAnsi(argv[first + 1]), options))
  {
    std::cerr << run.Error() << "\n";
    return 1;
  }
  const Page *shownPage = nullptr;
  auto idle = std::chrono::steady_clock::now();
  while (!run.Ended())
  {
    if (auto box = run.NextMessageBox(std::chrono::milliseconds(200)))
    {
      idle = std::chrono::steady_clock::now();
      if (GetDlgItem(box->window, ResultMessage))
      {
        screenshot(box->window, "result");
        std::cout << "  result dialog [" << Utf8FromWide(box->caption) << "] " << Utf8FromWide(box->text) << "\n";
        for (int id : box->buttons)
          if (id != IDOK)
            std::cout << "    " << (e2e::IsChecked(box->window, id) ? "[x] " : "[ ] ")
                      << Utf8FromWide(e2e::ControlText(box->window, id)) << "\n";
        std::cout << "    -> OK\n" << std::flush;
        if (!run.Press(*box, IDOK))
          return std::cerr << run.Error() << "\n", 1;
        continue;
      }
      std::cout << "  [" << Utf8FromWide(box->caption) << "] " << Utf8FromWide(box->text) << "\n"
                << "    (" << box->icon << "; buttons:";
      for (int id : box->buttons)
        std::cout << " " << ButtonName(id);
      int button = nextAnswer < answers.size() ? ButtonOf(answers[nextAnswer++])
                   : box->buttons.empty()      ? IDOK
                                               : box->buttons.front();
      std::cout << ") -> " << ButtonName(button) << "\n" << std::flush;
      if (!run.Press(*box, button))
        return std::cerr << run.Error() << "\n", 1;
      continue;
    }
    for (const Page &page : Pages)
    {
      std::optional<e2e::WizardView> view = run.WaitForWizardPage(page.control, std::chrono::milliseconds(0));
      if (!view || &page == shownPage)
        continue;
      shownPage = &page;
      idle = std::chrono::steady_clock::now();
      screenshot(view->window, page.name);
      std::cout << "  wizard, " << page.name << " page [" << Utf8FromWide(view->title) << "]\n      "
                << Indented(view->text) << "\n    (buttons:";
      for (int id : view->buttons)
        std::cout << " " << ButtonName(id);
      std::cout << ")";
      if (page.control == 1008)
      {
        std::cout << " copying...\n" << std::flush;
        break;
      }
      if (page.control == LicenceAgree)
      {
        std::cout << " -> agree,";
        run.Click(view->window, LicenceAgree);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        screenshot(view->window, "licence-accepted");
      }
      std::cout << " -> Next\n" << std::flush;
      if (!run.Click(view->window, e2e::WizardNext))
        return std::cerr << run.Error() << "\n", 1;
      break;
    }
    if (std::chrono::steady_clock::now() - idle > std::chrono::minutes(5))
      return std::cerr << "nothing new for 5 minutes; the program's windows: " << run.DescribeWindows() << "\n", 1;
  }
  if (!run.WaitForExit())
  {
    std::cerr << run.Error() << "\n";
    return 1;
  }
  std::string program = argv[first];
  std::cout << "  " << program.substr(program.find_last_of("\\/") + 1) << " has ended with exit code " << run.ExitCode()
            << "\n";
  return 0;
}
