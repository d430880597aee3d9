#include "Es/Strings/wideText.hpp"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
// U+1F600 as the wide text of this platform: a surrogate pair where wchar_t
// has 16 bits.
std::wstring Emoji()
{
  if constexpr (sizeof(wchar_t) == 2)
    return std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  else
    return std::wstring(1, static_cast<wchar_t>(0x1F600));
}

const std::wstring Fffd(1, static_cast<wchar_t>(0xFFFD));
const std::string Utf8Fffd = "\xEF\xBF\xBD";

std::wstring Repeat(const std::wstring &text, int count)
{
  std::wstring out;
  for (int i = 0; i < count; ++i)
    out += text;
  return out;
}
} // namespace

TEST(WideText, AsciiPassesBothWays)
{
  EXPECT_EQ(WideFromUtf8("SETUP_STR_APP_NAME"), L"SETUP_STR_APP_NAME");
  EXPECT_EQ(Utf8FromWide(L"Setup \"1\"\r\n"), "Setup \"1\"\r\n");
  EXPECT_EQ(WideFromUtf8(""), L"");
  EXPECT_EQ(Utf8FromWide(L""), "");
}

TEST(WideText, GermanCyrillicAndEmojiRoundTrip)
{
  const std::string german = "Gr\xC3\xB6\xC3\x9F"
                             "e";
  EXPECT_EQ(WideFromUtf8(german), L"Gr\u00F6\u00DFe");
  EXPECT_EQ(Utf8FromWide(L"Gr\u00F6\u00DFe"), german);

  const std::string russian = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  EXPECT_EQ(WideFromUtf8(russian), L"\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(Utf8FromWide(WideFromUtf8(russian)), russian);

  const std::string emoji = "\xF0\x9F\x98\x80";
  std::wstring wide = WideFromUtf8(emoji);
  EXPECT_EQ(wide, Emoji());
  EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
  EXPECT_EQ(Utf8FromWide(wide), emoji);
}

TEST(WideText, EncodingBoundariesRoundTrip)
{
  const char *const samples[] = {
      "\x7F",             // U+007F, last one-byte form
      "\xC2\x80",         // U+0080
      "\xDF\xBF",         // U+07FF
      "\xE0\xA0\x80",     // U+0800
      "\xED\x9F\xBF",     // U+D7FF, just below the surrogates
      "\xEE\x80\x80",     // U+E000, just above them
      "\xEF\xBF\xBF",     // U+FFFF
      "\xF0\x90\x80\x80", // U+10000
      "\xF4\x8F\xBF\xBF", // U+10FFFF
  };
  for (const char *sample : samples)
  {
    std::wstring wide = WideFromUtf8(sample);
    EXPECT_EQ(wide.find(Fffd), std::wstring::npos) << sample;
    EXPECT_EQ(Utf8FromWide(wide), sample);
  }
  std::wstring last = WideFromUtf8("\xF4\x8F\xBF\xBF");
  if constexpr (sizeof(wchar_t) == 2)
  {
    EXPECT_EQ(last, (std::wstring{static_cast<wchar_t>(0xDBFF), static_cast<wchar_t>(0xDFFF)}));
  }
  else
  {
    EXPECT_EQ(last, std::wstring(1, static_cast<wchar_t>(0x10FFFF)));
  }
}

TEST(WideText, InvalidBytesBecomeReplacementCharacters)
{
  // A stray continuation byte, and bytes that never start a sequence.
  EXPECT_EQ(WideFromUtf8("a\x80z"), L"a" + Fffd + L"z");
  EXPECT_EQ(WideFromUtf8("\xFE\xFF"), Repeat(Fffd, 2));
  EXPECT_EQ(WideFromUtf8("\xF5\x80\x80\x80"), Repeat(Fffd, 4));
}

TEST(WideText, OverlongFormsAreRejected)
{
  // "/" in two, three and four bytes.
  EXPECT_EQ(WideFromUtf8("\xC0\xAF"), Repeat(Fffd, 2));
  EXPECT_EQ(WideFromUtf8("\xE0\x80\xAF"), Repeat(Fffd, 3));
  EXPECT_EQ(WideFromUtf8("\xF0\x80\x80\xAF"), Repeat(Fffd, 4));
  // U+0000 as C0 80 (modified UTF-8) is no zero.
  EXPECT_EQ(WideFromUtf8("\xC0\x80"), Repeat(Fffd, 2));
}

TEST(WideText, EncodedSurrogatesAndValuesPastTheRangeAreRejected)
{
  EXPECT_EQ(WideFromUtf8("\xED\xA0\x80"), Repeat(Fffd, 3));
  EXPECT_EQ(WideFromUtf8("\xED\xBF\xBF"), Repeat(Fffd, 3));
  EXPECT_EQ(WideFromUtf8("\xF4\x90\x80\x80"), Repeat(Fffd, 4));
}

TEST(WideText, TruncatedSequenceGivesOneReplacementAndKeepsWhatFollows)
{
  // Three bytes of a four-byte sequence: one U+FFFD, then the "A" intact.
  EXPECT_EQ(WideFromUtf8("\xF0\x9F\x98"
                         "A"),
            Fffd + L"A");
  EXPECT_EQ(WideFromUtf8("x\xE4\xB8"), L"x" + Fffd);
  // A new lead byte cuts the sequence before it.
  EXPECT_EQ(WideFromUtf8("\xC3\xC3\xB6"), Fffd + L"\u00F6");
}

TEST(WideText, LengthIsHonouredAndZerosPass)
{
  const char bytes[] = {'a', '\0', 'b', '\xC3', '\xB6'};
  std::wstring wide = WideFromUtf8(bytes, sizeof bytes);
  EXPECT_EQ(wide, std::wstring(L"a\0b\u00F6", 4));
  // The length cuts inside a sequence: a truncated one.
  EXPECT_EQ(WideFromUtf8(bytes, 4), std::wstring(L"a\0b", 3) + Fffd);
  EXPECT_EQ(Utf8FromWide(wide), std::string(bytes, sizeof bytes));
  EXPECT_EQ(WideFromUtf8(nullptr, 5), L"");
  EXPECT_EQ(Utf8FromWide(nullptr, 5), "");
}

TEST(WideText, UnencodableWideCharactersBecomeReplacement)
{
  // A lone surrogate of either kind, and a high surrogate at the very end.
  std::wstring lone{L'a', static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0xDC00),
                    L'c', static_cast<wchar_t>(0xDBFF)};
  EXPECT_EQ(Utf8FromWide(lone), "a" + Utf8Fffd + "b" + Utf8Fffd + "c" + Utf8Fffd);
  // Reversed pair: two lone surrogates.
  std::wstring reversed{static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xD83D)};
  EXPECT_EQ(Utf8FromWide(reversed), Utf8Fffd + Utf8Fffd);
  if constexpr (sizeof(wchar_t) == 4)
  {
    EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0x110000))), Utf8Fffd);
    EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(-1))), Utf8Fffd);
  }
}

