#pragma once

#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "Setup/Script/setupObject.hpp"
#include "tests/e2e/setupDriver.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// ASCII text as a wide string.
inline std::wstring Wide(const std::string &text) { return std::wstring(text.begin(), text.end()); }

// The stored file list: a count, then name, size and archive number per record.
inline std::string FileListBytes(const std::vector<std::tuple<std::string, std::uint32_t, std::int8_t>> &records)
{
  auto append32 = [](std::string &bytes, std::uint32_t value)
  {
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<char>(value >> shift));
  };
  std::string bytes;
  append32(bytes, static_cast<std::uint32_t>(records.size()));
  for (const auto &[name, size, archive] : records)
  {
    bytes += name;
    bytes.push_back('\0');
    append32(bytes, size);
    bytes.push_back(static_cast<char>(archive));
  }
  return bytes;
}

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
                                                    "SETUP_STR_ERR_FILE_READ,Cannot read %1\n"
                                                    "SETUP_STR_ERR_FILE_NOT_FOUND,Missing %1\n"
                                                    "SETUP_STR_ERR_CREATE_FILE,Cannot create %1\n"
                                                    "SETUP_STR_ERR_FILE_CRC,Damaged %1\n"
                                                    "SETUP_STR_BIN_FILE_NOT_FOUND,No archives\n");
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

  // Named data resources come from a copy of a resource-only module that the
  // test fills, named as the resource module on the command line would be.
  // Answers the module's path.
  std::wstring UseResources(const std::vector<std::pair<std::wstring, std::string>> &resources)
  {
    std::wstring module = Wide(folder.File("resources.dll"));
    EXPECT_TRUE(CopyFileW(Wide(E2E_RESOURCES_PATH).c_str(), module.c_str(), FALSE));
    std::string error;
    EXPECT_TRUE(e2e::AddDataResources(module, resources, error)) << error;
    setup.resourceModulePath = module;
    return module;
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
