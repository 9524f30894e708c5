// Blinking LEDs on the wire: the reports 36 refreshes send for each rate, for
// rates side by side, for a blinking and a steady entry at one position, and
// with the gate, a reload and the set changing mid-blink; and the
// announcements, which follow the set and not the flashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/unit_session.h"

using namespace testsupport;

namespace {

using Blinking = UnitSession;

// Entry with a Bool condition on A:<variable>, at byte 1, bit `bit`, with
// `blink` as its "Blink" member's value (none when empty).
std::string At(int bit, const std::string& variable, const std::string& blink) {
  return Entry("\"ByteIndex\": 1, \"BitIndex\": " + std::to_string(bit), "A:" + variable + ",Bool",
               blink.empty() ? "" : ", \"Blink\": " + blink);
}

const std::string kGate = Entry("\"ByteIndex\": 0, \"BitIndex\": 0", "A:G,Bool");

// Something done before a refresh: "L1=0" stores a value, "reload" reads
// the same profile again as a reload does.
struct Step {
  int before;
  const char* action;
};

struct Case {
  const char* name;
  std::vector<std::string> entries;
  std::vector<Step> steps;
  // One character per refresh: '.' nothing sent, else byte 1 of the report
  // sent, in hexadecimal; "[..]" what was sent between two refreshes.
  std::string timeline;
  int reports;
};

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST_F(Blinking, ThirtySixRefreshesSendTheseReports) {
  const std::string allSet = "L1=1 L2=1 G=1";
  const Case cases[] = {
      {"3 Hz", {At(0, "L1", "3")}, {}, Repeat("10", 18), 36},
      {"1.5 Hz", {At(0, "L1", "1.5")}, {}, Repeat("1.0.", 9), 18},
      {"true: 1 Hz", {At(0, "L1", "true")}, {}, Repeat("1..0..", 6), 12},
      {"0.75 Hz", {At(0, "L1", "0.75")}, {}, Repeat("1...0...", 4) + "1...", 9},
      {"0.6 Hz", {At(0, "L1", "0.6")}, {}, Repeat("1....0....", 3) + "1....0", 8},
      {"0.5 Hz", {At(0, "L1", "0.5")}, {}, Repeat("1.....0.....", 3), 6},
      {"2 Hz is 1.5 Hz", {At(0, "L1", "2")}, {}, Repeat("1.0.", 9), 18},
      {"an ignored value is steady", {At(0, "L1", "\"fast\"")}, {}, "1" + Repeat(".", 35), 1},
      {"the gate does not blink", {kGate.substr(0, kGate.size() - 1) + ", \"Blink\": 3}", At(0, "L1", "")}, {},
       "1" + Repeat(".", 35), 1},
      {"1.5 Hz and 1 Hz in one phase", {At(0, "L1", "1.5"), At(1, "L2", "1")}, {}, Repeat("3.201.2.310.", 3), 24},
      // The later entry decides the bit; while the two disagree the bit
      // flips twice and the report goes out at every refresh.
      {"blinking, then steady at one position", {At(0, "L1", "1"), At(0, "L2", "")}, {},
       "1..111" + Repeat("...111", 5), 19},
      {"steady, then blinking at one position", {At(0, "L2", ""), At(0, "L1", "1")}, {}, Repeat("1..000", 6), 24},
      // The phase counts on while the gate is closed.
      {"the gate closes lit and opens mid-blink", {kGate, At(0, "L1", "1")}, {{7, "G=0"}, {14, "G=1"}},
       "1..0..10......10.." + Repeat("1..0..", 3), 12},
      {"a reload lit restarts the phase", {At(0, "L1", "1")}, {{2, "reload"}}, "1.[0]" + Repeat("1..0..", 5) + "1..0",
       14},
      {"the set fails and holds mid-blink", {At(0, "L1", "1")}, {{4, "L1=0"}, {7, "L1=1"}, {8, "L1=0"}, {20, "L1=1"}},
       "1..0...10...........10.." + Repeat("1..0..", 2), 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    virtual_unit::Reset();
    virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("unit/0")});
    HidDevice& device = MakeUnit();
    const std::string profile = Profile(c.entries);
    auto store = [&](const std::string& assignments) {
      for (std::size_t at = 0; at < assignments.size();) {
        const std::size_t end = std::min(assignments.find(' ', at), assignments.size());
        const std::string one = assignments.substr(at, end - at);
        const std::string reference = "A:" + one.substr(0, one.find('=')) + ",Bool";
        if (variableRegistry.FindVariable(reference) != nullptr) Set(reference, one.back() == '1' ? 1 : 0);
        at = end + 1;
      }
    };
    Load(profile);
    store(allSet);
    std::string timeline;
    std::size_t seen = 0;
    auto sentSince = [&]() {
      std::string sent;
      const auto reports = virtual_unit::Reports();
      for (; seen < reports.size(); ++seen) {
        const auto& bytes = reports[seen].bytes;
        sent += "0123456789abcdef"[bytes[1] & 0x0F];
        for (std::size_t i = 2; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
        EXPECT_LT(bytes[1], 0x10);
      }
      return sent;
    };
    for (int refresh = 0; refresh < 36; ++refresh) {
      for (const Step& step : c.steps) {
        if (step.before != refresh) continue;
        if (std::string(step.action) == "reload") {
          // As a reload does it; the simulator then sends the values again.
          device.ClearBindings();
          device.AllLedsOff();
          Load(profile);
          store(allSet);
        } else {
          store(step.action);
        }
      }
      const std::string between = sentSince();
      if (!between.empty()) timeline += "[" + between + "]";
      device.RefreshLeds();
      const std::string sent = sentSince();
      EXPECT_LE(sent.size(), 1u) << "refresh " << refresh;
      timeline += sent.empty() ? "." : sent;
    }
    EXPECT_EQ(timeline, c.timeline);
    EXPECT_EQ(virtual_unit::Reports().size(), static_cast<std::size_t>(c.reports));
    unit.reset();
  }
}

TEST_F(Blinking, AnnouncementsFollowTheSetNotTheFlashes) {
  HidDevice& device = MakeUnit();
  device.languageKey = "en";
  device.showBindings = true;
  Load(Profile({kGate, Entry("\"ByteIndex\": 1, \"BitIndex\": 0", "A:L1,Bool", ", \"en\": \"Fire\", \"Blink\": 3")}));
  Set("A:G,Bool", 1);
  Set("A:L1,Bool", 1);
  const std::size_t before = Mark();
  std::vector<std::pair<int, std::string>> steps = {{4, "A:L1,Bool=0"}, {6, "A:L1,Bool=1"}, {9, "A:G,Bool=0"},
                                                    {11, "A:G,Bool=1"}};
  for (int refresh = 0; refresh < 14; ++refresh) {
    for (const auto& [at, assignment] : steps) {
      if (at == refresh) Set(assignment.substr(0, assignment.size() - 2), assignment.back() == '1' ? 1 : 0);
    }
    device.RefreshLeds();
  }
  const std::size_t after = Mark();
  // Lit at 0, out at 4, lit at 6; the gate closes silently at 9 and on
  // opening at 11 the entry is announced again, as a steady one would be.
  std::vector<std::string> texts;
  for (const std::string& line : Described(before, after - before - 1)) {
    if (line.rfind("Text", 0) == 0) texts.push_back(line.substr(line.find('"')));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"\"NimbraBridge|Velk_Throttle: Fire\"",
                                             "\"NimbraBridge|Velk_Throttle: X_Fire_X\"",
                                             "\"NimbraBridge|Velk_Throttle: Fire\"",
                                             "\"NimbraBridge|Velk_Throttle: Fire\""}));
  // The flashes themselves went out: 3 Hz lit and dark at each refresh.
  EXPECT_GT(virtual_unit::Reports().size(), 8u);
  device.ClearBindings();
  device.gateBinding.reset();
}

}  // namespace
