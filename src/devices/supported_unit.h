// The one unit the bridge drives: its USB identifiers, its name and its LED
// layout, shared by the bridge, nimbra-unit and nimbra-profile. The
// identifiers decide which HID interface is opened and which device gets the
// menu identifiers 8 and 9.
//
// 0x1209 is an open vendor identifier whose product identifiers 0x0001 to
// 0x000F are reserved for testing and private use; no product on sale answers
// to 0x1209:0x0001, so the bridge never opens another maker's hardware.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::int32_t kSupportedUnitVendorId = 0x1209;
inline constexpr std::int32_t kSupportedUnitProductId = 0x0001;

// A USB vendor and product pair.
struct UnitIds {
  std::int32_t vendorId;
  std::int32_t productId;
  friend bool operator==(const UnitIds&, const UnitIds&) = default;
};

// The pair the bridge looks for unless the pilot's settings name another.
inline constexpr UnitIds kDefaultUnitIds{kSupportedUnitVendorId, kSupportedUnitProductId};

// The type identifier of the supported unit; menu identifiers are based on it.
inline constexpr std::int32_t kSupportedUnitTypeId = 7;

// Profile file stem, marker names, menu texts and captions.
inline constexpr char kSupportedUnitName[] = "Velk_Throttle";

// The LED feature report: byte 0 is the report identifier (always 0), bytes
// 1 to kSupportedUnitLastByteIndex hold one bit per LED (bit 0 first), with
// bits 0 to kSupportedUnitLastByteMaxBit in the last of them; the rest stays 0.
inline constexpr std::size_t kLedReportSize = 65;
inline constexpr std::int32_t kSupportedUnitLastByteIndex = 4;
inline constexpr std::int32_t kSupportedUnitLastByteMaxBit = 3;

// The LED positions a device accepts: bytes 1 to lastByteIndex, and in that
// last byte only bits 0 to lastByteMaxBit. Named fields, so that no caller
// depends on an order of the two.
struct LedLimits {
  std::uint32_t lastByteIndex;
  std::uint32_t lastByteMaxBit;
};
inline constexpr LedLimits kSupportedUnitLedLimits{kSupportedUnitLastByteIndex, kSupportedUnitLastByteMaxBit};
