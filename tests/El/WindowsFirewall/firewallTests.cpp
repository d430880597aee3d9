// The firewall steps against fake COM objects that record what they are given
// and fail on request, and the installer's entry against the objects of Wine.
#include "El/WindowsFirewall/firewall.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace
{
const wchar_t *const Path = L"C:\\Games\\Game\\game.exe";
const CLSID ManagerClass = {0x304ce942, 0x6e39, 0x40d8, {0x94, 0x3a, 0xb9, 0x13, 0xc4, 0x0c, 0x9c, 0xd4}};
const CLSID ApplicationClass = {0xec9846b3, 0x2762, 0x4a6b, {0xa2, 0x14, 0x6a, 0xcb, 0x60, 0x34, 0x62, 0xd2}};

// The calls that answer E_FAIL in the current test.
struct Failures
{
  bool authorizedApplications, enabled, create, imageFileName, name, add;
};
Failures failing{};
HRESULT Answer(bool fails) { return fails ? E_FAIL : S_OK; }

// COM objects go away through Release, never through a pointer to the
// interface, which therefore has no virtual destructor to inherit.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// clang-format off
#define NOT_CALLED(method, ...) HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }

// Counts references so a test can see every one handed out come back.
template <class Interface> class Fake : public Interface
{
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  NOT_CALLED(GetTypeInfoCount, UINT *) NOT_CALLED(GetTypeInfo, UINT, LCID, ITypeInfo **)
  NOT_CALLED(GetIDsOfNames, REFIID, LPOLESTR *, UINT, LCID, DISPID *)
  NOT_CALLED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *)
  Interface *Handed() { AddRef(); return this; }
  ULONG references = 1;
};

class FakeApplication : public Fake<INetFwAuthorizedApplication>
{
public:
  HRESULT STDMETHODCALLTYPE put_ProcessImageFileName(BSTR text) override { imageFileName = text; return Answer(failing.imageFileName); }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR text) override { name = text; return Answer(failing.name); }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL *value) override { *value = enabled; return Answer(failing.enabled); }
  NOT_CALLED(get_Name, BSTR *) NOT_CALLED(get_ProcessImageFileName, BSTR *) NOT_CALLED(put_Enabled, VARIANT_BOOL)
  NOT_CALLED(get_IpVersion, NET_FW_IP_VERSION *) NOT_CALLED(put_IpVersion, NET_FW_IP_VERSION)
  NOT_CALLED(get_Scope, NET_FW_SCOPE *) NOT_CALLED(put_Scope, NET_FW_SCOPE)
  NOT_CALLED(get_RemoteAddresses, BSTR *) NOT_CALLED(put_RemoteAddresses, BSTR)
  VARIANT_BOOL enabled = VARIANT_FALSE;
  std::wstring imageFileName, name;
};

class FakeApplications : public Fake<INetFwAuthorizedApplications>
{
public:
  HRESULT STDMETHODCALLTYPE Item(BSTR imageFileName, INetFwAuthorizedApplication **app) override
  {
    lookedUp = imageFileName;
    *app = listed ? listed->Handed() : nullptr;
    return listed ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication *app) override { added = app; return Answer(failing.add); }
  HRESULT STDMETHODCALLTYPE Remove(BSTR imageFileName) override { removed = imageFileName; return Answer(failing.add); }
  NOT_CALLED(get_Count, LONG *) NOT_CALLED(get__NewEnum, IUnknown **)
  std::wstring removed;
  FakeApplication *listed = nullptr;
  std::wstring lookedUp;
  INetFwAuthorizedApplication *added = nullptr;
};

