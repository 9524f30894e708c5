// The receive queue's limit: a peer that sends far more than the caller
// dispatches fills the queue only up to its limit (by message count or by
// bytes), then waits; every message still arrives, whole and in order, once
// dispatch takes the queue, and a loss during the wait is still reported
// after them.
#include <gtest/gtest.h>

#include "support/link_session.h"
#include "support/own_pipe.h"

using namespace testsupport;
using simhost::Bytes;
using simlink::ClientClient;

namespace {

struct Flow {
  const char* name;
  std::uint32_t messageSize;
  std::uint32_t messages;
};

// Twice what either limit lets in.
const Flow kFlows[] = {
    {"many small messages (count limit)", 20, 2 * simlink::kReceiveQueueMessageLimit},
    {"large messages (byte limit)", 40000, 2 * simlink::kReceiveQueueByteLimit / 40000},
};

// Message i (at least 20 bytes): its size, id 99, i at offset 12 and a
// pattern of i after it.
Bytes Numbered(std::uint32_t size, std::uint32_t i) {
  Bytes bytes(size, static_cast<std::uint8_t>(i * 7 + 1));
  simhost::PutU32(bytes, 0, size);
  simhost::PutU32(bytes, 4, 0);
  simhost::PutU32(bytes, 8, 99);
  simhost::PutU32(bytes, 12, i);
  return bytes;
}

struct InOrder {
  std::uint32_t next = 0, broken = 0, size = 0;
  static void Check(SIMCONNECT_RECV* data, DWORD size, void* context) {
    auto* self = static_cast<InOrder*>(context);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    if (size != self->size || simhost::ReadU32(bytes + 12) != self->next ||
        bytes[size - 1] != static_cast<std::uint8_t>(self->next * 7 + 1))
      ++self->broken;
    ++self->next;
  }
};

TEST(LinkReceiveLimit, AFasterPeerFillsTheQueueOnlyToItsLimitAndLosesNothing) {
  for (const Flow& flow : kFlows) {
    SCOPED_TRACE(flow.name);
    OwnPipe pipe;
    simhost::SimHost host(pipe.HostOptions());
    host.Start();
    ClientClient* client = ClientClient::Create(simlink::TransportKind::Pipe);
    ASSERT_TRUE(client->Connect(platform::AddressFamily::IPv4, ".", pipe.name(), simlink::kDefaultMaxReceiveSize, false));
    ASSERT_TRUE(host.WaitForClient(3s));

    Bytes stream;
    for (std::uint32_t i = 0; i < flow.messages; ++i) {
      Bytes one = Numbered(flow.messageSize, i);
      stream.insert(stream.end(), one.begin(), one.end());
    }
    ASSERT_TRUE(host.SendRaw(std::move(stream)));
    ASSERT_TRUE(host.CloseClient());  // after the bytes: the loss comes while reading is held

    // Without dispatch the queue reaches a limit and stays there.
    auto atLimit = [&] {
      return client->QueuedMessages() >= simlink::kReceiveQueueMessageLimit ||
             client->QueuedBytes() >= simlink::kReceiveQueueByteLimit;
    };
    for (int i = 0; i < 500 && !atLimit(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(atLimit());
    std::this_thread::sleep_for(300ms);
    // One read's messages may go past the limit, no more.
    const std::size_t oneRead = client->receiveCapacity();
    EXPECT_LE(client->QueuedMessages(), simlink::kReceiveQueueMessageLimit + oneRead / flow.messageSize);
    EXPECT_LE(client->QueuedBytes(), simlink::kReceiveQueueByteLimit + oneRead);
    EXPECT_FALSE(client->IsLost(nullptr)) << "the close waits behind the held bytes";

    InOrder seen;
    seen.size = flow.messageSize;
    HRESULT result = S_OK;
    for (int i = 0; i < 1000 && result == S_OK; ++i) {
      result = SimConnect_CallDispatch(client, &InOrder::Check, &seen);
      if (result == S_OK) std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(seen.next, flow.messages);
    EXPECT_EQ(seen.broken, 0u);
    EXPECT_LT(result, 0) << "the loss after the last message";

    simlink::CloseConnection(client);
    host.Stop();
    EXPECT_TRUE(WaitForNoConnections());
  }
}

}  // namespace
