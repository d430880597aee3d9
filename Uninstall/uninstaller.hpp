#pragma once

#include "Setup/Install/removalRules.hpp"

#include <string>
#include <vector>

// Takes away what an install log records, from its last record to its
// first, within the rules of removalRules.hpp:
//   F  deletes the file; one inside the install folder only when no folder
//      on its way there is a link (a junction or a symbolic link);
//   D  removes the folder when it is empty;
//   K  deletes the key below the local-machine root when it has no subkeys;
//   C  the same below the classes root, then each parent of the key that is
//      left without values and subkeys (the class key the file type made);
//   U  deletes the value of the current user's key, then the key when
//      nothing is left in it;
//   G  removes the game-list registration, only through the game-list
//      library in the install folder;
//   W  takes the program off the firewall's list;
//   P  nothing.
class CUninstaller
{
public:
  struct Folders
  {
    // The uninstaller's own folder, without trailing backslash.
    std::wstring install;
    // The uninstaller's own file: it cannot delete itself while it runs.
    std::wstring self;
    std::wstring windows;
    // The system's own folders (removalRules.hpp).
    std::vector<std::wstring> protectedFolders;
  };
  explicit CUninstaller(Folders folders);

  void UndoRecords(const std::vector<std::wstring> &records);
  // The product's key in the system's list of installed programs.
  void RemoveUninstallKey(const std::wstring &keyName);

  // What is still there that should not be: files that could not be
  // deleted, records refused by the rules. One line each, for the user.
  const std::vector<std::wstring> &Remaining() const { return _remaining; }
  // Folders recorded for removal that still hold the uninstaller (the install
  // folder and the folders around it), in the order to remove them once it
  // has ended.
  const std::vector<std::wstring> &FoldersAfterExit() const { return _foldersAfterExit; }
  // One line per record and outcome, for the log file.
  const std::vector<std::wstring> &Events() const { return _events; }

private:
  void UndoFile(const std::wstring &path);
  void UndoFolder(const std::wstring &path);
  void UndoKey(bool classesRoot, const std::wstring &key);
  void UndoValue(const std::wstring &text);
  void UndoGameList(const std::wstring &record, const std::wstring &text);
  void UndoFirewall(const std::wstring &path);
  // Whether a path inside the install folder passes through a link on its
  // way from the install folder (the install folder itself included).
  bool PassesThroughLink(const std::wstring &path) const;
  void Refuse(const std::wstring &record, const wchar_t *why);

  Folders _folders;
  std::vector<std::wstring> _remaining;
  std::vector<std::wstring> _foldersAfterExit;
  std::vector<std::wstring> _events;
};
