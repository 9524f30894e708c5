// The end-to-end runner's matcher judged by its own table: each check
// directive against streams it must accept and streams it must refuse, with
// the report it prints. A matcher that lets a wrong stream through would let
// every case pass, so each directive has rows that must fail. Then the case
// lines the parser refuses rather than run in a way that proves nothing.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/runner/case_file.h"
#include "e2e/runner/checks.h"

namespace {

struct CheckRow {
  const char* what;
  const char* checks;    // case lines from line 3 on (lines 1 and 2: PLATFORMS, BRIDGE)
  e2e::Streams streams;  // the streams not named here are empty
  int failures;
  std::vector<std::string> report;  // parts the report holds, in this order; none when it passes
  bool bridge = false;              // BRIDGE: test (an exit status to check) instead of none
  std::optional<int> exit = 0;      // the bridge's exit status; nullopt: it was killed
};

const CheckRow kRows[] = {
    // CHECK-S: in order, each after the previous match.
    {"match: a line holds it", "CHECK-HOST: reloaded 3\n", {{"HOST", {"x", "ReloadJson: reloaded 3 binding(s)"}}}, 0, {}},
    {"match: in order", "CHECK-HOST: a\nCHECK-HOST: b\n", {{"HOST", {"a", "x", "b"}}}, 0, {}},
    {"match: the order reversed", "CHECK-HOST: b\nCHECK-HOST: a\n", {{"HOST", {"a", "b"}}}, 1,
     {"m.case:4: error: CHECK-HOST: expected string not found (scanning from HOST:3)\n", "  expected: a\n",
      "  got:      no such line\n", "--- HOST (2 lines)\n  1: a\n  2: b\n"}},
    {"match: one line does not serve twice", "CHECK-HOST: a\nCHECK-HOST: a\n", {{"HOST", {"a"}}}, 1,
     {"m.case:4: error: CHECK-HOST: expected string not found"}},
    {"match: absent, the nearest line named", "CHECK-ERR: reloaded 4 binding(s)\n",
     {{"ERR", {"noise", "ReloadJson: reloaded 3 binding(s)"}}}, 1,
     {"m.case:3: error: CHECK-ERR: expected string not found (scanning from ERR:1)\n",
      "  got:      ReloadJson: reloaded 3 binding(s)   (possible intended match)\n", "  where:    ERR:2\n",
      "--- ERR (2 lines)\n"}},
    {"match: another stream does not count", "CHECK-OUT: hello\n", {{"HOST", {"hello"}}}, 1,
     {"CHECK-OUT: expected string not found", "--- OUT (0 lines)\n"}},
    {"match: literal text is not a regular expression", "CHECK-HOST: a.c (1)\n", {{"HOST", {"abc 1"}}}, 1,
     {"CHECK-HOST: expected string not found"}},
    {"match: literal special characters", "CHECK-HOST: a.c (1) [x]* $\n", {{"HOST", {"say a.c (1) [x]* $!"}}}, 0, {}},
    {"match: a regular expression", "CHECK-HOST: request {{[12]}}, period {{[0-9]+}},\n",
     {{"HOST", {"request 2, period 40,"}}}, 0, {}},
    {"match: a regular expression that does not match", "CHECK-HOST: request {{[12]}},\n",
     {{"HOST", {"request 3,"}}}, 1, {"expected string not found"}},
    {"match: anchors inside {{...}}", "CHECK-HOST: {{^}}loads{{$}}\n", {{"HOST", {"it loads", "loads "}}}, 1,
     {"expected string not found"}},

    // CHECK-S-NEXT: the line right after the previous match.
    {"next: the following line", "CHECK-RUN: $ tool\nCHECK-RUN-NEXT: exit status 0\n",
     {{"RUN", {"$ tool", "exit status 0"}}}, 0, {}},
    {"next: a line in between", "CHECK-RUN: $ tool\nCHECK-RUN-NEXT: exit status 0\n",
     {{"RUN", {"$ tool", "oops", "exit status 0"}}}, 1,
     {"m.case:4: error: CHECK-RUN-NEXT: the next line does not match\n", "  expected: exit status 0\n",
      "  got:      oops\n", "  where:    RUN:2\n"}},
    {"next: the end of the stream", "CHECK-RUN: $ tool\nCHECK-RUN-NEXT: exit status 0\n", {{"RUN", {"$ tool"}}}, 1,
     {"CHECK-RUN-NEXT: the next line does not match\n", "  got:      the end of the stream\n"}},

    // CHECK-S-NOT: no line of the whole stream.
    {"not: absent", "CHECK-HOST-NOT: BOGUS\n", {{"HOST", {"a", "b"}}}, 0, {}},
    {"not: present", "CHECK-HOST-NOT: BOGUS\n", {{"HOST", {"a", "\"BOGUS\" in \"Bool\"", "c"}}}, 1,
     {"m.case:3: error: CHECK-HOST-NOT: excluded string found\n", "  expected: no line with: BOGUS\n",
      "  got:      \"BOGUS\" in \"Bool\"\n", "  where:    HOST:2\n"}},
    {"not: present before an earlier match", "CHECK-HOST: b\nCHECK-HOST-NOT: a\n", {{"HOST", {"a", "b"}}}, 1,
     {"CHECK-HOST-NOT: excluded string found", "  where:    HOST:1\n"}},
    {"not: present as the last line", "CHECK-LOG-NOT: hid_open_path\n",
     {{"LOG", {"hid_init() = 0", "hid_open_path(\"own/0\") = handle 1"}}}, 1, {"where:    LOG:2\n"}},
    {"not: a regular expression", "CHECK-HOST-NOT: request {{[0-9]+}}\n", {{"HOST", {"request 7"}}}, 1,
     {"excluded string found"}},
    {"not: an empty stream", "CHECK-HOST-NOT: anything\n", {}, 0, {}},

    // CHECK-S-COUNT: exactly N lines.
    {"count: exactly", "CHECK-HOST-COUNT: 2 reloaded\n", {{"HOST", {"reloaded", "x", "reloaded again"}}}, 0, {}},
    {"count: zero", "CHECK-HOST-COUNT: 0 reloaded\n", {{"HOST", {"x"}}}, 0, {}},
    {"count: one too many", "CHECK-HOST-COUNT: 1 reloaded\n", {{"HOST", {"reloaded", "reloaded"}}}, 1,
     {"m.case:3: error: CHECK-HOST-COUNT: wrong number of matching lines\n", "  expected: 1 line with: reloaded\n",
      "  got:      2 lines\n"}},
    {"count: one too few", "CHECK-HOST-COUNT: 2 reloaded\n", {{"HOST", {"reloaded"}}}, 1,
     {"  expected: 2 lines with: reloaded\n", "  got:      1 line\n"}},

    // CHECK-S-EMPTY: no lines at all.
    {"empty: empty", "CHECK-ERR-EMPTY:\n", {{"HOST", {"x"}}}, 0, {}},
    {"empty: one line", "CHECK-ERR-EMPTY:\n", {{"ERR", {"NimbraBridge: a box"}}}, 1,
     {"m.case:3: error: CHECK-ERR-EMPTY: the stream is not empty\n", "  expected: no lines\n",
      "  got:      1 line, the first: NimbraBridge: a box\n", "  where:    ERR:1\n"}},
    {"empty: a blank line is a line", "CHECK-ERR-EMPTY:\n", {{"ERR", {""}}}, 1, {"the stream is not empty"}},

    // CHECK-S-EXACT: together the whole stream, line by line, each line whole.
    {"exact: the whole stream", "CHECK-REPORTS-EXACT: zeros\nCHECK-REPORTS-EXACT: 2=20\n",
     {{"REPORTS", {"zeros", "2=20"}}}, 0, {}},
    {"exact: an extra line", "CHECK-REPORTS-EXACT: zeros\nCHECK-REPORTS-EXACT: 2=20\n",
     {{"REPORTS", {"zeros", "2=20", "zeros"}}}, 1,
     {"m.case:4: error: CHECK-REPORTS-EXACT: the stream differs from the -EXACT lines at its line 3\n",
      "  expected: the end of the stream (2 lines)\n", "  got:      zeros\n", "  where:    REPORTS:3\n"}},
    {"exact: a missing line", "CHECK-REPORTS-EXACT: zeros\nCHECK-REPORTS-EXACT: 2=20\n", {{"REPORTS", {"zeros"}}},
     1,
     {"m.case:4: error: CHECK-REPORTS-EXACT: the stream differs from the -EXACT lines at its line 2\n",
      "  expected: 2=20\n", "  got:      the end of the stream (1 line)\n"}},
    {"exact: a line that only holds it", "CHECK-REPORTS-EXACT: 2=20\n", {{"REPORTS", {"1=01 2=20"}}}, 1,
     {"at its line 1\n", "  got:      1=01 2=20\n"}},
    {"exact: another order", "CHECK-REPORTS-EXACT: zeros\nCHECK-REPORTS-EXACT: 2=20\n",
     {{"REPORTS", {"2=20", "zeros"}}}, 1, {"m.case:3: error: CHECK-REPORTS-EXACT: the stream differs", "at its line 1\n"}},
    {"exact: a whole regular expression", "CHECK-ERR-EXACT: file {{.*}}.json at offset 35.\n",
     {{"ERR", {"file /tmp/x/Velk.json at offset 35."}}}, 0, {}},
    {"exact: a regular expression that matches only a part", "CHECK-ERR-EXACT: {{[0-9]}}\n", {{"ERR", {"a 1"}}}, 1,
     {"at its line 1\n"}},
    {"exact: an empty line", "CHECK-OUT-EXACT:\n", {{"OUT", {""}}}, 0, {}},
    {"exact: an empty stream", "CHECK-OUT-EXACT: x\n", {}, 1, {"  got:      the end of the stream (0 lines)\n"}},

    // CHECK-S-LAST: together the last lines of the stream.
    {"last: the last lines", "CHECK-LOG-LAST: hid_close(handle 1)\nCHECK-LOG-LAST: hid_exit() = 0\n",
     {{"LOG", {"hid_init() = 0", "hid_close(handle 1)", "hid_exit() = 0"}}}, 0, {}},
    {"last: a line after them", "CHECK-LOG-LAST: hid_close(handle 1)\nCHECK-LOG-LAST: hid_exit() = 0\n",
     {{"LOG", {"hid_close(handle 1)", "hid_exit() = 0", "hid_init() = 0"}}}, 1,
     {"m.case:3: error: CHECK-LOG-LAST: the last lines differ from the -LAST lines\n",
      "  expected: hid_close(handle 1)\n", "  got:      hid_exit() = 0\n", "  where:    LOG:2\n"}},
    {"last: the second differs", "CHECK-LOG-LAST: a\nCHECK-LOG-LAST: b\n", {{"LOG", {"a", "c"}}}, 1,
     {"m.case:4: error: CHECK-LOG-LAST: the last lines differ", "  got:      c\n"}},
    {"last: a line that only holds it", "CHECK-REPORTS-LAST: zeros\n", {{"REPORTS", {"zeros and more"}}}, 1,
     {"the last lines differ"}},
    {"last: a shorter stream", "CHECK-LOG-LAST: a\nCHECK-LOG-LAST: b\n", {{"LOG", {"b"}}}, 1,
     {"m.case:3: error: CHECK-LOG-LAST: the stream is shorter than its -LAST lines\n", "  expected: 2 lines\n",
      "  got:      1 line\n"}},
    {"last: an empty stream", "CHECK-LOG-LAST: a\n", {}, 1, {"  got:      an empty stream\n"}},

    // CHECK-EXIT: the bridge's exit status, 0 without the line.
    {"exit: 0 without the line", "", {}, 0, {}, true, 0},
    {"exit: not 0 without the line", "", {}, 1,
     {"error: CHECK-EXIT: the bridge's exit status differs\n", "  expected: 0\n", "  got:      3\n"}, true, 3},
    {"exit: as named", "CHECK-EXIT: 3\n", {}, 0, {}, true, 3},
    {"exit: other than named", "CHECK-EXIT: 3\n", {}, 1, {"m.case:3: error: CHECK-EXIT", "  got:      0\n"}, true, 0},
    {"exit: killed", "", {}, 1, {"  got:      none: it still ran after EXIT-LIMIT and was killed\n"}, true,
     std::nullopt},
    {"exit: no bridge, no status", "", {}, 0, {}, false, std::nullopt},

    // Several failures are each reported, and each stream shown once.
    {"several failures", "CHECK-HOST: a\nCHECK-HOST-NOT: b\nCHECK-ERR-EMPTY:\n",
     {{"HOST", {"b"}}, {"ERR", {"box"}}}, 3,
     {"m.case:3: error: CHECK-HOST:", "m.case:4: error: CHECK-HOST-NOT:", "m.case:5: error: CHECK-ERR-EMPTY:",
      "--- HOST (1 lines)\n  1: b\n--- ERR (1 lines)\n  1: box\n"}},
};

void PrintTo(const CheckRow& row, std::ostream* os) { *os << row.what; }

class ChecksTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(ChecksTest, PassesOrFailsWithItsReport) {
  const CheckRow& row = GetParam();
  const std::string text = std::string("PLATFORMS: linux windows\nBRIDGE: ") + (row.bridge ? "test" : "none") + "\n" +
                           row.checks;
  e2e::Case c;
  std::string error;
  ASSERT_TRUE(e2e::ParseCase(text, "m.case", &c, &error)) << error;
  e2e::Streams streams = row.streams;
  for (const std::string& name : e2e::StreamNames()) streams[name];
  std::ostringstream report;
  EXPECT_EQ(e2e::RunChecks(c, streams, row.exit, report), row.failures) << report.str();
  if (row.report.empty()) {
    EXPECT_EQ(report.str(), "");
  }
  std::size_t at = 0;
  for (const std::string& part : row.report) {
    const std::size_t found = report.str().find(part, at);
    ASSERT_NE(found, std::string::npos) << "missing, in order: " << part << "\nreport:\n" << report.str();
    at = found + part.size();
  }
}

INSTANTIATE_TEST_SUITE_P(Directives, ChecksTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<CheckRow>& info) {
                           std::string name = std::to_string(info.index) + "_";
                           for (const char* p = info.param.what; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

// A line the runner cannot carry out as meant is refused with the case, never
// run: a pattern that matches nothing as meant would pass as a -NOT check
// whatever the stream held, and a wait without its state would wait for
// nothing.
struct RefusedRow {
  const char* line;
  const char* error;  // the start of the parser's message
};

const RefusedRow kRefusedRows[] = {
    {"CHECK-HOST-NOT: a{{b", "m.case:2: malformed CHECK-HOST-NOT: {{ without }}"},
    {"CHECK-HOST-NOT: {{a}} and {{b", "m.case:2: malformed CHECK-HOST-NOT: {{ without }}"},
    {"CHECK-HOST-NOT: {{[}}", "m.case:2: malformed CHECK-HOST-NOT: not a regular expression"},
    {"CHECK-ERR-EXACT: x{{(}}y", "m.case:2: malformed CHECK-ERR-EXACT: not a regular expression"},
    {"CHECK-LOG-COUNT: 2 {{*}}", "m.case:2: malformed CHECK-LOG-COUNT: not a regular expression"},
    {"WAIT-MARKER: 100 Global\\Velk_Throttle_Read", "m.case:2: WAIT-MARKER takes MS NAME held|absent"},
    {"WAIT-MARKER: 100 absent", "m.case:2: WAIT-MARKER takes MS NAME held|absent"},
    {"WAIT-MARKER: 0 Global\\Velk_Throttle_Read absent", "m.case:2: WAIT-MARKER takes MS NAME held|absent"},
};

TEST(CaseFileTest, RefusesLinesThatCannotBeCarriedOutAsMeant) {
  for (const RefusedRow& row : kRefusedRows) {
    e2e::Case c;
    std::string error;
    EXPECT_FALSE(e2e::ParseCase(std::string("PLATFORMS: linux\n") + row.line + "\n", "m.case", &c, &error)) << row.line;
    EXPECT_EQ(error.rfind(row.error, 0), 0u) << row.line << "\n" << error;
  }
}

}  // namespace
