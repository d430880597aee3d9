#pragma once

#include <string>

#include <windows.h>

// Moves values between a dialog's controls and variables: into the controls
// when a page is filled, out of them when it is read. A value the reading
// refuses stops the exchange: the user is told, the control gets the focus,
// and the page stays.
class CDataExchange
{
public:
  CDataExchange(HWND window, bool save) : dialog(window), saveAndValidate(save) {}

  HWND dialog;
  // True when reading the controls.
  bool saveAndValidate;
  // Set by a refused value.
  bool failed = false;

  // Refuses the value of control id: shows text with the warning icon and
  // moves the focus to the control.
  void Fail(int id, const std::wstring &text);
};

// A check box and 0 or 1.
void DDX_Check(CDataExchange &dx, int id, int &value);
// A group of radio buttons from firstId on, and the index of the selected
// one (-1 when none is).
void DDX_Radio(CDataExchange &dx, int firstId, int &index);
// A control's text.
void DDX_Text(CDataExchange &dx, int id, std::wstring &value);
// A text of at most maxChars characters: the edit control takes no more when
// filled; a longer text (a browsed folder may be) is refused when read, with
// "Please enter no more than <maxChars> characters.".
void DDV_MaxChars(CDataExchange &dx, int id, const std::wstring &value, int maxChars);
// Binds a control's window to a variable.
void DDX_Control(CDataExchange &dx, int id, HWND &control);
