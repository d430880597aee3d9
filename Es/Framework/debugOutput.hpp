#pragma once

// The frame's only contact with the operating system: one finished line of
// text (bytes in the ANSI code page, line feed included) to the debugger
// output on Windows, to standard error elsewhere.
void WriteDebugOutput(const char *line);
