#pragma once

#include <string>

// The run's log file (/LOG=<file>): one UTF-8 line per event, each with its
// time stamp, ended by CR LF. Every line goes out in one append of its own,
// so the copy worker's library messages and the main thread's events never
// mix within a line, and no lock is shared for it.
class RunLog
{
public:
  // Creates (or empties) the file; false when it cannot be had.
  static bool Open(const std::wstring &path);
  static bool IsOpen();
  // Writes "YYYY-MM-DD hh:mm:ss.mmm text"; nothing when no log is open.
  static void Write(const std::wstring &text);
  // The error and log frame's messages go to the log as well.
  static void CaptureLogFrame();
  static void Close();
};
