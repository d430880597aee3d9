// The wizard walked as a user would: the pages a script asks for, the
// buttons each offers, the licence gate, the destination's checks, the ways
// out (Cancel, the close box, Cancel during the copy) and the result dialog
// with its finish actions.

#include "tests/e2e/scenarioSteps.hpp"
#include "tests/support/installMedia.hpp"
#include "tests/support/tempFolder.hpp"

#include <commctrl.h>

#include <filesystem>
#include <fstream>

namespace
{
using e2e::AnswerNextBox;
using e2e::ClickOnPage;
using e2e::MessageIcon;
using e2e::Narrow;
using e2e::ProgramRun;
using e2e::TableRow;
using e2e::WizardBack;
using e2e::WizardNext;
using e2e::WizardView;

const TableRow AppName{L"SETUP_STR_APP_NAME", L"Velq Setup", L"Velq-Installation"};
const TableRow WelcomeTitle{L"SETUP_WIZARD_ALL_USERS_TITLE", L"Welcome to %0", L"Willkommen bei %0"};
const TableRow DirTitle{L"SETUP_WIZARD_DIR_TITLE", L"Destination", L"Zielordner"};
const TableRow Space{L"SETUP_WIZARD_DIR_SPACE_AVAILABLE", L"Free %.1f GB, needed %.3f GB", L"Frei %.1f, Bedarf %.3f"};
const TableRow SelectFolder{L"SETUP_STR_PLEASE_SELECT_DIRECTORY", L"Choose a folder.", L"Ordner w\u00e4hlen."};
const TableRow NoSpace{L"SETUP_STR_NOT_ENOUGH_SPACE", L"Not enough space.", L"Zu wenig Platz."};
const TableRow Verify{L"SETUP_STR_CANCEL_SETUP_VERIFY", L"Stop installing %0?", L"%0 abbrechen?"};
const TableRow Cancelled{L"SETUP_STR_RESULT_CANCELUSER", L"Setup was cancelled.", L"Abgebrochen."};
const TableRow ResultTitle{L"SETUP_RESULTOK_TITLE", L"%0 is installed", L"%0 ist installiert"};

class SetupWizard : public ::testing::Test
{
protected:
  void SetUp() override
  {
    e2e::RemoveProductRegistration();
    std::wstring setupExe = e2e::WindowsPathFromBuild(SETUP_EXE_PATH);
    ASSERT_TRUE(_folder.CopyIn(setupExe, L"setup.exe")) << "cannot copy " << Narrow(setupExe);
    ASSERT_TRUE(_folder.Write(L"setup.csv", e2e::SetupTable({AppName, WelcomeTitle, DirTitle, Space, SelectFolder,
                                                             NoSpace, Verify, Cancelled, ResultTitle})));
    ASSERT_TRUE(_folder.Write(L"readme.txt", "Velq"));
  }
  void TearDown() override { e2e::RemoveProductRegistration(); }

  std::filesystem::path Install() const { return std::filesystem::path(_folder.File(L"installed")); }

  // A script copying one file, without the OpenAL runtime; lines add options
  // and finish actions.
  void Script(const std::string &lines, const std::string &size = "1000")
  {
    ASSERT_TRUE(_folder.Write(L"setup.dat", "A:Velq\r\nU:D:uninst.exe:Velq:Velq\r\nI:N:" + Narrow(Install().wstring()) +
                                                "\r\nL:" + size + "\r\nQ:openAL:no\r\nF:readme.txt:readme.txt\r\n" +
                                                lines));
  }

  void Start(ProgramRun &run)
  {
    ASSERT_TRUE(run.Start(_folder.File(L"setup.exe"), _folder.Path(), e2e::RunOptions{{}, L"en_US.UTF-8"}))
        << run.Error();
  }

