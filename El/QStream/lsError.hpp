#pragma once

// Error codes of the stream library.
enum LSError
{
  LSOK = 0,
  LSFileNotFound = 1,
  LSBadFile = 2,
  LSStructure = 3,
  LSUnsupportedFormat = 4,
  LSVersionTooNew = 5,
  LSVersionTooOld = 6,
  LSNoFile = 7,
  LSAccessDenied = 8,
  LSDiskError = 9,
  LSNoEntry = 10,
  LSUnknownError = 12
};

// The text of a code. A code outside the table is an internal error: it is
// reported and reads as "Unknown error".
const char *LSErrorText(int code);

// The code for a Windows system error number (GetLastError): 2 no such file;
// 5, 19, 32, 33, 65 access denied; 23, 29, 30 disk error; 39 no file; any
// other unknown. 0 stays 0.
LSError LSErrorFromSystemError(unsigned long systemError);
