// Runs setup.exe in a folder and tells what it shows: every message box with
// its caption, text, icon and buttons, then the button pressed (the answers
// given on the command line in order, else the box's first button).
//
//   setup_watch [--argument <text>]... <setup.exe> <folder> [yes|no|ok|cancel]...
//
// Each --argument is passed to setup.exe (the path of a resource module, say).

#include "Es/Strings/wideText.hpp"
#include "tests/e2e/setupDriver.hpp"

#include <cstdio>
#include <iostream>
#include <string>
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
  while (auto box = run.NextMessageBox())
  {
    std::cout << "  [" << Utf8FromWide(box->caption) << "] " << Utf8FromWide(box->text) << "\n"
              << "    (" << box->icon << "; buttons:";
    for (int id : box->buttons)
      std::cout << " " << ButtonName(id);
    int button = nextAnswer < answers.size() ? ButtonOf(answers[nextAnswer++])
                 : box->buttons.empty()      ? IDOK
                                             : box->buttons.front();
    std::cout << ") -> " << ButtonName(button) << "\n" << std::flush;
    if (!run.Press(*box, button))
    {
      std::cerr << run.Error() << "\n";
      return 1;
    }
  }
  if (!run.WaitForExit())
  {
    std::cerr << run.Error() << "\n";
    return 1;
  }
  std::cout << "  setup.exe has ended\n";
  return 0;
}
