#include "Setup/System/prerequisiteRules.hpp"

int DirectXResultAfter(int result, int setupResult)
{
  if (setupResult < 0)
    return -2;
  if (setupResult > 0 && result == 0)
    return -1;
  return result;
}

OpenALMessage OpenALMessageFor(InstallerStart start, long exitCode)
{
  if (start == InstallerStart::Missing)
    return {L"SETUP_STR_OPEN_AL_ERROR_PATH", {}};
  if (start == InstallerStart::Failed || exitCode < 0)
    return {L"SETUP_STR_OPEN_AL_ERROR", {}};
  switch (exitCode)
  {
  case 0:
    return {};
  case 1:
    return {L"SETUP_STR_OPEN_AL_REBOOT", {}};
  case 2:
    return {L"SETUP_STR_OPEN_AL_ACCESS_DENIED", {}};
  default:
    return {{}, L"Unable to install OpenAL.\nReturned value was: " + std::to_wstring(exitCode)};
  }
}
