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