TEST(WideText, AnsiCodePageKeepsAscii)
{
  EXPECT_EQ(AnsiFromWide(L"SETUP_STR_APP_NAME"), "SETUP_STR_APP_NAME");
  EXPECT_EQ(WideFromAnsi("C:\\Games\\Product"), L"C:\\Games\\Product");
  EXPECT_EQ(AnsiFromWide(L""), "");
  EXPECT_EQ(WideFromAnsi(""), L"");
}

#ifdef _WIN32
TEST(WideText, AnsiCodePageIsTheSystemOne)
{
  // Only what the running code page decides can be checked.
  if (GetACP() == 1252)
  {
    EXPECT_EQ(AnsiFromWide(L"Gr\u00F6\u00DFe"), "Gr\xF6\xDF"
                                                "e");
    EXPECT_EQ(WideFromAnsi("Gr\xF6\xDF"
                           "e"),
              L"Gr\u00F6\u00DFe");
    // Cyrillic is not in code page 1252.
    EXPECT_EQ(AnsiFromWide(L"\u0416"), "?");
  }
  else if (GetACP() == CP_UTF8)
  {
    EXPECT_EQ(AnsiFromWide(L"\u0416"), "\xD0\x96");
  }
  else
  {
    GTEST_SKIP() << "code page " << GetACP();
  }
}
#else
TEST(WideText, AnsiCodePageIsUtf8OnPosix)
{
  EXPECT_EQ(AnsiFromWide(L"Gr\u00F6\u00DFe"), "Gr\xC3\xB6\xC3\x9F"
                                              "e");
  EXPECT_EQ(WideFromAnsi("\xD0\x96"), L"\u0416");
  EXPECT_EQ(AnsiFromWide(Emoji()), "\xF0\x9F\x98\x80");
}
#endif
