#include "Setup/Data/installLogFile.hpp"
#include "Setup/Data/logRecord.hpp"

#include <gtest/gtest.h>

TEST(LogRecord, ALetterAColonAndAtLeastOneCharacter)
{
  LogRecordParts parts;
  ASSERT_TRUE(SplitLogRecord(L"f:C:\\Games\\a.txt", parts));
  EXPECT_EQ(parts.letter, L'F');
  EXPECT_EQ(parts.text, L"C:\\Games\\a.txt");
  EXPECT_FALSE(SplitLogRecord(L"F:", parts));
  EXPECT_FALSE(SplitLogRecord(L"FF:x", parts));
  EXPECT_FALSE(SplitLogRecord(L"", parts));
}

TEST(LogRecord, AnIdentifierPaddedWithBlanksReadsBackToTheSameBytes)
{
  // Fields that print shorter than their width, and bytes whose padding blank
  // is followed by a byte starting with a hexadecimal digit (" 1FF" must not
  // read as 0x1F).
  GameListIdentifier id{0x1234, 0xA, 0xBEEF, {0x1, 0xFF, 0x0, 0xF, 0x10, 0xAB, 0x2, 0xC}};
  std::wstring text = FormatGameListIdentifier(id);
  EXPECT_EQ(text, L"{    1234-   A-BEEF- 1FF- 0 F10AB 2 C}");
  GameListIdentifier back;
  ASSERT_TRUE(ParseGameListIdentifier(text, back));
  EXPECT_EQ(back.data1, id.data1);
  EXPECT_EQ(back.data2, id.data2);
  EXPECT_EQ(back.data3, id.data3);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(back.data4[i], id.data4[i]) << i;

  for (const wchar_t *bad : {L"", L"{    1234-   A-BEEF- 1FF- 0 F10AB 2 C}x", L"{    1234-   A-BEEF- 1FF- 0 F10AB 2  }",
                             L"{    12x4-   A-BEEF- 1FF- 0 F10AB 2 C}", L"(    1234-   A-BEEF- 1FF- 0 F10AB 2 C)"})
    EXPECT_FALSE(ParseGameListIdentifier(bad, back)) << bad;

  std::wstring identifier, library;
  ASSERT_TRUE(SplitGameListRecord(text + L":C:\\Games\\GameuxInstallHelper.dll", identifier, library));
  EXPECT_EQ(identifier, text);
  EXPECT_EQ(library, L"C:\\Games\\GameuxInstallHelper.dll");
}

TEST(InstallLogFile, ReadsTheKeyAndTheRecordsOfEitherLineEnd)
{
  InstallLogFile log;
  std::string error;
  ASSERT_TRUE(ReadInstallLogFile("Velq\r\nD:C:\\Games\r\n\r\nF:C:\\Games\\\xc3\xa4.txt\nK:Software\\Velq", log, error));
  EXPECT_EQ(log.uninstallKeyName, L"Velq");
  EXPECT_EQ(log.records, (std::vector<std::wstring>{L"D:C:\\Games", L"F:C:\\Games\\\u00e4.txt", L"K:Software\\Velq"}));
}

TEST(InstallLogFile, RefusesWhatNoInstallerWrites)
{
  InstallLogFile log;
  std::string error;
  const std::string refused[] = {"\r\nF:C:\\x\r\n", std::string("Velq\r\nF:C:\\x\0y\r\n", 15), "Velq\r\nF:\xc3\r\n",
                                 "Velq\r\nF:\xed\xa0\x80\r\n", "Velq\r\n" + std::string(MaxInstallLogLine + 1, 'x')};
  for (const std::string &bytes : refused)
  {
    EXPECT_FALSE(ReadInstallLogFile(bytes, log, error)) << bytes.substr(0, 20);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(log.records.empty());
  }
}
