// What a child started by the launcher inherits: none of the variables that
// could point a bridge under test at another simulator, SimConnect.cfg or
// unit, and the starter's own settings in their place.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process.h"

namespace {

using Env = std::vector<std::string>;

TEST(ChildEnvironment, LeavesOutEveryClearedVariable) {
  Env inherited = {"PATH=/usr/bin"};
  for (const std::string& name : child::ClearedVariables()) inherited.push_back(name + "=from the runner");
  EXPECT_EQ(child::ChildEnvironment(inherited, {}), Env({"PATH=/usr/bin"}));
  for (const char* name : {"XDG_DOCUMENTS_DIR", "HOME", "SimConnect_Port_IPv4", "SimConnect_Port_IPv6", "LD_PRELOAD",
                           "VIRTUAL_UNIT_SCRIPT", "NIMBRA_TEST_BOXES"}) {
    EXPECT_NE(std::find(child::ClearedVariables().begin(), child::ClearedVariables().end(), name),
              child::ClearedVariables().end())
        << name;
  }
}

TEST(ChildEnvironment, ChangesReplaceAddAndRemove) {
  const struct {
    Env inherited, changes, expected;
  } cases[] = {
      {{"PATH=/bin", "LANG=C"}, {"LANG=en"}, {"PATH=/bin", "LANG=en"}},         // replaced, once
      {{"PATH=/bin"}, {"HOME=/work"}, {"PATH=/bin", "HOME=/work"}},             // a cleared one set again
      {{"PATH=/bin", "LANG=C"}, {"LANG"}, {"PATH=/bin"}},                       // a bare name leaves it out
      {{"PATH=/bin", "PATHX=1"}, {"PATH=/sbin"}, {"PATHX=1", "PATH=/sbin"}},    // the whole name counts
      {{"A=1=2"}, {}, {"A=1=2"}},                                               // values may hold '='
  };
  for (const auto& c : cases) EXPECT_EQ(child::ChildEnvironment(c.inherited, c.changes), c.expected);
}

}  // namespace