  // The page shown, with the buttons it offers (IDCANCEL, Back, Next).
  WizardView ExpectPage(ProgramRun &run, int page, std::vector<int> buttons)
  {
    std::optional<WizardView> view = run.WaitForWizardPage(page);
    EXPECT_TRUE(view) << run.Error();
    if (!view)
      return {};
    // Buttons change by a posted message: give it a moment.
    for (int i = 0; i < 250 && ReadButtons(run, page) != buttons; ++i)
      Sleep(20);
    EXPECT_EQ(ReadButtons(run, page), buttons) << Narrow(view->title);
    return *view;
  }
  static std::vector<int> ReadButtons(ProgramRun &run, int page)
  {
    std::optional<WizardView> view = run.WaitForWizardPage(page, std::chrono::milliseconds(0));
    return view ? view->buttons : std::vector<int>{};
  }

  void ExpectBox(ProgramRun &run, const std::wstring &text, MessageIcon icon, std::vector<int> buttons, int press)
  {
    ASSERT_NO_FATAL_FAILURE(AnswerNextBox(run, {AppName.english, text, icon, buttons}, press));
  }

  void ExpectNothingInstalled() { EXPECT_FALSE(std::filesystem::exists(Install())) << Narrow(Install().wstring()); }

  e2e::TestFolder _folder;
};

const std::vector<int> NextOnly{IDCANCEL, WizardNext};
const std::vector<int> BackNext{IDCANCEL, WizardBack, WizardNext};
const std::vector<int> BackOnly{IDCANCEL, WizardBack};
const std::vector<int> CancelOnly{IDCANCEL};

TEST_F(SetupWizard, TheMinimumIsThreePagesAndTheResultDialogShrinksUnderItsMessage)
{
  Script("Q:directx:no\r\n");
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  WizardView welcome = ExpectPage(run, e2e::WelcomePage, NextOnly);
  EXPECT_EQ(welcome.title, L"Welcome to Velq");
  ASSERT_TRUE(run.Click(welcome.window, WizardNext));
  WizardView destination = ExpectPage(run, e2e::DestinationPage, BackNext);
  EXPECT_EQ(destination.title, L"Destination");
  EXPECT_EQ(e2e::ControlText(destination.window, 1011), Install().wstring());
  EXPECT_NE(e2e::ControlText(destination.window, 1050).find(L"needed 0.010 GB"), std::wstring::npos)
      << Narrow(e2e::ControlText(destination.window, 1050));
  ASSERT_TRUE(run.Click(destination.window, WizardNext));

  std::optional<e2e::MessageBoxView> result = run.NextMessageBox();
  ASSERT_TRUE(result) << run.Error();
  EXPECT_EQ(result->caption, L"Velq is installed");
  // No finish action: OK 7 pixels below the message, the client area 7 below OK.
  RECT message, ok, client;
  GetWindowRect(GetDlgItem(result->window, 1033), &message);
  GetWindowRect(GetDlgItem(result->window, IDOK), &ok);
  GetClientRect(result->window, &client);
  MapWindowPoints(nullptr, result->window, reinterpret_cast<POINT *>(&message), 2);
  MapWindowPoints(nullptr, result->window, reinterpret_cast<POINT *>(&ok), 2);
  EXPECT_EQ(ok.top, message.bottom + 7);
  EXPECT_EQ(client.bottom, ok.bottom + 7);
  ASSERT_TRUE(run.Press(*result, IDOK)) << run.Error();
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  EXPECT_EQ(TempFolder::Read(Install() / "readme.txt"), "Velq");
}

TEST_F(SetupWizard, EveryOptionalPageInItsOrderAndTheLicenceGateHoldsAcrossBack)
{
  std::filesystem::create_directory(_folder.File(L"data"));
  ASSERT_TRUE(_folder.Write(L"data\\info", "Read me first.\nSecond line."));
  ASSERT_TRUE(_folder.Write(L"data\\license", "Licence text."));
  Script("Q:info:yes\r\nQ:license:yes\r\n");
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, e2e::WelcomePage, WizardNext));
  WizardView info = ExpectPage(run, e2e::InfoPage, BackNext);
  EXPECT_EQ(e2e::ControlText(info.window, 1051), L"Read me first.\r\nSecond line.");
  ASSERT_TRUE(run.Click(info.window, WizardNext));

  // Declined at first: no Next until agree is chosen, and none after decline.
  WizardView licence = ExpectPage(run, e2e::LicencePage, BackOnly);
  EXPECT_EQ(e2e::ControlText(licence.window, 1049), L"Licence text.");
  EXPECT_TRUE(e2e::IsChecked(licence.window, 1048));
  ASSERT_TRUE(run.Click(licence.window, 1047));
  ExpectPage(run, e2e::LicencePage, BackNext);
  ASSERT_TRUE(run.Click(licence.window, 1048));
  ExpectPage(run, e2e::LicencePage, BackOnly);
  ASSERT_TRUE(run.Click(licence.window, 1047));
  ExpectPage(run, e2e::LicencePage, BackNext);
  // Back and return: the choice and the gate stay as they were.
  ASSERT_TRUE(run.Click(licence.window, WizardBack));
  ExpectPage(run, e2e::InfoPage, BackNext);
  ASSERT_TRUE(run.Click(licence.window, WizardNext));
  ExpectPage(run, e2e::LicencePage, BackNext);
  ASSERT_TRUE(run.Click(licence.window, WizardNext));
  ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, e2e::DestinationPage, WizardNext));
  WizardView directX = ExpectPage(run, e2e::DirectXPage, BackNext);
  // Unticked: no DirectX runtime is installed.
  ASSERT_TRUE(run.Click(directX.window, e2e::DirectXPage));
  ASSERT_TRUE(run.Click(directX.window, WizardNext));
  ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
}

