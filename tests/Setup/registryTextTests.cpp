// The registry step's texts: data expansion, the file-type fields and their
// open command.
#include "Setup/System/registryText.hpp"

#include <gtest/gtest.h>

namespace
{
TEST(RegistryText, DataExpansionFollowsThePercentRules)
{
  const std::wstring folder = L"D:\\Games\\Velq\\";
  EXPECT_EQ(ExpandRegistryData(L"%(INSTALL_PATH)\\bin", folder), L"D:\\Games\\Velq\\bin");
  EXPECT_EQ(ExpandRegistryData(L"%(install_path)", folder), L"D:\\Games\\Velq");
  EXPECT_EQ(ExpandRegistryData(L"a%(OTHER)b", folder), L"ab");
  EXPECT_EQ(ExpandRegistryData(L"100%%", folder), L"100%");
  EXPECT_EQ(ExpandRegistryData(L"50%", folder), L"50");
  EXPECT_EQ(ExpandRegistryData(L"%x%(INSTALL_PATH", folder), L"x");
  // Wide text throughout: a folder outside any ANSI code page survives.
  EXPECT_EQ(ExpandRegistryData(L"%(INSTALL_PATH)", L"C:\\\u6E38\u620F\\"), L"C:\\\u6E38\u620F");
}

TEST(RegistryText, FileTypes)
{
  FileTypeEntry entry;
  ASSERT_TRUE(ParseFileType(L".sav:Velq.Save:bin\\prog.exe:0", entry));
  EXPECT_EQ(entry.extension, L".sav");
  EXPECT_EQ(entry.className, L"Velq.Save");
  EXPECT_EQ(entry.program, L"bin\\prog.exe");
  EXPECT_EQ(entry.iconIndex, L"0");
  EXPECT_TRUE(ParseFileType(L".a:b:c:1:extra", entry) && entry.iconIndex == L"1:extra");
  EXPECT_FALSE(ParseFileType(L".sav:Velq.Save:bin\\prog.exe", entry));
  EXPECT_FALSE(ParseFileType(L"nothing", entry));
  EXPECT_EQ(OpenCommand(L"D:\\Games\\prog.exe"), L"\"D:\\Games\\prog.exe\" \"%1\"");
}
} // namespace
