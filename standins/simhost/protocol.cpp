// The client's messages as simhost reads them, from its own wire table: the
// header, each message's fields decoded and checked against its length, and
// the server's messages built for sending. Nothing here is shared with the
// bridge's link, so that a mistake in one is caught by the other.
#include "protocol.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace simhost {

std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void PutU32(Bytes& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = std::uint8_t(value >> (8 * i));
}

namespace {

float ReadF32(const std::uint8_t* p) {
  std::uint32_t bits = ReadU32(p);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

void PutF32(Bytes& out, std::size_t offset, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  PutU32(out, offset, bits);
}

void PutText(Bytes& out, std::size_t offset, std::size_t field, const std::string& text) {
  std::size_t n = std::min(text.size(), field);
  std::memcpy(out.data() + offset, text.data(), n);
}

Bytes Header(std::uint32_t size, std::uint32_t id) {
  Bytes out(size, 0);
  PutU32(out, 0, size);
  PutU32(out, 4, wire::kClientVersion);
  PutU32(out, 8, id);
  return out;
}

struct Kind {
  std::uint32_t type;
  const char* name;
  std::uint32_t length;  // exact length; 0 for Text, whose length depends on its data
};

constexpr Kind kKinds[] = {
    {wire::kOpen, "Open", 296},
    {wire::kAddToDataDefinition, "AddToDataDefinition", 544},
    {wire::kClearDataDefinition, "ClearDataDefinition", 20},
    {wire::kRequestDataOnSimObject, "RequestDataOnSimObject", 48},
    {wire::kSubscribeToSystemEvent, "SubscribeToSystemEvent", 276},
    {wire::kMenuAddItem, "MenuAddItem", 280},
    {wire::kMenuDeleteItem, "MenuDeleteItem", 20},
    {wire::kMenuAddSubItem, "MenuAddSubItem", 284},
    {wire::kMenuDeleteSubItem, "MenuDeleteSubItem", 24},
    {wire::kText, "Text", 0},
    {wire::kRequestSystemState, "RequestSystemState", 276},
};

const Kind* FindKind(std::uint32_t type) {
  for (const Kind& k : kKinds)
    if (k.type == type) return &k;
  return nullptr;
}

// Reads a 256-byte string field: the text, a zero, zeros to the end.
bool ReadStringField(const Bytes& b, std::size_t offset, std::string* out, std::string* why) {
  const std::uint8_t* p = b.data() + offset;
  const std::uint8_t* end = p + wire::kStringFieldSize;
  const std::uint8_t* zero = std::find(p, end, 0);
  if (zero == end) {
    *why = "string field at offset " + std::to_string(offset) + " has no terminating zero";
    return false;
  }
  if (std::any_of(zero, end, [](std::uint8_t c) { return c != 0; })) {
    *why = "string field at offset " + std::to_string(offset) + " is not zero-padded after its text";
    return false;
  }
  out->assign(reinterpret_cast<const char*>(p), zero - p);
  return true;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string Float(float f) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", double(f));
  return buf;
}

}  // namespace

std::string TypeName(std::uint32_t type) {
  const Kind* k = FindKind(type);
  return k ? k->name : Hex(type);
}

std::optional<std::uint32_t> ParseTypeName(const std::string& text) {
  auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const Kind& k : kKinds)
    if (lower(k.name) == lower(text)) return k.type;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (!text.empty() && end && *end == '\0' && v <= 0xFFFFFFFFull) return std::uint32_t(v);
  return std::nullopt;
}

