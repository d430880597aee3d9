#pragma once

// The installer's version: in its version resource and in its log file.
#define SETUP_VERSION_NUMBERS 1, 0, 0, 0
#define SETUP_VERSION_STRING "1.0.0.0"
