#include "El/WindowsFirewall/firewall.hpp"

#include "Es/Framework/appFrame.hpp"

#include <memory>

namespace
{
const char *const Source = "El/WindowsFirewall/firewall";

// The class ids are spelled out here: the import library that would provide
// them is one more thing to link for two constants.
const CLSID NetFwMgrClass = {0x304ce942, 0x6e39, 0x40d8, {0x94, 0x3a, 0xb9, 0x13, 0xc4, 0x0c, 0x9c, 0xd4}};
const CLSID NetFwAuthorizedApplicationClass = {
    0xec9846b3, 0x2762, 0x4a6b, {0xa2, 0x14, 0x6a, 0xcb, 0x60, 0x34, 0x62, 0xd2}};

struct ComRelease
{
  void operator()(IUnknown *object) const { object->Release(); }
};
// Owns one reference; every early return then releases what was obtained.
template <class Interface> using ComRef = std::unique_ptr<Interface, ComRelease>;

struct BstrFree
{
  void operator()(OLECHAR *text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;

HRESULT Failed(const char *call, HRESULT result)
{
  LogF("%s failed: 0x%08lx\n", call, static_cast<unsigned long>(result));
  return result;
}

HRESULT CreateInProcess(REFCLSID classId, REFIID interfaceId, void **object)
{
  return CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId, object);
}

HRESULT GetAuthorizedApplications(INetFwProfile *profile, ComRef<INetFwAuthorizedApplications> &applications)
{
  INetFwAuthorizedApplications *raw = nullptr;
  HRESULT result = profile->get_AuthorizedApplications(&raw);
  applications.reset(raw);
  return FAILED(result) ? Failed("get_AuthorizedApplications", result) : result;
}

// The profile's list of authorized applications and the program's path as a
// BSTR: what looking up, adding and removing a program all start from.
HRESULT OpenListFor(INetFwProfile *profile, const wchar_t *path, ComRef<INetFwAuthorizedApplications> &applications,
                    Bstr &imageFileName)
{
  HRESULT result = GetAuthorizedApplications(profile, applications);
  if (FAILED(result))
    return result;
  imageFileName.reset(SysAllocString(path));
  return imageFileName ? S_OK : Failed("SysAllocString", E_OUTOFMEMORY);
}
} // namespace

// The caller cannot go on without the argument; it gets a code it can pass up.
#define FIREWALL_REQUIRE(pointer, answer)                                                                              \
  do                                                                                                                   \
  {                                                                                                                    \
    if (!(pointer))                                                                                                    \
    {                                                                                                                  \
      ReportAssertionFailure(Source, __LINE__, #pointer " != 0");                                                      \
      return answer;                                                                                                   \
    }                                                                                                                  \
  } while (false)

FirewallObjectCreator &FirewallCreateObject()
{
  static FirewallObjectCreator creator = CreateInProcess;
  return creator;
}

HRESULT WindowsFirewallInitialize(INetFwProfile **fwProfile)
{
  FIREWALL_REQUIRE(fwProfile, E_POINTER);
  *fwProfile = nullptr;

  INetFwMgr *rawManager = nullptr;
  HRESULT result = FirewallCreateObject()(NetFwMgrClass, __uuidof(INetFwMgr), reinterpret_cast<void **>(&rawManager));
  ComRef<INetFwMgr> manager(rawManager);
  if (FAILED(result))
    return Failed("CoCreateInstance", result);

  INetFwPolicy *rawPolicy = nullptr;
  result = manager->get_LocalPolicy(&rawPolicy);
  ComRef<INetFwPolicy> policy(rawPolicy);
  if (FAILED(result))
    return Failed("get_LocalPolicy", result);

  result = policy->get_CurrentProfile(fwProfile);
  if (FAILED(result))
  {
    WindowsFirewallCleanup(*fwProfile);
    *fwProfile = nullptr;
    return Failed("get_CurrentProfile", result);
  }
  return result;
}

void WindowsFirewallCleanup(INetFwProfile *fwProfile)
{
  if (fwProfile)
    fwProfile->Release();
}

HRESULT WindowsFirewallAppIsEnabled(INetFwProfile *fwProfile, const wchar_t *fwProcessImageFileName, BOOL *fwAppEnabled)
{
  FIREWALL_REQUIRE(fwProfile, E_POINTER);
  FIREWALL_REQUIRE(fwProcessImageFileName, E_POINTER);
  FIREWALL_REQUIRE(fwAppEnabled, E_POINTER);
  *fwAppEnabled = FALSE;

  ComRef<INetFwAuthorizedApplications> applications;
  Bstr imageFileName;
  HRESULT result = OpenListFor(fwProfile, fwProcessImageFileName, applications, imageFileName);
  if (FAILED(result))
    return result;

  // A program the list does not know makes Item fail: that answers "not enabled".
  INetFwAuthorizedApplication *rawApplication = nullptr;
  HRESULT found = applications->Item(imageFileName.get(), &rawApplication);
  ComRef<INetFwAuthorizedApplication> application(rawApplication);
  if (SUCCEEDED(found) && application)
  {
    VARIANT_BOOL enabled = VARIANT_FALSE;
    result = application->get_Enabled(&enabled);
    if (FAILED(result))
      return Failed("get_Enabled", result);
    *fwAppEnabled = enabled != VARIANT_FALSE;
  }

  if (*fwAppEnabled)
    LogF("Authorized application %ls is enabled in the firewall.\n", fwProcessImageFileName);
  else
    LogF("Authorized application %ls is disabled in the firewall.\n", fwProcessImageFileName);
  return S_OK;
}

HRESULT WindowsFirewallAddApp(INetFwProfile *fwProfile, const wchar_t *fwProcessImageFileName, const wchar_t *fwName)
{
  FIREWALL_REQUIRE(fwProfile, E_POINTER);
  FIREWALL_REQUIRE(fwProcessImageFileName, E_POINTER);
  FIREWALL_REQUIRE(fwName, E_POINTER);

  BOOL enabled = FALSE;
  HRESULT result = WindowsFirewallAppIsEnabled(fwProfile, fwProcessImageFileName, &enabled);
  if (FAILED(result))
    return Failed("WindowsFirewallAppIsEnabled", result);
  if (enabled)
    return S_OK;

  ComRef<INetFwAuthorizedApplications> applications;
  result = GetAuthorizedApplications(fwProfile, applications);
  if (FAILED(result))
    return result;

  INetFwAuthorizedApplication *rawApplication = nullptr;
  result = FirewallCreateObject()(NetFwAuthorizedApplicationClass, __uuidof(INetFwAuthorizedApplication),
                                  reinterpret_cast<void **>(&rawApplication));
  ComRef<INetFwAuthorizedApplication> application(rawApplication);
  if (FAILED(result))
    return Failed("CoCreateInstance", result);

  Bstr imageFileName(SysAllocString(fwProcessImageFileName));
  if (!imageFileName)
    return Failed("SysAllocString", E_OUTOFMEMORY);
  result = application->put_ProcessImageFileName(imageFileName.get());
  if (FAILED(result))
    return Failed("put_ProcessImageFileName", result);

  // The firewall shows the name to the user; an entry without one is refused
  // like one whose name could not be allocated.
  Bstr name(SysAllocString(fwName));
  if (!name || SysStringLen(name.get()) == 0)
    return Failed("SysAllocString", E_OUTOFMEMORY);
  result = application->put_Name(name.get());
  if (FAILED(result))
    return Failed("put_Name", result);

  result = applications->Add(application.get());
  if (FAILED(result))
    return Failed("Add", result);

  LogF("Authorized application %ls is now enabled in the firewall.\n", fwProcessImageFileName);
  return result;
}

HRESULT WindowsFirewallRemoveApp(INetFwProfile *fwProfile, const wchar_t *fwProcessImageFileName)
{
  FIREWALL_REQUIRE(fwProfile, E_POINTER);
  FIREWALL_REQUIRE(fwProcessImageFileName, E_POINTER);

  ComRef<INetFwAuthorizedApplications> applications;
  Bstr imageFileName;
  HRESULT result = OpenListFor(fwProfile, fwProcessImageFileName, applications, imageFileName);
  if (FAILED(result))
    return result;
  result = applications->Remove(imageFileName.get());
  if (FAILED(result))
    return Failed("Remove", result);
  LogF("Authorized application %ls is removed from the firewall.\n", fwProcessImageFileName);
  return result;
}

namespace
{
// Brackets work on the current profile with COM: initialized in apartment
// mode unless the thread already is in another mode (then it is the
// caller's to uninitialize, not ours), the profile released afterwards.
template <class Work> bool WithFirewallProfile(const char *workName, Work work)
{
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (FAILED(initialized) && initialized != RPC_E_CHANGED_MODE)
  {
    Failed("CoInitializeEx", initialized);
    return false;
  }

  INetFwProfile *profile = nullptr;
  HRESULT result = WindowsFirewallInitialize(&profile);
  if (FAILED(result))
    Failed("WindowsFirewallInitialize", result);
  else
  {
    result = work(profile);
    if (FAILED(result))
      Failed(workName, result);
  }

  WindowsFirewallCleanup(profile);
  if (SUCCEEDED(initialized))
    CoUninitialize();
  return SUCCEEDED(result);
}
} // namespace

bool WindowsFirewallAddApplication(const wchar_t *path, const wchar_t *name)
{
  FIREWALL_REQUIRE(path, false);
  FIREWALL_REQUIRE(name, false);
  return WithFirewallProfile("WindowsFirewallAddApp",
                             [&](INetFwProfile *profile) { return WindowsFirewallAddApp(profile, path, name); });
}

bool WindowsFirewallRemoveApplication(const wchar_t *path)
{
  FIREWALL_REQUIRE(path, false);
  return WithFirewallProfile("WindowsFirewallRemoveApp",
                             [&](INetFwProfile *profile) { return WindowsFirewallRemoveApp(profile, path); });
}
