#include "El/QStream/lsError.hpp"

#include "Es/Framework/appFrame.hpp"

const char *LSErrorText(int code)
{
  switch (code)
  {
  case LSOK:
    return "No error";
  case LSFileNotFound:
    return "No such file";
  case LSBadFile:
    return "Bad file (CRC, ...)";
  case LSStructure:
    return "Bad file structure";
  case LSUnsupportedFormat:
    return "Unsupported format";
  case LSVersionTooNew:
    return "Version is too new";
  case LSVersionTooOld:
    return "Version is too old";
  case LSNoFile:
    return "No such file";
  case LSAccessDenied:
    return "Access denied";
  case LSDiskError:
    return "Disk error";
  case LSNoEntry:
    return "No entry";
  case LSUnknownError:
    return "Unknown error";
  default:
    // 11 is a gap in the table: no code is ever made from it.
    ReportAssertionFailure("El/QStream/qStream", __LINE__, "LSError");
    return "Unknown error";
  }
}

LSError LSErrorFromSystemError(unsigned long systemError)
{
  switch (systemError)
  {
  case 0:
    return LSOK;
  case 2: // ERROR_FILE_NOT_FOUND
    return LSFileNotFound;
  case 5:  // ERROR_ACCESS_DENIED
  case 19: // ERROR_WRITE_PROTECT
  case 32: // ERROR_SHARING_VIOLATION
  case 33: // ERROR_LOCK_VIOLATION
  case 65: // ERROR_NETWORK_ACCESS_DENIED
    return LSAccessDenied;
  case 23: // ERROR_CRC
  case 29: // ERROR_WRITE_FAULT
  case 30: // ERROR_READ_FAULT
    return LSDiskError;
  case 39: // ERROR_HANDLE_DISK_FULL: reads as "No such file", as it always has
    return LSNoFile;
  default:
    return LSUnknownError;
  }
}
