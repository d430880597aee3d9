#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/commandSwitches.hpp"
#include "Setup/Shell/startupOptions.hpp"

#include <gtest/gtest.h>

TEST(StartupOptions, DebugInAnyCaseSetsTheDebugFlagAlone)
{
  for (const wchar_t *argument : {L"-debug", L"-DEBUG", L"-DeBuG"})
  {
    StartupOptions options = ParseStartupOptions({argument});
    EXPECT_TRUE(options.debug) << argument;
    EXPECT_TRUE(options.resourceModulePath.empty()) << argument;
  }
}

TEST(StartupOptions, OnlyASingleArgumentCounts)
{
  for (const std::vector<std::wstring> &arguments :
       {std::vector<std::wstring>{}, std::vector<std::wstring>{L"-debug", L"C:\\media\\resources.dll"}})
  {
    StartupOptions options = ParseStartupOptions(arguments);
    EXPECT_FALSE(options.debug);
    EXPECT_TRUE(options.resourceModulePath.empty());
  }
}

TEST(StartupOptions, AnyOtherSingleArgumentNamesTheResourceModule)
{
  for (const wchar_t *argument : {L"C:\\media\\resources.dll", L"-debugx", L"/debug"})
  {
    StartupOptions options = ParseStartupOptions({argument});
    EXPECT_FALSE(options.debug) << argument;
    EXPECT_EQ(options.resourceModulePath, argument);
  }
}

TEST(StartupOptions, ProcessArgumentsLeaveOutTheProgramName)
{
  EXPECT_EQ(ProcessArguments().size(), static_cast<std::size_t>(__argc - 1));
}

TEST(CommandSwitches, EverySwitchInAnyCase)
{
  CommandSwitches all = ReadCommandSwitches(
      L"/s /NoPrompt /ALLUSERS /desktop /NORESTART /Debug /LOG=C:\\log.txt /MODULE=\"D:\\my res.dll\"");
  EXPECT_TRUE(all.used && all.silent && all.noPrompt && all.allUsers && all.desktop && all.noRestart && all.debug);
  EXPECT_EQ(all.logFile, L"C:\\log.txt");
  EXPECT_EQ(all.resourceModulePath, L"D:\\my res.dll");
  EXPECT_FALSE(all.installFolder);
  EXPECT_TRUE(all.unknown.empty());

  CommandSwitches none = ReadCommandSwitches(L"");
  EXPECT_FALSE(none.used || none.silent);
}

TEST(CommandSwitches, TheFolderIsTheRestOfTheLineBlanksAndQuotesAllowed)
{
  EXPECT_EQ(*ReadCommandSwitches(L"/S /D=C:\\My Games\\Velq  ").installFolder, L"C:\\My Games\\Velq");
  EXPECT_EQ(*ReadCommandSwitches(L"/D=\"C:\\My Games\\Velq\"").installFolder, L"C:\\My Games\\Velq");
  // Quoted whole, as a program passing it as one argument writes it.
  EXPECT_EQ(*ReadCommandSwitches(L"/S \"/D=C:\\My Games\"").installFolder, L"C:\\My Games");
  // Everything after /D= is the folder, switches included.
  EXPECT_EQ(*ReadCommandSwitches(L"/D=C:\\x /S").installFolder, L"C:\\x /S");
}

TEST(CommandSwitches, UnknownWordsAreKeptAndAreNoSwitch)
{
  CommandSwitches switches = ReadCommandSwitches(L"/S /QUIET extra");
  EXPECT_TRUE(switches.used);
  EXPECT_EQ(switches.unknown, (std::vector<std::wstring>{L"/QUIET", L"extra"}));
  // Without a known switch the line is not read this way: the old
  // single-argument rule takes it.
  EXPECT_FALSE(ReadCommandSwitches(L"/QUIET").used);
  EXPECT_FALSE(ReadCommandSwitches(L"-debug").used);
  EXPECT_EQ(ArgumentText(L"\"C:\\a b\\setup.exe\"  /S /D=x"), L"/S /D=x");
  EXPECT_EQ(ArgumentText(L"setup.exe"), L"");
}

TEST(ExitCodes, EachResultHasItsCode)
{
  EXPECT_EQ(ExitCodeOf(ResultSuccess), 0);
  EXPECT_EQ(ExitCodeOf(ResultInternalError), 1);
  EXPECT_EQ(ExitCodeOf(ResultCancelled), 2);
  EXPECT_EQ(ExitCodeOf(ResultError), 3);
  EXPECT_EQ(ExitCodeOf(ResultDirectXError), 4);
  EXPECT_EQ(ExitCodeOf(ResultRestart), 3010);
  EXPECT_EQ(ExitCodeOf(17), 0);
}

TEST(LanguageChoice, EachListedLanguageHasItsNameAndSuffixWhateverTheSublanguage)
{
  struct Row
  {
    LANGID language;
    const char *name;
    const wchar_t *suffix;
  };
  const Row rows[] = {
      {0x0405, "Czech", L".czech"},     {0x0807, "German", L".german"},   {0x080A, "Spanish", L".spanish"},
      {0x0C0C, "French", L".french"},   {0x0410, "Italian", L".italian"}, {0x0415, "Polish", L".polish"},
      {0x0419, "Russian", L".russian"},
  };
  for (const Row &row : rows)
  {
    EXPECT_STREQ(ChooseLanguage(row.language).name, row.name);
    EXPECT_STREQ(ChooseLanguage(row.language).suffix, row.suffix);
  }
}

TEST(LanguageChoice, UnlistedLanguageIsEnglishWithoutSuffix)
{
  // Brazilian Portuguese; then 0x105, whose low byte alone would be Czech.
  for (LANGID language : {LANGID(0x0416), LANGID(0x0409), LANGID(0x0105)})
  {
    EXPECT_STREQ(ChooseLanguage(language).name, "English") << language;
    EXPECT_STREQ(ChooseLanguage(language).suffix, L"") << language;
  }
}
