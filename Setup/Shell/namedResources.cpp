#include "Es/Strings/wideText.hpp"
#include "Setup/Script/setupObject.hpp"

std::span<const char> CSetupObject::FindNamedResource(const char *name)
{
  HMODULE module = nullptr;
  if (!resourceModulePath.empty())
  {
    // Loaded once, as data only: its code never runs, and the handle stays
    // for the rest of the run.
    if (!_resourceModuleTried)
    {
      _resourceModuleTried = true;
      _resourceModule = LoadLibraryExW(resourceModulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    module = _resourceModule;
    if (!module)
      return {};
  }
  else
    module = GetModuleHandleW(nullptr);

  std::wstring upper = WideFromUtf8(name);
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  HRSRC resource = FindResourceW(module, upper.c_str(), RT_RCDATA);
  if (!resource)
    return {};
  HGLOBAL loaded = LoadResource(module, resource);
  DWORD size = SizeofResource(module, resource);
  const void *bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes)
    return {};
  return {static_cast<const char *>(bytes), size};
}