ClientMessage DecodeClientMessage(const Bytes& b) {
  ClientMessage m;
  m.bytes = b;
  auto refuse = [&](std::string why) {
    m.refused = true;
    m.reason = std::move(why);
    m.decoded = std::monostate{};
    return m;
  };
  if (b.size() < wire::kClientHeaderSize) return refuse("shorter than the 16-byte header");
  m.size = ReadU32(&b[0]);
  m.version = ReadU32(&b[4]);
  m.type = ReadU32(&b[8]);
  m.sendId = ReadU32(&b[12]);
  if (m.size != b.size()) return refuse("size field " + std::to_string(m.size) + " but " + std::to_string(b.size()) + " bytes");
  const Kind* kind = FindKind(m.type);
  if (!kind) return refuse("unknown type " + Hex(m.type));
  if (m.version != wire::kClientVersion) return refuse("version " + std::to_string(m.version) + ", expected 5");
  std::uint64_t expected = kind->length;
  if (m.type == wire::kText) {
    if (b.size() < 32) return refuse("Text shorter than its 32-byte fixed part");
    expected = 32ull + ReadU32(&b[28]);
  }
  if (b.size() != expected)
    return refuse(std::string(kind->name) + " of " + std::to_string(b.size()) + " bytes, expected " +
                  std::to_string(expected));

  const std::uint8_t* p = b.data();
  std::string why;
  switch (m.type) {
    case wire::kOpen: {
      OpenMsg o;
      if (!ReadStringField(b, 16, &o.applicationName, &why)) return refuse(why);
      o.reserved272 = ReadU32(p + 272);
      std::memcpy(o.bytes276, p + 276, 4);
      o.versionMajor = ReadU32(p + 280);
      o.versionMinor = ReadU32(p + 284);
      o.buildMajor = ReadU32(p + 288);
      o.buildMinor = ReadU32(p + 292);
      m.decoded = o;
      break;
    }
    case wire::kAddToDataDefinition: {
      AddToDataDefinitionMsg a;
      a.defineId = ReadU32(p + 16);
      if (!ReadStringField(b, 20, &a.datumName, &why) || !ReadStringField(b, 276, &a.unitsName, &why))
        return refuse(why);
      a.datumType = ReadU32(p + 532);
      a.epsilon = ReadF32(p + 536);
      a.datumId = ReadU32(p + 540);
      m.decoded = a;
      break;
    }
    case wire::kClearDataDefinition:
      m.decoded = ClearDataDefinitionMsg{ReadU32(p + 16)};
      break;
    case wire::kRequestDataOnSimObject: {
      RequestDataMsg r;
      r.requestId = ReadU32(p + 16);
      r.defineId = ReadU32(p + 20);
      r.objectId = ReadU32(p + 24);
      r.period = ReadU32(p + 28);
      r.flags = ReadU32(p + 32);
      r.origin = ReadU32(p + 36);
      r.interval = ReadU32(p + 40);
      r.limit = ReadU32(p + 44);
      m.decoded = r;
      break;
    }
    case wire::kSubscribeToSystemEvent: {
      SubscribeMsg s;
      s.eventId = ReadU32(p + 16);
      if (!ReadStringField(b, 20, &s.eventName, &why)) return refuse(why);
      m.decoded = s;
      break;
    }
    case wire::kMenuAddItem: {
      MenuAddItemMsg a;
      if (!ReadStringField(b, 16, &a.text, &why)) return refuse(why);
      a.menuEventId = ReadU32(p + 272);
      a.data = ReadU32(p + 276);
      m.decoded = a;
      break;
    }
    case wire::kMenuDeleteItem:
      m.decoded = MenuDeleteItemMsg{ReadU32(p + 16)};
      break;
    case wire::kMenuAddSubItem: {
      MenuAddSubItemMsg a;
      a.menuEventId = ReadU32(p + 16);
      if (!ReadStringField(b, 20, &a.text, &why)) return refuse(why);
      a.subEventId = ReadU32(p + 276);
      a.data = ReadU32(p + 280);
      m.decoded = a;
      break;
    }
    case wire::kMenuDeleteSubItem:
      m.decoded = MenuDeleteSubItemMsg{ReadU32(p + 16), ReadU32(p + 20)};
      break;
    case wire::kRequestSystemState: {
      RequestSystemStateMsg r;
      r.requestId = ReadU32(p + 16);
      if (!ReadStringField(b, 20, &r.stateName, &why)) return refuse(why);
      m.decoded = r;
      break;
    }
    case wire::kText: {
      TextMsg t;
      t.textType = ReadU32(p + 16);
      t.seconds = ReadF32(p + 20);
      t.eventId = ReadU32(p + 24);
      t.dataLength = ReadU32(p + 28);
      t.data.assign(b.begin() + 32, b.end());
      auto zero = std::find(t.data.begin(), t.data.end(), 0);
      t.text.assign(t.data.begin(), zero);
      m.decoded = t;
      break;
    }
  }
  return m;
}