class FakeProfile : public Fake<INetFwProfile>
{
public:
  HRESULT STDMETHODCALLTYPE get_AuthorizedApplications(INetFwAuthorizedApplications **apps) override
  {
    *apps = failing.authorizedApplications ? nullptr : applications.Handed();
    return Answer(failing.authorizedApplications);
  }
  NOT_CALLED(get_Type, NET_FW_PROFILE_TYPE *)
  NOT_CALLED(get_FirewallEnabled, VARIANT_BOOL *) NOT_CALLED(put_FirewallEnabled, VARIANT_BOOL)
  NOT_CALLED(get_ExceptionsNotAllowed, VARIANT_BOOL *) NOT_CALLED(put_ExceptionsNotAllowed, VARIANT_BOOL)
  NOT_CALLED(get_NotificationsDisabled, VARIANT_BOOL *) NOT_CALLED(put_NotificationsDisabled, VARIANT_BOOL)
  NOT_CALLED(get_UnicastResponsesToMulticastBroadcastDisabled, VARIANT_BOOL *)
  NOT_CALLED(put_UnicastResponsesToMulticastBroadcastDisabled, VARIANT_BOOL)
  NOT_CALLED(get_RemoteAdminSettings, INetFwRemoteAdminSettings **) NOT_CALLED(get_IcmpSettings, INetFwIcmpSettings **)
  NOT_CALLED(get_GloballyOpenPorts, INetFwOpenPorts **) NOT_CALLED(get_Services, INetFwServices **)
  FakeApplications applications;
};
// clang-format on
#pragma GCC diagnostic pop

class FirewallTest : public testing::Test
{
protected:
  static HRESULT Create(REFCLSID classId, REFIID interfaceId, void **object)
  {
    createdClass = classId;
    createdInterface = interfaceId;
    *object = failing.create ? nullptr : created->Handed();
    return Answer(failing.create);
  }
  void SetUp() override
  {
    failing = {};
    created = &fresh;
    previous = std::exchange(FirewallCreateObject(), Create);
  }
  void TearDown() override
  {
    FirewallCreateObject() = previous;
    for (ULONG references : {profile.references, profile.applications.references, fresh.references, listed.references})
      EXPECT_EQ(references, 1u);
  }
  HRESULT AddApp(const wchar_t *name = L"Game") { return WindowsFirewallAddApp(&profile, Path, name); }

  static inline FakeApplication *created = nullptr;
  static inline GUID createdClass{}, createdInterface{};
  FirewallObjectCreator previous = nullptr;
  FakeProfile profile;
  FakeApplication fresh, listed;
  CapturingFrame log;
};

TEST_F(FirewallTest, AnEnabledProgramIsLeftAsItIs)
{
  listed.enabled = VARIANT_TRUE;
  profile.applications.listed = &listed;
  EXPECT_EQ(AddApp(), S_OK);
  EXPECT_EQ(profile.applications.lookedUp, Path);
  EXPECT_EQ(profile.applications.added, nullptr);
  EXPECT_EQ(log.lines,
            std::vector<std::string>{"Authorized application C:\\Games\\Game\\game.exe is enabled in the firewall.\n"});
}

TEST_F(FirewallTest, AnUnlistedProgramIsAddedUnderItsName)
{
  EXPECT_EQ(AddApp(), S_OK);
  EXPECT_EQ(profile.applications.added, &fresh);
  EXPECT_TRUE(createdClass == ApplicationClass && createdInterface == __uuidof(INetFwAuthorizedApplication));
  EXPECT_EQ(fresh.imageFileName, Path);
  EXPECT_EQ(fresh.name, L"Game");
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "Authorized application C:\\Games\\Game\\game.exe is disabled in the firewall.\n",
                           "Authorized application C:\\Games\\Game\\game.exe is now enabled in the firewall.\n"}));
}

TEST_F(FirewallTest, RemovalTakesTheProgramOffTheListAndLogsAFailure)
{
  EXPECT_EQ(WindowsFirewallRemoveApp(&profile, Path), S_OK);
  EXPECT_EQ(profile.applications.removed, Path);
  EXPECT_TRUE(log.Contains("Authorized application C:\\Games\\Game\\game.exe is removed from the firewall.\n"));
  failing.add = true;
  EXPECT_EQ(WindowsFirewallRemoveApp(&profile, Path), E_FAIL);
  EXPECT_TRUE(log.Contains("Remove failed: 0x80004005\n"));
}

