#pragma once

#include "Setup/Script/setupObject.hpp"

#include <string>
#include <vector>

// Runs the script's lines through the command table, one line at a time;
// each command fills the configuration object, and later lines see what
// earlier ones left (the current medium, the log stack, the install folder).
class ScriptParser
{
public:
  explicit ScriptParser(CSetupObject &setup) : _setup(setup) {}

  // False when the line makes the whole parse fail.
  bool RunLine(const std::vector<std::wstring> &fields, const std::wstring &line);

private:
  void Product(const std::vector<std::wstring> &fields);
  bool Medium(const std::vector<std::wstring> &fields);
  void Directory(const std::vector<std::wstring> &fields);
  void File(const std::vector<std::wstring> &fields, bool logged);
  bool TotalSize(const std::vector<std::wstring> &fields);
  void Shortcut(const std::vector<std::wstring> &fields);
  void Unrecognised(const std::vector<std::wstring> &fields);
  // installFolderCommand.cpp
  void InstallFolder(const std::vector<std::wstring> &fields);
  // scriptOptions.cpp
  void Option(const std::vector<std::wstring> &fields);
  // scriptLogs.cpp
  void Log(const std::vector<std::wstring> &fields);
  // scriptPictures.cpp
  void Picture(const std::vector<std::wstring> &fields);

  // The logs a new logged item records itself in.
  std::vector<std::wstring> LogsForItem(bool logged) const;

  CSetupObject &_setup;
};

// Gives each picture the copied byte count from which it is shown: its
// share of totalSize by the weights of the pictures before it.
void PlacePictures(OwnedList<CPictureItem> &pictures, std::int64_t totalSize);

// The install folder a script's I line asks for; the registry value, when
// the line names one that can be read, wins over the kind.
std::wstring InstallFolderOfLine(const std::vector<std::wstring> &fields);
