// Reading "Blink": true is 1 Hz, a positive number a rate in Hz taken to the
// nearest rate the six-per-second refresh can show, anything else steady, as
// a member of the wrong type is everywhere in a profile.
#include "devices/blink_rate.h"

#include <cmath>

namespace {

constexpr double kRefreshesPerSecond = 6.0;
constexpr std::uint8_t kOneHertz = 3;

}  // namespace

// A whole period is two halves: 6 refreshes a second / (2 * half) Hz.
double BlinkHz(std::uint8_t halfPeriod) { return kRefreshesPerSecond / (2.0 * halfPeriod); }

BlinkRate ReadBlink(const rapidjson::Value* member) {
  BlinkRate rate;
  if (member == nullptr) return rate;
  rate.reading = BlinkReading::Ignored;
  if (member->IsBool()) {
    if (!member->GetBool()) {
      rate.whyIgnored = "false";
      return rate;
    }
    rate.reading = BlinkReading::Exact;
    rate.halfPeriod = kOneHertz;
    rate.asked = 1.0;
    return rate;
  }
  if (!member->IsNumber()) {
    rate.whyIgnored = "not true or a number";
    return rate;
  }
  const double hz = member->GetDouble();
  if (!(hz > 0)) {  // NaN too
    rate.whyIgnored = "not a positive rate";
    return rate;
  }
  // The nearest rate; of two as near, the faster.
  std::uint8_t best = 1;
  for (std::uint8_t half = 2; half <= kLongestBlinkHalfPeriod; ++half) {
    if (std::fabs(hz - BlinkHz(half)) < std::fabs(hz - BlinkHz(best))) best = half;
  }
  rate.halfPeriod = best;
  rate.asked = hz;
  // A rate written as a decimal may read back a bit off its exact value.
  rate.reading = std::fabs(hz - BlinkHz(best)) <= 1e-9 * BlinkHz(best) ? BlinkReading::Exact : BlinkReading::Rounded;
  return rate;
}

std::string BlinkHzText(std::uint8_t halfPeriod) {
  static const char* const kTexts[] = {"steady", "3", "1.5", "1", "0.75", "0.6", "0.5"};
  return halfPeriod <= kLongestBlinkHalfPeriod ? kTexts[halfPeriod] : "?";
}