TEST_F(FirewallTest, AnEmptyNameIsRefusedAsAnAllocationFailure)
{
  EXPECT_EQ(AddApp(L""), static_cast<HRESULT>(0x8007000E));
  EXPECT_TRUE(log.Contains("SysAllocString failed: 0x8007000e\n"));
  EXPECT_EQ(profile.applications.added, nullptr);
}

TEST_F(FirewallTest, EachFailingCallIsLoggedAndPassedUp)
{
  const std::pair<bool Failures::*, const char *> calls[] = {
      {&Failures::authorizedApplications, "get_AuthorizedApplications failed: 0x80004005\n"},
      {&Failures::enabled, "get_Enabled failed: 0x80004005\n"},
      {&Failures::create, "CoCreateInstance failed: 0x80004005\n"},
      {&Failures::imageFileName, "put_ProcessImageFileName failed: 0x80004005\n"},
      {&Failures::name, "put_Name failed: 0x80004005\n"},
      {&Failures::add, "Add failed: 0x80004005\n"},
  };
  profile.applications.listed = &listed; // listed but disabled: every step runs
  for (const auto &[call, line] : calls)
  {
    SCOPED_TRACE(line);
    failing = {};
    failing.*call = true;
    log.lines.clear();
    EXPECT_EQ(AddApp(), E_FAIL);
    EXPECT_TRUE(log.Contains(line));
    bool duringLookup = call == &Failures::authorizedApplications || call == &Failures::enabled;
    EXPECT_EQ(log.Contains("WindowsFirewallAppIsEnabled failed: 0x80004005\n"), duringLookup);
    EXPECT_FALSE(log.Contains("now enabled"));
  }
}

TEST_F(FirewallTest, AManagerThatCannotBeCreatedFailsTheWholeJob)
{
  failing.create = true;
  EXPECT_FALSE(WindowsFirewallAddApplication(Path, L"Game"));
  EXPECT_TRUE(createdClass == ManagerClass && createdInterface == __uuidof(INetFwMgr));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"CoCreateInstance failed: 0x80004005\n",
                                                 "WindowsFirewallInitialize failed: 0x80004005\n"}));
}

TEST_F(FirewallTest, NullPointersAreReportedAndAnsweredWithEPointer)
{
  BOOL enabled = FALSE;
  const std::pair<std::function<HRESULT()>, std::string> calls[] = {
      {[] { return WindowsFirewallInitialize(nullptr); }, "fwProfile != 0"},
      {[&] { return WindowsFirewallAppIsEnabled(nullptr, Path, &enabled); }, "fwProfile != 0"},
      {[&] { return WindowsFirewallAppIsEnabled(&profile, nullptr, &enabled); }, "fwProcessImageFileName != 0"},
      {[&] { return WindowsFirewallAppIsEnabled(&profile, Path, nullptr); }, "fwAppEnabled != 0"},
      {[&] { return WindowsFirewallAddApp(nullptr, Path, L"Game"); }, "fwProfile != 0"},
      {[&] { return WindowsFirewallAddApp(&profile, nullptr, L"Game"); }, "fwProcessImageFileName != 0"},
      {[&] { return WindowsFirewallAddApp(&profile, Path, nullptr); }, "fwName != 0"},
  };
  for (const auto &[call, condition] : calls)
  {
    SCOPED_TRACE(condition);
    log.lines.clear();
    EXPECT_EQ(call(), E_POINTER);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        log.lines[0], std::regex(R"(El/WindowsFirewall/firewall\(\d+\) : Assertion failed ')" + condition + "'\n?")));
  }
}

// Wine's firewall objects answer every call with success.
TEST(FirewallSystemTest, TheInstallerEntryAddsThroughTheSystemObjects)
{
  CapturingFrame log;
  EXPECT_TRUE(WindowsFirewallAddApplication(L"C:\\windows\\notepad.exe", L"Notepad"));
  EXPECT_TRUE(log.Contains("Authorized application C:\\windows\\notepad.exe is now enabled in the firewall.\n"));
  EXPECT_TRUE(WindowsFirewallRemoveApplication(L"C:\\windows\\notepad.exe"));
}
} // namespace
