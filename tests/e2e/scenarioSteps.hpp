#pragma once

// What the end-to-end scenarios share: the texts of a setup.csv built in the
// test, and answering the program's boxes after checking what they show.

#include "tests/e2e/setupDriver.hpp"

#include "Es/Strings/wideText.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e
{
inline std::string Narrow(const std::wstring &text) { return Utf8FromWide(text); }

inline const wchar_t *const NotLocalized = L" ... not localized!";
inline const wchar_t *const ProductKeyPath = L"Software\\Marrowdyne";

// One row of setup.csv: a key and its English and German texts.
struct TableRow
{
  std::wstring key;
  std::wstring english;
  std::wstring german;
};

// A quoted cell: setup.csv is read as UTF-8, quotes doubled inside.
inline std::string Cell(const std::wstring &text)
{
  std::string cell = "\"";
  for (char c : Utf8FromWide(text))
  {
    if (c == '"')
      cell += '"';
    cell += c;
  }
  return cell + "\"";
}

inline std::string SetupTable(const std::vector<TableRow> &rows)
{
  std::string table = "LANGUAGE,English,German\r\n";
  for (const TableRow &row : rows)
    table += Cell(row.key) + "," + Cell(row.english) + "," + Cell(row.german) + "\r\n";
  return table;
}

struct ExpectedBox
{
  std::wstring caption;
  std::wstring text;
  MessageIcon icon;
  std::vector<int> buttons;
};

// Waits for the program's next message box, checks everything it shows and
// presses the button.
inline void AnswerNextBox(ProgramRun &run, const ExpectedBox &expected, int button)
{
  std::optional<MessageBoxView> box = run.NextMessageBox();
  ASSERT_TRUE(box) << "waiting for \"" << Narrow(expected.text) << "\": " << run.Error();
  SCOPED_TRACE("the box shows \"" + Narrow(box->caption) + "\": \"" + Narrow(box->text) + "\"");
  EXPECT_EQ(box->caption, expected.caption);
  EXPECT_EQ(box->text, expected.text);
  EXPECT_EQ(box->icon, expected.icon);
  EXPECT_EQ(box->buttons, expected.buttons);
  ASSERT_TRUE(run.Press(*box, button)) << run.Error();
}
// What a successful run registers and no rollback takes away: the product
// key and the uninstall entry of the scenarios' log "Velq". Removed around
// each scenario, so that the next one is not asked whether to install again.
inline void RemoveProductRegistration()
{
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, ProductKeyPath);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velq");
}

// Controls that tell the wizard's pages apart.
inline constexpr int WelcomePage = 1037;
inline constexpr int InfoPage = 1051;
inline constexpr int LicencePage = 1047;
inline constexpr int DestinationPage = 1011;
inline constexpr int DirectXPage = 1004;
inline constexpr int CopyPage = 1008;

// Waits for the page and presses one of the sheet's buttons on it.
inline void ClickOnPage(ProgramRun &run, int page, int button)
{
  std::optional<WizardView> view = run.WaitForWizardPage(page);
  ASSERT_TRUE(view) << run.Error();
  ASSERT_TRUE(run.Click(view->window, button)) << run.Error();
}

// Through the wizard of a script that asks for no optional page: Next on
// the welcome and destination pages, and on the DirectX page, which is shown
// unless the script says otherwise; its box is unticked first, so that the
// run installs no DirectX runtime. The copy begins.
inline void WalkToCopy(ProgramRun &run, bool directXPage = true)
{
  ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, WelcomePage, WizardNext));
  ASSERT_NO_FATAL_FAILURE(ClickOnPage(run, DestinationPage, WizardNext));
  if (!directXPage)
    return;
  std::optional<WizardView> view = run.WaitForWizardPage(DirectXPage);
  ASSERT_TRUE(view) << run.Error();
  if (IsChecked(view->window, DirectXPage))
  {
    ASSERT_TRUE(run.Click(view->window, DirectXPage)) << run.Error();
  }
  ASSERT_TRUE(run.Click(view->window, WizardNext)) << run.Error();
}

// The result dialog of a successful run, closed with OK.
inline void CloseResultDialog(ProgramRun &run)
{
  std::optional<MessageBoxView> result = run.NextMessageBox(std::chrono::milliseconds(120000));
  ASSERT_TRUE(result) << run.Error();
  ASSERT_TRUE(GetDlgItem(result->window, 1033)) << "not the result dialog: \"" << Narrow(result->text) << "\"";
  ASSERT_TRUE(run.Press(*result, IDOK)) << run.Error();
}
} // namespace e2e
