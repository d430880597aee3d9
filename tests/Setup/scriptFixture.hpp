#pragma once

#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "Setup/Script/setupObject.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// A configuration object whose source folder is a fresh folder, a small
// English stringtable for "$KEY" references, and the script written there
// from text built in the test.
class ScriptTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    _language = GetStringtableLanguage();
    GStringTables().Clear();
    SetStringtableLanguage("English");
    std::string table = folder.Write("strings.csv", "LANGUAGE,English\n"
                                                    "KEY_COLONS,x:y:z\n"
                                                    "KEY_PLAIN,Velq\n"
                                                    "KEY_INNER,inner $KEY_PLAIN\n"
                                                    "SETUP_STR_ERR_FILE_READ,Cannot read %1\n");
    ASSERT_TRUE(LoadStringtable("global", table.c_str(), 0, true));
    setup.sourceFolder = folder.Path().wstring() + L"\\";
    setup.scriptPath = setup.sourceFolder + L"setup.dat";
    TestVolumeLabel() = true;
    shownBoxes().clear();
    _savedShower = ShowMessageBox();
    ShowMessageBox() = [](const wchar_t *text, const wchar_t *, UINT type)
    {
      shownBoxes().push_back({text, type});
      return IDOK;
    };
  }
  void TearDown() override
  {
    ShowMessageBox() = _savedShower;
    GStringTables().Clear();
    SetStringtableLanguage(_language);
    ProductName().clear();
    TestVolumeLabel() = true;
  }

  // Writes setup.dat, reads and parses it; false when either fails.
  bool Run(const std::string &script)
  {
    folder.Write("setup.dat", script);
    return setup.ReadScript() && setup.ParseScript();
  }

  // A file below the source folder, folders made as needed.
  void MakeFile(const std::string &name, const std::string &bytes = "x")
  {
    std::filesystem::path path = folder.Path() / name;
    std::filesystem::create_directories(path.parent_path());
    folder.Write(name, bytes);
  }

  std::vector<CSetupFileItem *> CopyItems()
  {
    std::vector<CSetupFileItem *> items;
    for (auto &item : setup.copyList)
      items.push_back(item.get());
    return items;
  }

  struct ShownBox
  {
    std::wstring text;
    UINT type;
  };
  // The message boxes the object showed, in order.
  static std::vector<ShownBox> &shownBoxes()
  {
    static std::vector<ShownBox> boxes;
    return boxes;
  }

  TempFolder folder;
  CSetupObject setup;

private:
  RString _language;
  MessageBoxShower _savedShower = nullptr;
};
