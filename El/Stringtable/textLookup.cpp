#include "El/Stringtable/textLookup.hpp"

#include "El/Stringtable/stringTable.hpp"
#include "Es/Strings/wideText.hpp"

#include <cstring>

namespace
{
// The character an escape pair stands for, or 0 when backslash + c is no
// escape (both characters are then kept).
char Unescaped(char c)
{
  switch (c)
  {
  case '"':
    return '"';
  case '\'':
    return '\'';
  case '\\':
    return '\\';
  case 'n':
    return '\n';
  case 'r':
    return '\r';
  case 't':
    return '\t';
  default:
    return 0;
  }
}

bool IsKeyCharacter(wchar_t c)
{
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

void AppendReversed(std::wstring &to, const std::wstring &text) { to.append(text.rbegin(), text.rend()); }
} // namespace

std::wstring LocalizeKey(const std::wstring &key)
{
  RString text = GStringTables().Lookup(AnsiFromWide(key).c_str());
  if (text.IsEmpty())
    return key + NotLocalizedSuffix;
  const char *from = text.Data();
  std::size_t length = std::strlen(from);
  // Most texts have no backslash at all: convert them as they stand.
  if (!std::memchr(from, '\\', length))
    return WideFromUtf8(from, length);
  std::string unescaped(length, '\0');
  char *put = unescaped.data();
  for (std::size_t i = 0; i < length; ++i)
  {
    char replacement;
    if (from[i] == '\\' && i + 1 < length && (replacement = Unescaped(from[i + 1])) != 0)
    {
      *put++ = replacement;
      ++i;
    }
    else
      *put++ = from[i];
  }
  unescaped.resize(static_cast<std::size_t>(put - unescaped.data()));
  return WideFromUtf8(unescaped);
}

std::wstring IndirectText(const std::wstring &text)
{
  if (!text.empty() && text[0] == L'@')
    return LocalizeKey(text.substr(1));
  return text;
}

// The text still to be scanned is kept reversed, so that putting a
// replacement in front of it (where the scan resumes) is an append rather
// than a move of everything behind it: the work stays proportional to the
// text produced, however long the chain of references.
bool ExpandText(std::wstring &text, bool allowProductName, const std::wstring &productName)
{
  std::wstring::size_type first = text.find_first_of(L"$%");
  if (first == std::wstring::npos)
    return false;
  std::wstring done(text, 0, first);
  std::wstring rest(text.rbegin(), text.rend() - static_cast<std::ptrdiff_t>(first));
  int replacements = 0;
  while (replacements < MaxTextExpansions && done.size() + rest.size() <= MaxExpandedTextLength)
  {
    std::wstring::size_type sign = rest.find_last_of(L"$%");
    if (sign == std::wstring::npos)
      break;
    // The plain characters before the sign are done.
    done.append(rest.rbegin(), rest.rbegin() + static_cast<std::ptrdiff_t>(rest.size() - 1 - sign));
    rest.resize(sign + 1);
    // A sign that is the last character is never expanded.
    if (sign == 0)
      break;
    if (rest[sign] == L'$')
    {
      // The run of key characters after the sign, which may be empty.
      std::size_t start = sign;
      while (start > 0 && IsKeyCharacter(rest[start - 1]))
        --start;
      std::wstring key(rest.rbegin() + 1, rest.rbegin() + 1 + static_cast<std::ptrdiff_t>(sign - start));
      rest.resize(start);
      AppendReversed(rest, LocalizeKey(key));
      ++replacements;
      continue;
    }
    if (allowProductName && rest[sign - 1] == L'0')
    {
      rest.resize(sign - 1);
      AppendReversed(rest, productName);
      ++replacements;
      continue;
    }
    done.push_back(rest[sign]);
    rest.pop_back();
  }
  if (replacements == 0)
    return false;
  done.append(rest.rbegin(), rest.rend());
  text = std::move(done);
  return true;
}

namespace
{
// One pass: an argument's own "%1" or "%2" is never replaced in turn.
std::wstring Format(const std::wstring &text, const std::wstring *arguments, int count)
{
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
  {
    if (text[i] == L'%' && i + 1 < text.size())
    {
      int index = text[i + 1] - L'1';
      if (index >= 0 && index < count)
      {
        out += arguments[index];
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}
} // namespace

std::wstring FormatText(const std::wstring &text, const std::wstring &argument1) { return Format(text, &argument1, 1); }

std::wstring FormatText(const std::wstring &text, const std::wstring &argument1, const std::wstring &argument2)
{
  const std::wstring arguments[] = {argument1, argument2};
  return Format(text, arguments, 2);
}
