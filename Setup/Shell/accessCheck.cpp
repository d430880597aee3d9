#include "Setup/Shell/accessCheck.hpp"

#include <windows.h>

#include <shlobj.h>

#include <vector>

namespace
{
// Owns a handle that CloseHandle releases.
class TokenHandle
{
public:
  TokenHandle() = default;
  TokenHandle(const TokenHandle &) = delete;
  TokenHandle &operator=(const TokenHandle &) = delete;
  ~TokenHandle()
  {
    if (_handle != nullptr)
      CloseHandle(_handle);
  }
  HANDLE *Receive() { return &_handle; }
  HANDLE Get() const { return _handle; }

private:
  HANDLE _handle = nullptr;
};

// The token of this thread while it impersonates the process: AccessCheck
// wants an impersonation token, the process token is a primary one.
bool TakeImpersonationToken(TokenHandle &token)
{
  if (!ImpersonateSelf(SecurityImpersonation))
    return false;
  bool opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.Receive()) != FALSE;
  // Reverting must happen whatever the open did: the thread must not stay
  // impersonating.
  bool reverted = RevertToSelf() != FALSE;
  return opened && reverted;
}

constexpr SECURITY_INFORMATION DescriptorParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// Security descriptors live in a buffer of pointer-aligned words: the system
// reads pointers out of an absolute descriptor.
using DescriptorBuffer = std::vector<ULONG_PTR>;

PSECURITY_DESCRIPTOR DescriptorOf(DescriptorBuffer &buffer) { return buffer.empty() ? nullptr : buffer.data(); }

void SizeFor(DescriptorBuffer &buffer, DWORD bytes)
{
  buffer.resize((bytes + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR));
}

bool Granted(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desired, GENERIC_MAPPING mapping)
{
  MapGenericMask(&desired, &mapping);
  // Room for the privileges the check may report as used.
  union
  {
    PRIVILEGE_SET set;
    BYTE bytes[sizeof(PRIVILEGE_SET) + 16 * sizeof(LUID_AND_ATTRIBUTES)];
  } privileges{};
  DWORD privilegesLength = sizeof privileges;
  DWORD granted = 0;
  BOOL status = FALSE;
  if (!AccessCheck(descriptor, token, desired, &mapping, &privileges.set, &privilegesLength, &granted, &status))
    return false;
  return status != FALSE;
}

bool MayWriteProgramFiles(HANDLE token)
{
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return false;
  DWORD needed = 0;
  GetFileSecurityW(folder, DescriptorParts, nullptr, 0, &needed);
  if (needed == 0)
    return false;
  DescriptorBuffer buffer;
  SizeFor(buffer, needed);
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR));
  if (!GetFileSecurityW(folder, DescriptorParts, DescriptorOf(buffer), size, &needed))
    return false;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  return Granted(DescriptorOf(buffer), token, FILE_GENERIC_WRITE, mapping);
}

bool MayWriteSoftwareKey(HANDLE token)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  bool granted = false;
  DWORD size = 0;
  if (RegGetKeySecurity(key, DescriptorParts, nullptr, &size) == ERROR_INSUFFICIENT_BUFFER && size > 0)
  {
    DescriptorBuffer buffer;
    SizeFor(buffer, size);
    size = static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR));
    if (RegGetKeySecurity(key, DescriptorParts, DescriptorOf(buffer), &size) == ERROR_SUCCESS)
    {
      GENERIC_MAPPING mapping{KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
      granted = Granted(DescriptorOf(buffer), token, KEY_WRITE, mapping);
    }
  }
  RegCloseKey(key);
  return granted;
}
} // namespace

bool HasInstallAccess()
{
  TokenHandle token;
  if (!TakeImpersonationToken(token))
    return false;
  return MayWriteProgramFiles(token.Get()) && MayWriteSoftwareKey(token.Get());
}

bool IsMemoryShort(unsigned long long physicalBytes)
{
  constexpr unsigned long long RequiredMegabytes = 64;
  // Rounded up without adding first, so the largest counts cannot wrap round
  // to a small number.
  unsigned long long megabytes = (physicalBytes >> 20) + ((physicalBytes & 0xFFFFF) != 0 ? 1 : 0);
  return megabytes < RequiredMegabytes;
}
