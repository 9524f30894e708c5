// Blinking LEDs: how an entry's "Blink" member becomes a rate the refresh can
// show, and which half of its period an LED is in. The refresh runs six times
// a second, so an LED is lit for a whole number of refreshes and dark for as
// many: 1 to 6 refreshes, 3 Hz down to 0.5 Hz. All blinking LEDs of a device
// count the same refreshes, so that two annunciators flash together.
#pragma once

#include <cstdint>
#include <string>

#include <rapidjson/document.h>

// How the member was read.
enum class BlinkReading {
  Absent,   // no member: steady
  Ignored,  // a value that says no rate (false, 0, negative, not a number): steady
  Exact,    // one of the rates the refresh shows
  Rounded,  // another positive rate, taken to the nearest one shown
};

struct BlinkRate {
  BlinkReading reading = BlinkReading::Absent;
  std::uint8_t halfPeriod = 0;  // refreshes lit, then as many dark; 0: steady
  std::string whyIgnored;       // set when Ignored
  double asked = 0;             // the rate written, when Exact or Rounded
};

// The longest half-period, and a count of refreshes after which every
// half-period from 1 to it starts again in step (twice their least common
// multiple), so that the phase can wrap without a jump.
inline constexpr std::uint8_t kLongestBlinkHalfPeriod = 6;
inline constexpr std::uint32_t kBlinkPhaseCycle = 120;
static_assert([] {
  for (std::uint32_t half = 1; half <= kLongestBlinkHalfPeriod; ++half) {
    if (kBlinkPhaseCycle % (2 * half) != 0) return false;
  }
  return true;
}(), "every blink period must divide the phase cycle");

// `member` is the entry's "Blink" value, or null when it has none.
BlinkRate ReadBlink(const rapidjson::Value* member);

// The rate of a half-period of 1 to 6 refreshes in Hz, and as text, "3" to "0.5".
double BlinkHz(std::uint8_t halfPeriod);
std::string BlinkHzText(std::uint8_t halfPeriod);

// Whether refresh `phase` (counted from 0) falls in the lit half of a
// blinking LED's period; every period starts lit.
inline bool InLitHalf(std::uint32_t phase, std::uint8_t halfPeriod) { return (phase / halfPeriod) % 2 == 0; }
