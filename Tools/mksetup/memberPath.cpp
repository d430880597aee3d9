#include "Tools/mksetup/memberPath.hpp"

#include <cctype>
#include <cstring>

namespace
{
bool IsDeviceName(const std::string &component)
{
  // A device name stays one with any extension: "con.txt" is the console.
  std::string base = component.substr(0, component.find('.'));
  for (char &c : base)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char *const devices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char *device : devices)
    if (base == device)
      return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

const char *ComponentProblem(const std::string &component)
{
  if (component.empty())
    return "it has an empty component";
  if (component == "." || component == "..")
    return "it has a '.' or '..' component";
  if (component.back() == '.' || component.back() == ' ')
    return "a component ends in '.' or ' '";
  for (char c : component)
    if (static_cast<unsigned char>(c) < 0x20)
      return "it holds a control character";
  if (IsDeviceName(component))
    return "a component is a device name";
  return nullptr;
}
} // namespace

bool SplitMemberName(const std::string &name, std::vector<std::string> &components, std::string &reason)
{
  components.clear();
  if (name.empty())
  {
    reason = "the name is empty";
    return false;
  }
  if (name[0] == '\\' || name[0] == '/')
  {
    reason = "the name is absolute";
    return false;
  }
  if (name.find(':') != std::string::npos)
  {
    reason = name.size() >= 2 && name[1] == ':' ? "the name starts with a drive" : "the name holds ':'";
    return false;
  }
  std::size_t start = 0;
  for (;;)
  {
    std::size_t end = name.find_first_of("\\/", start);
    std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (const char *problem = ComponentProblem(component))
    {
      components.clear();
      reason = problem;
      return false;
    }
    components.push_back(std::move(component));
    if (end == std::string::npos)
      return true;
    start = end + 1;
  }
}