TEST_F(SetupWizard, TheDestinationRefusesAnEmptyPathATooLongOneAndTooLittleSpace)
{
  Script("Q:directx:no\r\n", "900000000000000");
  ProgramRun run;
  ASSERT_NO_FATAL_FAILURE(Start(run));
  ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, e2e::WelcomePage, WizardNext));
  WizardView page = ExpectPage(run, e2e::DestinationPage, BackNext);
  HWND edit = FindWindowExW(reinterpret_cast<HWND>(SendMessageW(page.window, PSM_GETCURRENTPAGEHWND, 0, 0)), nullptr,
                            L"Edit", nullptr);
  ASSERT_TRUE(edit);
  const struct
  {
    std::wstring path;
    std::wstring message;
  } refusals[] = {{L"", SelectFolder.english},
                  {L"C:\\" + std::wstring(258, L'x'), L"Please enter no more than 260 characters."},
                  {Install().wstring(), NoSpace.english}};
  for (const auto &refusal : refusals)
  {
    SCOPED_TRACE(Narrow(refusal.message));
    ASSERT_TRUE(SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(refusal.path.c_str())));
    ASSERT_TRUE(run.Click(page.window, WizardNext));
    ASSERT_NO_FATAL_FAILURE(ExpectBox(run, refusal.message, MessageIcon::Warning, {IDOK}, IDOK));
    ExpectPage(run, e2e::DestinationPage, BackNext);
  }
  ASSERT_TRUE(run.Click(page.window, IDCANCEL));
  ASSERT_NO_FATAL_FAILURE(ExpectBox(run, Cancelled.english, MessageIcon::Warning, {IDOK}, IDOK));
  ASSERT_TRUE(run.WaitForExit()) << run.Error();
  EXPECT_EQ(run.ExitCode(), 2);
  ExpectNothingInstalled();
}

