#pragma once

#include <netfw.h>
#include <windows.h>

// Puts a program on the Windows Firewall's list of authorized applications,
// so that the game it installs may accept network connections without the
// user being asked on its first start.
//
// Every step that fails is logged through the application frame as
// "<call> failed: 0x%08lx" and its code is returned; the operations never stop
// the program. A null pointer argument is reported as an assertion failure
// ("fwProfile != 0" and the like) and answered with E_POINTER. COM must be
// initialized on the calling thread, except for WindowsFirewallAddApplication.

// How the two firewall objects (the manager and a new authorized application)
// are created: the default is CoCreateInstance, in-process. Replaceable so a
// test can hand out objects of its own; restore the previous one afterwards.
using FirewallObjectCreator = HRESULT (*)(REFCLSID classId, REFIID interfaceId, void **object);
FirewallObjectCreator &FirewallCreateObject();

// Opens the firewall's current profile. On success *fwProfile holds it and the
// caller owns it (WindowsFirewallCleanup); on failure *fwProfile is null.
HRESULT WindowsFirewallInitialize(INetFwProfile **fwProfile);

// Releases a profile from WindowsFirewallInitialize; null is allowed.
void WindowsFirewallCleanup(INetFwProfile *fwProfile);

// Answers in *fwAppEnabled whether the program with this full path is on the
// profile's list and enabled there. A program not on the list is not an
// error: S_OK and FALSE. *fwAppEnabled is FALSE whenever the call fails.
HRESULT WindowsFirewallAppIsEnabled(INetFwProfile *fwProfile, const wchar_t *fwProcessImageFileName,
                                    BOOL *fwAppEnabled);

// Adds the program with this full path to the profile's list, shown to the
// user as fwName, unless it is enabled there already (S_OK, nothing added).
// An empty name is refused as E_OUTOFMEMORY, as a name that could not be
// allocated is.
HRESULT WindowsFirewallAddApp(INetFwProfile *fwProfile, const wchar_t *fwProcessImageFileName, const wchar_t *fwName);

// The whole job for the installer: initializes COM on this thread (a thread
// already in another apartment model is used as it is), opens the current
// profile and adds the program. True when the program is on the list now.
// A null path or name is reported and answered with false.
bool WindowsFirewallAddApplication(const wchar_t *path, const wchar_t *name);

// Takes the program off the profile's list of authorized applications.
// Every failure is logged ("Remove failed: 0x%08lx\n" for the removal
// itself); success is logged as "Authorized application %ls is removed from
// the firewall.\n".
HRESULT WindowsFirewallRemoveApp(INetFwProfile *fwProfile, const wchar_t *fwProcessImageFileName);

// The uninstaller's whole job, bracketed as WindowsFirewallAddApplication
// is. True when the removal succeeded.
bool WindowsFirewallRemoveApplication(const wchar_t *path);
