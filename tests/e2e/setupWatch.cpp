// Runs setup.exe in a folder and tells what it shows: every wizard page with
// its title, texts and buttons, then the button pressed (Next; on the
// licence page agree first); every message box with its caption, text, icon
// and buttons, then the button pressed (the answers given on the command
// line in order, else the box's first button); the result dialog with its
// finish actions, closed with OK.
//
//   setup_watch [--argument <text>]... <setup.exe> <folder> [yes|no|ok|cancel]...
//
// Each --argument is passed to setup.exe (the path of a resource module, say).

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
} // namespace

int main(int argc, char **argv)
{
  e2e::RunOptions options;
  int first = 1;
  while (first + 1 < argc && std::string(argv[first]) == "--argument")
  {
    options.arguments.push_back(WideFromAnsi(argv[first + 1]));
    first += 2;
  }
  if (argc - first < 2)
  {
    std::cerr << "usage: setup_watch [--argument <text>]... <setup.exe> <folder> [yes|no|ok|cancel]...\n";
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
  std::cout << "  setup.exe has ended\n";
  return 0;
}