std::string Describe(const ClientMessage& m) {
  std::string head = m.bytes.size() >= wire::kClientHeaderSize ? TypeName(m.type) + " #" + std::to_string(m.sendId)
                     : m.bytes.size() >= 12             ? TypeName(m.type)
                                                        : std::string("without header");
  if (m.refused) return "refused message " + head + " (" + std::to_string(m.bytes.size()) + " bytes): " + m.reason;
  struct Visitor {
    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(const OpenMsg& o) const {
      return ": name " + Quote(o.applicationName) + ", version " + std::to_string(o.versionMajor) + "." +
             std::to_string(o.versionMinor) + ", build " + std::to_string(o.buildMajor) + "." +
             std::to_string(o.buildMinor);
    }
    std::string operator()(const AddToDataDefinitionMsg& a) const {
      return ": definition " + std::to_string(a.defineId) + ", " + Quote(a.datumName) + " in " + Quote(a.unitsName) +
             ", type " + std::to_string(a.datumType) + ", epsilon " + Float(a.epsilon) + ", datum id " +
             (a.datumId == wire::kUnused ? std::string("unused") : std::to_string(a.datumId));
    }
    std::string operator()(const ClearDataDefinitionMsg& c) const {
      return ": definition " + std::to_string(c.defineId);
    }
    std::string operator()(const RequestDataMsg& r) const {
      return ": request " + std::to_string(r.requestId) + ", definition " + std::to_string(r.defineId) + ", object " +
             std::to_string(r.objectId) + ", period " + std::to_string(r.period) + ", flags " +
             std::to_string(r.flags) + ", origin " + std::to_string(r.origin) + ", interval " +
             std::to_string(r.interval) + ", limit " + std::to_string(r.limit);
    }
    std::string operator()(const SubscribeMsg& s) const {
      return ": event " + std::to_string(s.eventId) + " " + Quote(s.eventName);
    }
    std::string operator()(const MenuAddItemMsg& a) const {
      return ": " + Quote(a.text) + " [" + std::to_string(a.menuEventId) + "], data " + std::to_string(a.data);
    }
    std::string operator()(const MenuDeleteItemMsg& d) const { return ": [" + std::to_string(d.menuEventId) + "]"; }
    std::string operator()(const MenuAddSubItemMsg& a) const {
      return ": under [" + std::to_string(a.menuEventId) + "] " + Quote(a.text) + " [" + std::to_string(a.subEventId) +
             "], data " + std::to_string(a.data);
    }
    std::string operator()(const MenuDeleteSubItemMsg& d) const {
      return ": under [" + std::to_string(d.menuEventId) + "] [" + std::to_string(d.subEventId) + "]";
    }
    std::string operator()(const RequestSystemStateMsg& r) const {
      return ": request " + std::to_string(r.requestId) + ", state " + Quote(r.stateName);
    }
    std::string operator()(const TextMsg& t) const {
      return ": type " + Hex(t.textType) + ", " + Float(t.seconds) + " s, event " + std::to_string(t.eventId) +
             ", " + std::to_string(t.dataLength) + " bytes, " + Quote(t.text);
    }
  };
  return head + std::visit(Visitor{}, m.decoded);
}

Bytes BuildOpen() {
  Bytes out = Header(wire::kRecvOpenSize, wire::kRecvOpen);
  PutText(out, 12, 255, "simhost");
  PutU32(out, 268, 11);     // application version major
  PutU32(out, 272, 0);      // minor
  PutU32(out, 276, 62651);  // build major
  PutU32(out, 280, 3);      // build minor
  PutU32(out, 284, 11);     // SimConnect version major
  PutU32(out, 288, 0);
  PutU32(out, 292, 62651);
  PutU32(out, 296, 3);
  return out;
}

Bytes BuildQuit() { return Header(wire::kRecvQuitSize, wire::kRecvQuit); }

