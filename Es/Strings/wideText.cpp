#include "Es/Strings/wideText.hpp"

#include <cstdint>

namespace
{
constexpr char32_t Replacement = 0xFFFD;

// Both directions write into a string sized for the worst case and cut it to
// what was written: one byte never gives more than one wchar_t (a four-byte
// sequence gives at most two), and one wchar_t never more than four bytes.

// Writes one code point (never a surrogate, at most U+10FFFF) as wchar_t
// units: a surrogate pair above U+FFFF where wchar_t has 16 bits.
wchar_t *PutWide(wchar_t *out, char32_t code)
{
  if constexpr (sizeof(wchar_t) == 2)
  {
    if (code >= 0x10000)
    {
      code -= 0x10000;
      *out++ = static_cast<wchar_t>(0xD800 + (code >> 10));
      *out++ = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
      return out;
    }
  }
  *out++ = static_cast<wchar_t>(code);
  return out;
}

char *PutUtf8(char *out, char32_t code)
{
  if (code < 0x80)
    *out++ = static_cast<char>(code);
  else if (code < 0x800)
  {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  else if (code < 0x10000)
  {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  else
  {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
} // namespace

// The well-formed sequences of the Unicode standard (its table 3-7): the lead
// byte fixes the length and the range of the second byte, which is what rules
// out overlong forms, UTF-16 surrogates and values above U+10FFFF. An
// ill-formed sequence gives one U+FFFD for its longest valid beginning (its
// "maximal subpart"), and decoding goes on at the byte that broke it, so a
// truncated sequence never swallows the character after it.
std::wstring WideFromUtf8(const char *text, std::size_t length)
{
  std::wstring out;
  if (!text || length == 0)
    return out;
  out.resize(length);
  wchar_t *const first = out.data();
  wchar_t *put = first;
  const auto *bytes = reinterpret_cast<const unsigned char *>(text);
  std::size_t i = 0;
  while (i < length)
  {
    unsigned char lead = bytes[i];
    if (lead < 0x80)
    {
      *put++ = static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    int trail;
    unsigned char low = 0x80, high = 0xBF;
    char32_t code;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
      trail = 1;
      code = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
      trail = 2;
      code = lead & 0x0F;
      if (lead == 0xE0)
        low = 0xA0; // below: overlong
      else if (lead == 0xED)
        high = 0x9F; // above: surrogates
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
      trail = 3;
      code = lead & 0x07;
      if (lead == 0xF0)
        low = 0x90; // below: overlong
      else if (lead == 0xF4)
        high = 0x8F; // above: past U+10FFFF
    }
    else
    {
      // A stray continuation byte, C0/C1 (always overlong) or F5..FF.
      *put++ = static_cast<wchar_t>(Replacement);
      ++i;
      continue;
    }
    ++i;
    bool complete = true;
    for (int k = 0; k < trail; ++k, ++i)
    {
      if (i >= length || bytes[i] < low || bytes[i] > high)
      {
        complete = false;
        break;
      }
      code = (code << 6) | (bytes[i] & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    put = PutWide(put, complete ? code : Replacement);
  }
  out.resize(static_cast<std::size_t>(put - first));
  return out;
}

std::wstring WideFromUtf8(const std::string &text) { return WideFromUtf8(text.data(), text.size()); }

std::string Utf8FromWide(const wchar_t *text, std::size_t length)
{
  std::string out;
  if (!text || length == 0)
    return out;
  out.resize(length * (sizeof(wchar_t) == 2 ? 3 : 4));
  char *const first = out.data();
  char *put = first;
  for (std::size_t i = 0; i < length; ++i)
  {
    // wchar_t is signed on some platforms: read the unit as unsigned bits.
    char32_t unit = sizeof(wchar_t) == 2 ? static_cast<char32_t>(static_cast<std::uint16_t>(text[i]))
                                         : static_cast<char32_t>(static_cast<std::uint32_t>(text[i]));
    if constexpr (sizeof(wchar_t) == 2)
    {
      if (IsHighSurrogate(unit) && i + 1 < length &&
          IsLowSurrogate(static_cast<char32_t>(static_cast<std::uint16_t>(text[i + 1]))))
      {
        char32_t lowUnit = static_cast<char32_t>(static_cast<std::uint16_t>(text[i + 1]));
        put = PutUtf8(put, 0x10000 + ((unit - 0xD800) << 10) + (lowUnit - 0xDC00));
        ++i;
        continue;
      }
    }
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit > 0x10FFFF)
      unit = Replacement;
    put = PutUtf8(put, unit);
  }
  out.resize(static_cast<std::size_t>(put - first));
  return out;
}

std::string Utf8FromWide(const std::wstring &text) { return Utf8FromWide(text.data(), text.size()); }
