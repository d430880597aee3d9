#pragma once

#include "Setup/Data/logRecord.hpp"

#include <windows.h>

// The game-list identifier as the system's GUID, both ways.
inline GameListIdentifier IdentifierOfGuid(const GUID &instance)
{
  GameListIdentifier identifier;
  identifier.data1 = instance.Data1;
  identifier.data2 = instance.Data2;
  identifier.data3 = instance.Data3;
  for (int i = 0; i < 8; ++i)
    identifier.data4[i] = instance.Data4[i];
  return identifier;
}

inline GUID GuidOfIdentifier(const GameListIdentifier &identifier)
{
  GUID instance;
  instance.Data1 = identifier.data1;
  instance.Data2 = identifier.data2;
  instance.Data3 = identifier.data3;
  for (int i = 0; i < 8; ++i)
    instance.Data4[i] = identifier.data4[i];
  return instance;
}