Bytes BuildException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index) {
  Bytes out = Header(wire::kRecvExceptionSize, wire::kRecvException);
  PutU32(out, 12, code);
  PutU32(out, 16, sendId);
  PutU32(out, 20, index);
  return out;
}

Bytes BuildEvent(std::uint32_t groupId, std::uint32_t eventId, std::uint32_t data) {
  Bytes out = Header(wire::kRecvEventSize, wire::kRecvEvent);
  PutU32(out, 12, groupId);
  PutU32(out, 16, eventId);
  PutU32(out, 20, data);
  return out;
}

Bytes BuildEventFilename(std::uint32_t eventId, const std::string& fileName, std::uint32_t data) {
  Bytes out = Header(wire::kRecvEventFilenameSize, wire::kRecvEventFilename);
  PutU32(out, 12, wire::kUnused);
  PutU32(out, 16, eventId);
  PutU32(out, 20, data);
  PutText(out, 24, 260, fileName);
  PutU32(out, 284, 0);
  return out;
}

Bytes BuildSimObjectData(std::uint32_t requestId, std::uint32_t objectId, std::uint32_t defineId, std::uint32_t flags,
                         std::uint32_t defineCount, const Bytes& data) {
  Bytes out = Header(std::uint32_t(wire::kSimObjectDataOffset + data.size()), wire::kRecvSimObjectData);
  PutU32(out, 12, requestId);
  PutU32(out, 16, objectId);
  PutU32(out, 20, defineId);
  PutU32(out, 24, flags);
  PutU32(out, 28, 1);  // entry number
  PutU32(out, 32, 1);  // out of
  PutU32(out, 36, defineCount);
  std::copy(data.begin(), data.end(), out.begin() + wire::kSimObjectDataOffset);
  return out;
}

Bytes BuildSystemState(std::uint32_t requestId, std::uint32_t integer, float value, const std::string& text) {
  Bytes out = Header(wire::kRecvSystemStateSize, wire::kRecvSystemState);
  PutU32(out, 12, requestId);
  PutU32(out, 16, integer);
  PutF32(out, 20, value);
  PutText(out, 24, 260, text);
  return out;
}

Bytes EncodeDatum(std::uint32_t datumType, double value) {
  auto clampTo = [&](double lo, double hi) {
    if (std::isnan(value)) return 0.0;
    return std::clamp(std::trunc(value), lo, hi);
  };
  Bytes out;
  switch (datumType) {
    case wire::kDataTypeInt32: {
      std::int32_t v = std::int32_t(clampTo(-2147483648.0, 2147483647.0));
      out.resize(4);
      PutU32(out, 0, std::uint32_t(v));
      break;
    }
    case wire::kDataTypeInt64: {
      // 2^63 itself does not fit; the largest double below it does.
      std::int64_t v = std::int64_t(clampTo(-9223372036854775808.0, 9223372036854774784.0));
      out.resize(8);
      PutU32(out, 0, std::uint32_t(std::uint64_t(v)));
      PutU32(out, 4, std::uint32_t(std::uint64_t(v) >> 32));
      break;
    }
    case wire::kDataTypeFloat32: {
      out.resize(4);
      PutF32(out, 0, float(value));
      break;
    }
    case wire::kDataTypeFloat64: {
      std::uint64_t bits;
      std::memcpy(&bits, &value, 8);
      out.resize(8);
      PutU32(out, 0, std::uint32_t(bits));
      PutU32(out, 4, std::uint32_t(bits >> 32));
      break;
    }
    case wire::kDataTypeString8: out.assign(8, 0); break;
    case wire::kDataTypeString32: out.assign(32, 0); break;
    case wire::kDataTypeString64: out.assign(64, 0); break;
    case wire::kDataTypeString128: out.assign(128, 0); break;
    case wire::kDataTypeString256: out.assign(256, 0); break;
    case wire::kDataTypeString260: out.assign(260, 0); break;
    case wire::kDataTypeStringV: out.assign(1, 0); break;
    default: break;
  }
  return out;
}

}  // namespace simhost
