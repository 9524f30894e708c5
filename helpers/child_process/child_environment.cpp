// The clean-environment list and how a child's environment is made from this
// process's: the part both platforms share.
#include <algorithm>
#include <cctype>

#include "child_process.h"

namespace child {
namespace {

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// Windows compares variable names without regard to case.
bool SameName(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
#else
  return a == b;
#endif
}

}  // namespace

const std::vector<std::string>& ClearedVariables() {
  static const std::vector<std::string> names = {
      "SimConnect_Port_IPv4", "SimConnect_Port_IPv6", "XDG_DOCUMENTS_DIR",   "HOME",
      "LD_PRELOAD",           "VIRTUAL_UNIT_SCRIPT",  "VIRTUAL_UNIT_LOG",    "VIRTUAL_UNIT_REPORTS",
      "VIRTUAL_UNIT_PANEL",   "NIMBRA_TEST_BOXES"};
  return names;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& inherited,
                                          const std::vector<std::string>& changes) {
  auto named = [](const std::vector<std::string>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& e) { return SameName(NameOf(e), name); });
  };
  std::vector<std::string> result;
  for (const std::string& entry : inherited) {
    const std::string name = NameOf(entry);
    // Windows keeps per-drive folders as "=C:=C:\..." entries: their name is empty.
    if (!name.empty() && (named(ClearedVariables(), name) || named(changes, name))) continue;
    result.push_back(entry);
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos) result.push_back(change);
  }
  return result;
}

}  // namespace child
