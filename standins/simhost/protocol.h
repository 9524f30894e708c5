// The wire format as the simulator's side sees it: decoding the messages a
// client sends and building the messages a simulator sends back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "wire.h"

namespace simhost {

using Bytes = std::vector<std::uint8_t>;

// ---- Decoded client messages (one struct per message kind) ----------------
struct OpenMsg {
  std::string applicationName;
  std::uint32_t reserved272 = 0;        // offset 272
  std::uint8_t bytes276[4] = {};        // offset 276: four marker bytes
  std::uint32_t versionMajor = 0;       // 280
  std::uint32_t versionMinor = 0;       // 284
  std::uint32_t buildMajor = 0;         // 288
  std::uint32_t buildMinor = 0;         // 292
};
struct AddToDataDefinitionMsg {
  std::uint32_t defineId = 0;
  std::string datumName;
  std::string unitsName;
  std::uint32_t datumType = 0;
  float epsilon = 0;
  std::uint32_t datumId = 0;
};
struct ClearDataDefinitionMsg {
  std::uint32_t defineId = 0;
};
struct RequestDataMsg {
  std::uint32_t requestId = 0, defineId = 0, objectId = 0, period = 0, flags = 0, origin = 0, interval = 0,
                limit = 0;
};
struct SubscribeMsg {
  std::uint32_t eventId = 0;
  std::string eventName;
};
struct MenuAddItemMsg {
  std::string text;
  std::uint32_t menuEventId = 0;
  std::uint32_t data = 0;
};
struct MenuDeleteItemMsg {
  std::uint32_t menuEventId = 0;
};
struct MenuAddSubItemMsg {
  std::uint32_t menuEventId = 0;
  std::string text;
  std::uint32_t subEventId = 0;
  std::uint32_t data = 0;
};
struct MenuDeleteSubItemMsg {
  std::uint32_t menuEventId = 0;
  std::uint32_t subEventId = 0;
};
struct TextMsg {
  std::uint32_t textType = 0;
  float seconds = 0;
  std::uint32_t eventId = 0;
  std::uint32_t dataLength = 0;
  Bytes data;        // the data bytes as sent
  std::string text;  // the data up to its first zero byte
};

struct RequestSystemStateMsg {
  std::uint32_t requestId = 0;
  std::string stateName;
};

using Decoded = std::variant<std::monostate, OpenMsg, AddToDataDefinitionMsg, ClearDataDefinitionMsg, RequestDataMsg,
                             SubscribeMsg, MenuAddItemMsg, MenuDeleteItemMsg, MenuAddSubItemMsg, MenuDeleteSubItemMsg,
                             TextMsg, RequestSystemStateMsg>;

// One message as received, whole. `decoded` holds std::monostate when the
// message was refused; `reason` then says why.
struct ClientMessage {
  std::size_t connection = 0;  // serial number of the connection it came on, from 1
  std::uint32_t size = 0;
  std::uint32_t version = 0;
  std::uint32_t type = 0;
  std::uint32_t sendId = 0;
  Bytes bytes;
  Decoded decoded;
  bool refused = false;
  std::string reason;
};

// Decodes one whole message (bytes.size() is its size field). Checks the
// version, the exact length of the type and the string fields (terminated,
// zero-padded); anything else is refused with a reason.
ClientMessage DecodeClientMessage(const Bytes& bytes);

// "Open", "AddToDataDefinition", ... for the known types; "0x..." otherwise.
std::string TypeName(std::uint32_t type);
// The reverse of TypeName, without regard to case; also takes a number.
std::optional<std::uint32_t> ParseTypeName(const std::string& text);
// One readable line for a message: kind, send id and decoded fields.
std::string Describe(const ClientMessage& message);

// ---- Messages the simulator sends ------------------------------------------
Bytes BuildOpen();
Bytes BuildQuit();
Bytes BuildException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index);
Bytes BuildEvent(std::uint32_t groupId, std::uint32_t eventId, std::uint32_t data);
// szFileName is cut to 260 bytes; it is zero-terminated when it fits.
Bytes BuildEventFilename(std::uint32_t eventId, const std::string& fileName, std::uint32_t data = 0);
Bytes BuildSimObjectData(std::uint32_t requestId, std::uint32_t objectId, std::uint32_t defineId, std::uint32_t flags,
                         std::uint32_t defineCount, const Bytes& data);
Bytes BuildSystemState(std::uint32_t requestId, std::uint32_t integer, float value, const std::string& text);

// The bytes one datum of the given data type (wire::kDataType...) takes in a data
// message, for a numeric value; string types give their fixed size of zeros
// (STRINGV one zero byte). Unknown types give nothing.
Bytes EncodeDatum(std::uint32_t datumType, double value);

// Little-endian helpers.
std::uint32_t ReadU32(const std::uint8_t* p);
void PutU32(Bytes& out, std::size_t offset, std::uint32_t value);

}  // namespace simhost
