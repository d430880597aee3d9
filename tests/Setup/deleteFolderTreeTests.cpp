#include "Setup/Install/deleteFolderTree.hpp"

#include "tests/support/tempFolder.hpp"

#include <windows.h>

#include <winioctl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace
{
// The attributes of the entry itself as its folder lists it; under Wine this
// also sees a link whose target is gone.
DWORD EntryAttributes(const fs::path &path)
{
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return INVALID_FILE_ATTRIBUTES;
  FindClose(search);
  return found.dwFileAttributes;
}

bool IsLink(const fs::path &path)
{
  DWORD attributes = EntryAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A junction: a mount-point reparse point (REPARSE_DATA_BUFFER) on an empty
// folder.
bool MakeJunction(const fs::path &link, const fs::path &target)
{
  if (!CreateDirectoryW(link.c_str(), nullptr))
    return false;
  HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE)
    return false;
  std::wstring names = L"\\??\\" + target.wstring() + L'\0' + target.wstring() + L'\0';
  struct
  {
    DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    WORD dataLength, reserved = 0, substituteOffset = 0, substituteLength, printOffset, printLength;
    wchar_t names[2 * MAX_PATH + 8];
  } data;
  data.substituteLength = static_cast<WORD>((target.wstring().size() + 4) * sizeof(wchar_t));
  data.printOffset = static_cast<WORD>(data.substituteLength + sizeof(wchar_t));
  data.printLength = static_cast<WORD>(target.wstring().size() * sizeof(wchar_t));
  data.dataLength = static_cast<WORD>(8 + names.size() * sizeof(wchar_t));
  std::memcpy(data.names, names.data(), names.size() * sizeof(wchar_t));
  DWORD returned = 0;
  BOOL made =
      DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &data, 8 + data.dataLength, nullptr, 0, &returned, nullptr);
  CloseHandle(folder);
  return made && IsLink(link);
}

// Runs a host program (Wine starts those too) in folder, then waits until
// done() holds: the handle of a host process need not wait for its end.
template <class Done> void RunOnHost(std::wstring commandLine, const fs::path &folder, Done done)
{
  std::wstring program = L"Z:" + commandLine.substr(0, commandLine.find(L' '));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &process))
    return;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 100 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

class DeleteFolderTreeTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    // No Windows call removes a host link under Wine, and the temporary
    // folder's own cleanup would walk through it.
    if (!hostLink.empty())
      RunOnHost(L"/bin/rm -f \"" + hostLink.filename().wstring() + L"\"", hostLink.parent_path(),
                [this] { return EntryAttributes(hostLink) == INVALID_FILE_ATTRIBUTES; });
  }

  fs::path Tree() const { return folder.Path() / "tree"; }

  // tree\top.txt, tree\a\b\deep.txt, tree\empty
  void Fill()
  {
    fs::create_directories(Tree() / "a" / "b");
    fs::create_directories(Tree() / "empty");
    folder.Write("tree\\top.txt", "top");
    folder.Write("tree\\a\\b\\deep.txt", "deep");
  }

  // A link to the folder target\ (holding keep.txt) at link: a symbolic
  // link, else a junction, else (under Wine, which makes neither but shows
  // a host link to a folder as a reparse point) a host link. False when
  // none can be had.
  bool MakeLink(const fs::path &link)
  {
    fs::path target = folder.Path() / "target";
    fs::create_directories(target);
    folder.Write("target\\keep.txt", "keep");
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        IsLink(link))
      return true;
    std::error_code ignored;
    fs::remove(link, ignored);
    if (MakeJunction(link, target))
      return true;
    fs::remove(link, ignored);
    std::wstring relative = target.lexically_relative(link.parent_path()).generic_wstring();
    RunOnHost(L"/bin/ln -s \"" + relative + L"\" \"" + link.filename().wstring() + L"\"", link.parent_path(),
              [&link] { return IsLink(link); });
    if (!IsLink(link))
      return false;
    hostLink = link;
    return true;
  }

  TempFolder folder;
  fs::path hostLink;
};
} // namespace

TEST_F(DeleteFolderTreeTest, RemovesReadOnlyFilesNestedFoldersAndTheFolderItself)
{
  Fill();
  for (const fs::path &path : {Tree() / "top.txt", Tree() / "a" / "b" / "deep.txt", Tree() / "a", Tree()})
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_READONLY));
  DeleteFolderTree(Tree().wstring() + L"\\", true);
  EXPECT_FALSE(fs::exists(Tree()));
}

TEST_F(DeleteFolderTreeTest, KeepsTheFolderEmptyWhenNotToRemoveItself)
{
  Fill();
  DeleteFolderTree(Tree().wstring(), false);
  ASSERT_TRUE(fs::is_directory(Tree()));
  EXPECT_TRUE(fs::is_empty(Tree()));
}

TEST_F(DeleteFolderTreeTest, EmptyPathDoesNothing)
{
  Fill();
  // Appending "\*.*" to "" would name the root of the current drive.
  fs::path sentinel = fs::path(L"C:\\") / (folder.Path().filename().wstring() + L"-sentinel.txt");
  std::ofstream(sentinel) << "stay";
  fs::path saved = fs::current_path();
  fs::current_path(Tree());
  DeleteFolderTree(L"", true);
  fs::current_path(saved);
  EXPECT_TRUE(fs::exists(sentinel));
  EXPECT_TRUE(fs::exists(Tree() / "top.txt"));
  fs::remove(sentinel);
}

TEST_F(DeleteFolderTreeTest, LinkInsideIsNotFollowedIntoItsTarget)
{
  Fill();
  if (!MakeLink(Tree() / "link"))
    GTEST_SKIP() << "this system makes neither symbolic links nor junctions for this process";
  DeleteFolderTree(Tree().wstring(), true);
  EXPECT_EQ(TempFolder::Read(folder.File("target\\keep.txt")), "keep");
  EXPECT_FALSE(fs::exists(Tree() / "top.txt"));
  // A host link stays (see TearDown), and with it the tree.
  if (hostLink.empty())
  {
    EXPECT_EQ(EntryAttributes(Tree()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(DeleteFolderTreeTest, FolderThatIsALinkIsNotEmptied)
{
  if (!MakeLink(Tree()))
    GTEST_SKIP() << "this system makes neither symbolic links nor junctions for this process";
  DeleteFolderTree(Tree().wstring(), false);
  EXPECT_EQ(TempFolder::Read(folder.File("target\\keep.txt")), "keep");
}
