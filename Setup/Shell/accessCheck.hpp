#pragma once

// Whether this process may write the program-files folder (FILE_GENERIC_WRITE)
// and the local-machine key "SOFTWARE" (KEY_WRITE), by the system's access
// check against each one's security descriptor. Any failing call is a no.
bool HasInstallAccess();

// Whether installed memory of that many bytes, in megabytes rounded up, is
// below the 64 MB the installer asks for.
bool IsMemoryShort(unsigned long long physicalBytes);
