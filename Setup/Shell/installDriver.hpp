#pragma once

// What the install driver does in a state. States without an action of their
// own (negative ones, gaps in the table, 101 and above) go to the result.
enum class DriverAction
{
  GoToResult,
  StartupChecks,  // 0
  Wizard,         // 1
  ResetCopyCount, // 10
  CopyStep,       // 11
  StopCopy,       // 12
  DirectX,        // 20
  OpenAL,         // 25
  Firewall,       // 28
  StartMenu,      // 30
  Registration,   // 40
  GameExplorer,   // 45
  RunPrograms,    // 48
  WriteLogs,      // 50
  ReportResult    // 100
};

DriverAction ActionOfState(int state);
