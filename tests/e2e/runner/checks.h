// The check language of the case files, FileCheck's way: a check names a
// stream of lines (what simhost showed, the boxes, the unit's reports, ...)
// and a pattern; a failure says where the check is, what it expected and
// what the stream held instead.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "case_file.h"

namespace e2e {

using Streams = std::map<std::string, std::vector<std::string>>;

// True when `line` holds `pattern`: literal text in which {{...}} is a
// regular expression (ECMAScript). Whole: the line must be nothing else.
bool Matches(const std::string& pattern, const std::string& line, bool whole = false);

// Why `pattern` can match nothing as meant (a {{ without its }}, a regular
// expression that does not compile), or nullopt. The case file's parser
// refuses such a check, so that a -NOT check cannot pass for it.
std::optional<std::string> PatternError(const std::string& pattern);

// Runs every check of `c` on `streams`, and its CHECK-EXIT on `exitStatus`
// (nullopt: the bridge did not end and was killed; none with BRIDGE: none); writes one report per
// failure to `report` and returns how many checks failed.
int RunChecks(const Case& c, const Streams& streams, std::optional<int> exitStatus, std::ostream& report);

}  // namespace e2e
