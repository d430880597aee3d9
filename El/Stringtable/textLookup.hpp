#pragma once

#include <cstddef>
#include <string>

// What a missing or empty key shows after the key itself.
inline constexpr const wchar_t *NotLocalizedSuffix = L" ... not localized!";

// Replacements one ExpandText call makes at most; what remains after that is
// left as it stands, so translations that refer to each other in a cycle
// cannot expand forever.
inline constexpr int MaxTextExpansions = 1000;
// Characters an expanded text may reach before no further reference is
// replaced: a long translation that refers to itself could otherwise make a
// few hundred megabytes of one script line or window text.
inline constexpr std::size_t MaxExpandedTextLength = 65536;

// The text of key from the process-wide tables, escapes replaced, converted
// from UTF-8; the key followed by " ... not localized!" when the key is
// missing or its text is empty.
std::wstring LocalizeKey(const std::wstring &key);

// A text beginning with "@" is localized with the rest as the key; any other
// text is answered unchanged.
std::wstring IndirectText(const std::wstring &text);

// Replaces "$KEY" references (ASCII letters, digits and underscores) by their
// localized texts and, when allowProductName, "%0" by productName; scanning
// resumes where each replacement begins. Answers whether anything changed.
bool ExpandText(std::wstring &text, bool allowProductName, const std::wstring &productName = std::wstring());

// Replaces every "%1" (and "%2") of a localized text by the arguments.
std::wstring FormatText(const std::wstring &text, const std::wstring &argument1);
std::wstring FormatText(const std::wstring &text, const std::wstring &argument1, const std::wstring &argument2);
