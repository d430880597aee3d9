#pragma once

#include <cstdint>
#include <string>

// Install-log records: one letter, a colon and a text ("F:C:\Games\Velq\velq.exe").
// The letter says what was created and how a failed run takes it away again.

struct LogRecordParts
{
  // Upper-cased.
  wchar_t letter = 0;
  std::wstring text;
};

// Splits a record into its letter and text. False unless the record is longer
// than two characters and its second character is the colon.
bool SplitLogRecord(const std::wstring &record, LogRecordParts &parts);

// The 16-byte identifier of a game-list registration, laid out as the
// system's GUID.
struct GameListIdentifier
{
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// The identifier as the G record holds it: "{%8X-%4X-%4X-%2X%2X-%2X%2X%2X%2X%2X%2X}",
// upper-case hexadecimal padded with blanks, 38 characters.
std::wstring FormatGameListIdentifier(const GameListIdentifier &identifier);

// Reads an identifier written by FormatGameListIdentifier. Every field is read
// by its own width, blanks before the digits as padding: reading the fields as
// numbers one after the other would take a padded byte and the digit after it
// (" 1" then "FF") as one number. False unless the text is exactly 38
// characters of that shape.
bool ParseGameListIdentifier(const std::wstring &text, GameListIdentifier &identifier);

// A G record's text: the identifier, a colon, the path of the game-list
// library. False when there is no colon.
bool SplitGameListRecord(const std::wstring &text, std::wstring &identifier, std::wstring &libraryPath);
