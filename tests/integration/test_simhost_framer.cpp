// How simhost cuts a client's byte stream into messages, chunk by chunk,
// without sockets: split and joined messages, and size fields that leave no
// way to find the next message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framer.h"

namespace {

using simhost::Bytes;
namespace wire = simhost::wire;

Bytes U32s(std::initializer_list<std::uint32_t> words) {
  Bytes out;
  for (std::uint32_t v : words)
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
  return out;
}

// A whole ClearDataDefinition message (20 bytes).
Bytes Clear(std::uint32_t sendId) { return U32s({20, wire::kClientVersion, wire::kClearDataDefinition, sendId, 1}); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Prefix(Bytes b, std::size_t n) {
  b.resize(n);
  return b;
}

struct FramingCase {
  const char* name;
  Bytes stream;
  std::vector<std::size_t> chunks;  // sizes of the chunks it arrives in; the rest in one last chunk
  std::vector<std::uint32_t> sendIds;  // of the messages cut out, in order (refused ones too)
  std::string refusal;                 // the reason of a refused stream, else empty
  std::size_t refusedBytes = 0;        // how much of it the refused message shows
};

TEST(SimHostFraming, CutsEachStreamIntoItsMessages) {
  const FramingCase cases[] = {
      {"one message", Clear(1), {}, {1}, ""},
      {"two in one chunk", Join({Clear(1), Clear(2)}), {}, {1, 2}, ""},
      {"one in three chunks", Clear(1), {1, 10}, {1}, ""},
      {"a size field split in two", Join({Clear(1), Clear(2)}), {22}, {1, 2}, ""},
      {"a message not yet whole waits", Join({Clear(1), Prefix(Clear(2), 19)}), {}, {1},
       ""},
      {"the largest size waits for its bytes", U32s({wire::kMaxClientMessage, 5, wire::kText, 3}), {}, {}, ""},
      {"a size below the header", Join({Clear(1), U32s({8, 5, wire::kOpen, 4}), Clear(5)}), {}, {1, 4},
       "size field 8 is smaller than the header; closing the connection", 36},
      {"a size above any message", Join({U32s({wire::kMaxClientMessage + 1, 5, wire::kOpen, 6}), Bytes(100, 0xAB)}),
       {3}, {6}, "size field 41089 is larger than any client message; closing the connection", 64},
  };
  for (const FramingCase& c : cases) {
    simhost::Framer framer;
    std::vector<simhost::ClientMessage> messages;
    std::size_t at = 0;
    auto feed = [&](std::size_t n) {
      framer.Append(c.stream.data() + at, n);
      at += n;
      while (auto m = framer.Next()) messages.push_back(*m);
    };
    for (std::size_t n : c.chunks) feed(n);
    feed(c.stream.size() - at);
    std::vector<std::uint32_t> ids;
    for (const auto& m : messages) ids.push_back(m.sendId);
    EXPECT_EQ(ids, c.sendIds) << c.name;
    EXPECT_EQ(framer.Refused(), !c.refusal.empty()) << c.name;
    for (std::size_t i = 0; i < messages.size(); ++i) {
      const bool last = i + 1 == messages.size();
      if (last && framer.Refused()) {
        EXPECT_TRUE(messages[i].refused) << c.name;
        EXPECT_EQ(messages[i].reason, c.refusal) << c.name;
        EXPECT_EQ(messages[i].bytes.size(), c.refusedBytes) << c.name;
      } else {
        EXPECT_FALSE(messages[i].refused) << c.name << ": " << messages[i].reason;
        EXPECT_EQ(messages[i].type, wire::kClearDataDefinition) << c.name;
      }
    }
    // Once refused, nothing more comes out of the stream.
    if (framer.Refused()) {
      const Bytes more = Clear(9);
      framer.Append(more.data(), more.size());
      EXPECT_FALSE(framer.Next()) << c.name;
    }
  }
}

}  // namespace
