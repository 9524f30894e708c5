// The numbers of the wire format as simhost reads them: message kinds, the
// protocol version, sizes and the published constants. simhost is a second,
// independent reading of the protocol, so these are written here as literals
// rather than taken from the bridge's own header; one test holds the two side
// by side.
#pragma once

#include <cstdint>

namespace simhost::wire {

// ---- What a client sends ---------------------------------------------------
inline constexpr std::uint32_t kOpen = 0xF0000001u;
inline constexpr std::uint32_t kAddToDataDefinition = 0xF000000Cu;
inline constexpr std::uint32_t kClearDataDefinition = 0xF000000Du;
inline constexpr std::uint32_t kRequestDataOnSimObject = 0xF000000Eu;
inline constexpr std::uint32_t kSubscribeToSystemEvent = 0xF0000017u;
inline constexpr std::uint32_t kMenuAddItem = 0xF0000031u;
inline constexpr std::uint32_t kMenuDeleteItem = 0xF0000032u;
inline constexpr std::uint32_t kMenuAddSubItem = 0xF0000033u;
inline constexpr std::uint32_t kMenuDeleteSubItem = 0xF0000034u;
// Published layouts give no number for it; the next in the family after the
// menu calls, as the bridge's link sends it.
inline constexpr std::uint32_t kRequestSystemState = 0xF0000035u;
inline constexpr std::uint32_t kText = 0xF0000040u;

inline constexpr std::uint32_t kClientVersion = 5;
// Size, version, type, send id.
inline constexpr std::uint32_t kClientHeaderSize = 16;
// A string field: the text, a zero, zeros to the end.
inline constexpr std::uint32_t kStringFieldSize = 256;
// Largest message a client can send: its whole send buffer.
inline constexpr std::uint32_t kMaxClientMessage = 41088;

// ---- What the simulator sends ----------------------------------------------
inline constexpr std::uint32_t kRecvException = 1;
inline constexpr std::uint32_t kRecvOpen = 2;
inline constexpr std::uint32_t kRecvQuit = 3;
inline constexpr std::uint32_t kRecvEvent = 4;
inline constexpr std::uint32_t kRecvEventFilename = 6;
inline constexpr std::uint32_t kRecvSimObjectData = 8;
inline constexpr std::uint32_t kRecvSystemState = 15;

inline constexpr std::uint32_t kRecvHeaderSize = 12;  // size, version, id
inline constexpr std::uint32_t kRecvExceptionSize = 24;
inline constexpr std::uint32_t kRecvOpenSize = 308;
inline constexpr std::uint32_t kRecvQuitSize = 12;
inline constexpr std::uint32_t kRecvEventSize = 24;
inline constexpr std::uint32_t kRecvEventFilenameSize = 288;
inline constexpr std::uint32_t kRecvSystemStateSize = 284;
inline constexpr std::uint32_t kSimObjectDataOffset = 40;  // where a data message's values start

// ---- Published constants ---------------------------------------------------
inline constexpr std::uint32_t kUnused = 0xFFFFFFFFu;
inline constexpr std::uint32_t kTextTypePrintRed = 0x102;
inline constexpr std::uint32_t kExceptionNameUnrecognized = 7;
// The 1-based parameter an exception names: a datum's name, then its unit.
inline constexpr std::uint32_t kIndexName = 1;
inline constexpr std::uint32_t kIndexUnit = 2;

inline constexpr std::uint32_t kDataTypeInt32 = 1;
inline constexpr std::uint32_t kDataTypeInt64 = 2;
inline constexpr std::uint32_t kDataTypeFloat32 = 3;
inline constexpr std::uint32_t kDataTypeFloat64 = 4;
inline constexpr std::uint32_t kDataTypeString8 = 5;
inline constexpr std::uint32_t kDataTypeString32 = 6;
inline constexpr std::uint32_t kDataTypeString64 = 7;
inline constexpr std::uint32_t kDataTypeString128 = 8;
inline constexpr std::uint32_t kDataTypeString256 = 9;
inline constexpr std::uint32_t kDataTypeString260 = 10;
inline constexpr std::uint32_t kDataTypeStringV = 11;

inline constexpr std::uint32_t kPeriodNever = 0;
inline constexpr std::uint32_t kPeriodOnce = 1;
inline constexpr std::uint32_t kPeriodVisualFrame = 2;
inline constexpr std::uint32_t kPeriodSimFrame = 3;
inline constexpr std::uint32_t kPeriodSecond = 4;

inline constexpr std::uint32_t kFlagChanged = 1;

}  // namespace simhost::wire
