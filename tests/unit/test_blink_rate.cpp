// Reading an LED entry's "Blink" member: every kind of value, the six rates
// the refresh shows, and other rates taken to the nearest of them.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include <rapidjson/document.h>

#include "devices/blink_rate.h"

namespace {

TEST(BlinkRate, EveryValueIsReadAsARateOrAsSteady) {
  const struct {
    const char* json;  // the member's value; empty: no member
    BlinkReading reading;
    int halfPeriod;
  } cases[] = {
      {"", BlinkReading::Absent, 0},         {"true", BlinkReading::Exact, 3},
      {"false", BlinkReading::Ignored, 0},   {"0", BlinkReading::Ignored, 0},
      {"-0.0", BlinkReading::Ignored, 0},    {"-1", BlinkReading::Ignored, 0},
      {"\"2\"", BlinkReading::Ignored, 0},   {"{}", BlinkReading::Ignored, 0},
      {"[1]", BlinkReading::Ignored, 0},     {"null", BlinkReading::Ignored, 0},
      {"3", BlinkReading::Exact, 1},         {"1.5", BlinkReading::Exact, 2},
      {"1", BlinkReading::Exact, 3},         {"1.0", BlinkReading::Exact, 3},
      {"0.75", BlinkReading::Exact, 4},      {"0.6", BlinkReading::Exact, 5},
      {"0.5", BlinkReading::Exact, 6},       {"2", BlinkReading::Rounded, 2},
      {"2.25", BlinkReading::Rounded, 1},  // as near to 3 as to 1.5: the faster
      {"10", BlinkReading::Rounded, 1},      {"1e300", BlinkReading::Rounded, 1},
      {"0.9", BlinkReading::Rounded, 3},     {"0.7", BlinkReading::Rounded, 4},
      {"0.1", BlinkReading::Rounded, 6},     {"1e-300", BlinkReading::Rounded, 6},
      {"4294967296", BlinkReading::Rounded, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    rapidjson::Document value;
    if (*c.json != '\0') {
      value.Parse(c.json);
      ASSERT_FALSE(value.HasParseError());
    }
    const BlinkRate rate = ReadBlink(*c.json == '\0' ? nullptr : &value);
    EXPECT_EQ(rate.reading, c.reading);
    EXPECT_EQ(rate.halfPeriod, c.halfPeriod);
    EXPECT_EQ(rate.whyIgnored.empty(), c.reading != BlinkReading::Ignored);
  }
  // JSON cannot carry these, but a value may hold them.
  for (double odd : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
    rapidjson::Value value(odd);
    EXPECT_EQ(ReadBlink(&value).reading, BlinkReading::Ignored);
  }
  rapidjson::Value infinite(std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadBlink(&infinite).halfPeriod, 1);
}

}  // namespace