TEST_F(SetupWizard, CancelBeforeTheCopyAsksNothingButTheCloseBoxAsksOnEveryPage)
{
  Script("Q:directx:no\r\n");
  for (bool closeBox : {false, true})
  {
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    WizardView welcome = ExpectPage(run, e2e::WelcomePage, NextOnly);
    if (closeBox)
    {
      PostMessageW(welcome.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      ASSERT_NO_FATAL_FAILURE(ExpectBox(run, L"Stop installing Velq?", MessageIcon::Question, {IDYES, IDNO}, IDNO));
      ExpectPage(run, e2e::WelcomePage, NextOnly);
      PostMessageW(welcome.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      ASSERT_NO_FATAL_FAILURE(ExpectBox(run, L"Stop installing Velq?", MessageIcon::Question, {IDYES, IDNO}, IDYES));
    }
    else
      ASSERT_TRUE(run.Click(welcome.window, IDCANCEL));
    ASSERT_NO_FATAL_FAILURE(ExpectBox(run, Cancelled.english, MessageIcon::Warning, {IDOK}, IDOK));
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    ExpectNothingInstalled();
  }
}

TEST_F(SetupWizard, CancelDuringALongCopyAsksAndYesLeavesNothingWhileNoLetsItFinish)
{
  // A gigabyte of zeros from a small gzip file keeps the copy page busy.
  std::ofstream(std::filesystem::path(_folder.File(L"big.dat.gz")), std::ios::binary)
      << GzipBytes(std::string(1u << 30, '\0'));
  Script("Q:directx:no\r\nF:big.dat.gz:big.dat\r\n", "1073741824");
  for (bool yes : {true, false})
  {
    SCOPED_TRACE(yes ? "Yes" : "No");
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, e2e::WelcomePage, WizardNext));
    ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, e2e::DestinationPage, WizardNext));
    WizardView copy = ExpectPage(run, e2e::CopyPage, CancelOnly);
    ASSERT_TRUE(run.Click(copy.window, IDCANCEL));
    ASSERT_NO_FATAL_FAILURE(
        ExpectBox(run, L"Stop installing Velq?", MessageIcon::Question, {IDYES, IDNO}, yes ? IDYES : IDNO));
    if (yes)
    {
      ASSERT_NO_FATAL_FAILURE(ExpectBox(run, Cancelled.english, MessageIcon::Warning, {IDOK}, IDOK));
      ASSERT_TRUE(run.WaitForExit()) << run.Error();
      ExpectNothingInstalled();
    }
    else
    {
      ASSERT_NO_FATAL_FAILURE(e2e::CloseResultDialog(run));
      ASSERT_TRUE(run.WaitForExit(std::chrono::milliseconds(120000))) << run.Error();
      EXPECT_EQ(std::filesystem::file_size(Install() / "big.dat"), 1u << 30);
      std::filesystem::remove_all(Install());
      e2e::RemoveProductRegistration();
    }
  }
}

TEST_F(SetupWizard, TheResultDialogRunsTheTickedActionsOnOkAndNothingOnEscape)
{
  std::wstring cmd = e2e::TemporaryFolder().substr(0, 3) + L"windows\\system32\\cmd.exe";
  ASSERT_TRUE(_folder.CopyIn(cmd, L"cmd.exe"));
  Script("Q:directx:no\r\nE:+:S:cmd.exe /c echo one>one.txt|Run one\r\nE:-:S:cmd.exe /c echo two>two.txt|Run two\r\n");
  for (bool ok : {false, true})
  {
    SCOPED_TRACE(ok ? "OK" : "Escape");
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(Start(run));
    ASSERT_NO_FATAL_FAILURE(e2e::WalkToCopy(run, false));
    std::optional<e2e::MessageBoxView> result = run.NextMessageBox();
    ASSERT_TRUE(result) << run.Error();
    EXPECT_EQ(e2e::ControlText(result->window, 1023), L"Run one");
    EXPECT_TRUE(e2e::IsChecked(result->window, 1023));
    EXPECT_EQ(e2e::ControlText(result->window, 1024), L"Run two");
    EXPECT_FALSE(e2e::IsChecked(result->window, 1024));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(result->window, 1025)));
    if (ok)
      ASSERT_TRUE(run.Press(*result, IDOK)) << run.Error();
    else
      PostMessageW(result->window, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(run.WaitForExit()) << run.Error();
    for (int i = 0; i < 50 && ok && !std::filesystem::exists(_folder.File(L"one.txt")); ++i)
      Sleep(100);
    EXPECT_EQ(std::filesystem::exists(_folder.File(L"one.txt")), ok);
    EXPECT_FALSE(std::filesystem::exists(_folder.File(L"two.txt")));
    std::filesystem::remove_all(Install());
    e2e::RemoveProductRegistration();
  }
}
} // namespace
