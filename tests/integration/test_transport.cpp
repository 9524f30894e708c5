// The receive path and the loss of the connection, over real pipes and TCP
// sockets to simhost: how the byte stream is cut into messages, how the
// receive buffer grows, and what a bad or vanishing peer leaves behind.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include <asio.hpp>

#include "support/link_session.h"
#include "support/own_pipe.h"

using namespace testsupport;
using simhost::Bytes;
using simlink::ClientClient;
using simlink::TransportKind;

namespace {

// A message of any size whose payload is a recognisable pattern.
Bytes Patterned(std::uint32_t size, std::uint32_t id = 99) {
  Bytes bytes(size, 0);
  for (std::uint32_t i = 12; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + 5);
  simhost::PutU32(bytes, 0, size);
  simhost::PutU32(bytes, 8, id);
  return bytes;
}

Bytes SizeOnly(std::uint32_t size) {
  Bytes bytes(12, 0);
  simhost::PutU32(bytes, 0, size);
  return bytes;
}

class Transport : public ::testing::TestWithParam<TransportKind> {
 protected:
  void SetUp() override {
    simhost::Options options = pipe.HostOptions();
    options.pipe = GetParam() == TransportKind::Pipe;
    if (!options.pipe) options.tcp4Port = 0;
    host = std::make_unique<simhost::SimHost>(options);
    host->Start();
  }
  void TearDown() override {
    if (client != nullptr) simlink::CloseConnection(client);
    host->Stop();
    EXPECT_TRUE(WaitForNoConnections());
  }
  // Connects a connection object directly, with the given receive limit.
  void Connect(std::uint32_t maxReceiveSize = simlink::kDefaultMaxReceiveSize) {
    client = ClientClient::Create(GetParam());
    const std::string port = GetParam() == TransportKind::Pipe ? pipe.name() : std::to_string(host->Tcp4Port());
    ASSERT_TRUE(client->Connect(platform::AddressFamily::IPv4, GetParam() == TransportKind::Pipe ? "." : "127.0.0.1",
                                port, maxReceiveSize, false));
    ASSERT_TRUE(host->WaitForClient(3s));
  }
  // Dispatches until the link reports a loss; returns its code.
  HRESULT LossCode(std::chrono::milliseconds timeout = 5s) {
    return DispatchUntil(client, received, [] { return false; }, timeout);
  }
  bool WaitForCapacity(std::uint32_t capacity) {
    for (int i = 0; i < 300 && client->receiveCapacity() != capacity; ++i) std::this_thread::sleep_for(10ms);
    return client->receiveCapacity() == capacity;
  }

  OwnPipe pipe;
  std::unique_ptr<simhost::SimHost> host;
  ClientClient* client = nullptr;
  Received received;
};

TEST_P(Transport, ASizeFieldSplitAcrossReadsIsAssembled) {
  Connect();
  const Bytes message = Patterned(40);
  ASSERT_TRUE(host->SendRawSplit(message, 2, 100ms));
  EXPECT_EQ(DispatchUntil(client, received, [&] { return !received.messages.empty(); }), S_OK);
  ASSERT_EQ(received.messages.size(), 1u);
  EXPECT_EQ(received.messages[0], message);
}

TEST_P(Transport, ALargeMessageGrowsTheBufferInSteps) {
  Connect();
  EXPECT_EQ(client->receiveCapacity(), 2048u);
  const Bytes message = Patterned(5000);
  ASSERT_TRUE(host->SendRawSplit(message, 3000, 300ms));
  EXPECT_TRUE(WaitForCapacity(4096));
  EXPECT_EQ(DispatchUntil(client, received, [&] { return !received.messages.empty(); }), S_OK);
  ASSERT_EQ(received.messages.size(), 1u);
  EXPECT_EQ(received.messages[0], message);
  EXPECT_EQ(client->receiveCapacity(), 6144u);

  // A message after it still arrives whole in the grown buffer.
  const Bytes next = Patterned(100, 98);
  ASSERT_TRUE(host->SendRaw(next));
  EXPECT_EQ(DispatchUntil(client, received, [&] { return received.messages.size() == 2; }), S_OK);
  ASSERT_EQ(received.messages.size(), 2u);
  EXPECT_EQ(received.messages[1], next);
}

TEST_P(Transport, AMessageOfExactlyTheLimitIsAccepted) {
  Connect(41088);
  const Bytes message = Patterned(41088);
  ASSERT_TRUE(host->SendRaw(message));
  EXPECT_EQ(DispatchUntil(client, received, [&] { return !received.messages.empty(); }), S_OK);
  ASSERT_EQ(received.messages.size(), 1u);
  EXPECT_EQ(received.messages[0], message);
}

TEST_P(Transport, OneByteOverTheLimitLosesTheConnection) {
  Connect(41088);
  ASSERT_TRUE(host->SendRaw(Patterned(41089)));
  EXPECT_EQ(LossCode(), E_ABORT);
  EXPECT_EQ(client->lossReason(), simlink::LossReason::TooLarge);
  EXPECT_TRUE(host->WaitForDisconnect(3s));
}

TEST_P(Transport, ImpossibleSizesLoseTheConnection) {
  for (std::uint32_t size : {0u, 3u, 0xFFFFFFFFu, 0x80000000u}) {
    SCOPED_TRACE(size);
    Connect();
    ASSERT_TRUE(host->SendRaw(SizeOnly(size)));
    EXPECT_EQ(LossCode(), E_ABORT);
    simlink::CloseConnection(client);
    client = nullptr;
    ASSERT_TRUE(host->WaitForDisconnect(3s));
  }
}

TEST_P(Transport, TheLargestBufferHoldsOneMebibyteAndNoMore) {
  Connect(4000000);
  const Bytes fits = Patterned(simlink::kReceiveBufferLimit);
  ASSERT_TRUE(host->SendRaw(fits));
  // Hundreds of buffer copies on the way: slow under sanitizers.
  EXPECT_EQ(DispatchUntil(client, received, [&] { return !received.messages.empty(); }, 60s), S_OK);
  ASSERT_EQ(received.messages.size(), 1u);
  EXPECT_EQ(received.messages[0], fits);
  EXPECT_EQ(client->receiveCapacity(), simlink::kReceiveBufferLimit);

  // A larger one could never be assembled: the link gives up at its size
  // field instead of allocating for it.
  Bytes tooLarge = Patterned(simlink::kReceiveBufferLimit + 1);
  tooLarge.resize(100000);
  ASSERT_TRUE(host->SendRaw(tooLarge));
  EXPECT_EQ(LossCode(), E_ABORT);
  EXPECT_EQ(client->lossReason(), simlink::LossReason::TooLarge);
}

TEST_P(Transport, TheSimulatorClosingIsRecordedAndLaterSendsAreDropped) {
  Connect();
  ASSERT_TRUE(host->SendRaw(Patterned(100)));
  ASSERT_TRUE(host->CloseClient());
  const HRESULT code = LossCode();
  if (GetParam() == TransportKind::Pipe) {
    EXPECT_TRUE(code == static_cast<HRESULT>(STATUS_PIPE_BROKEN_CODE) ||
                code == static_cast<HRESULT>(STATUS_LINK_FAILED_CODE))
        << std::hex << code;
  } else {
    EXPECT_EQ(code, static_cast<HRESULT>(STATUS_LINK_FAILED_CODE));
  }
  ASSERT_EQ(received.messages.size(), 1u);  // delivered before the loss was reported
  EXPECT_EQ(client->state(), simlink::ConnectionState::NotConnected);

  simlink::DataBlock block;
  block.data.reset(new std::uint8_t[20]());
  block.length = 20;
  EXPECT_FALSE(client->EnqueueSend(std::move(block)));  // freed, not written
}

TEST_P(Transport, AResetInTheMiddleOfAMessageIsALoss) {
  Connect();
  Bytes message = Patterned(1000);
  message.resize(500);
  ASSERT_TRUE(host->SendRaw(message));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(host->ResetClient());
  const HRESULT code = LossCode();
  EXPECT_LT(code, 0);
  if (GetParam() == TransportKind::Tcp) {
    EXPECT_TRUE(code == static_cast<HRESULT>(STATUS_CONNECTION_RESET_CODE) ||
                code == static_cast<HRESULT>(STATUS_LINK_FAILED_CODE))
        << std::hex << code;
  }
}

TEST_P(Transport, GarbageFromThePeerEndsInALossNotACrash) {
  Connect();
  Bytes garbage(3000);
  std::uint32_t state = 12345;
  for (auto& byte : garbage) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  ASSERT_TRUE(host->SendRaw(garbage));
  host->CloseClient();  // unless the link has already given up on the stream
  EXPECT_LT(LossCode(), 0);
}

TEST_P(Transport, CloseWithAReadInFlightFreesTheObjectLater) {
  Connect();
  EXPECT_EQ(ClientClient::LiveClientClients(), 1);
  simlink::CloseConnection(client);
  client = nullptr;
  EXPECT_TRUE(WaitForNoConnections());
  EXPECT_EQ(ClientClient::LiveClientClients(), 0);
  EXPECT_TRUE(host->WaitForDisconnect(3s));
}

TEST_P(Transport, WritesGoOutInOrderWhileReadsArrive) {
  Connect();
  for (std::uint32_t i = 0; i < 200; ++i) {
    ASSERT_EQ(SimConnect_MenuDeleteSubItem(client, 6, i), S_OK);
    if (i % 50 == 0) host->SendRaw(Patterned(64));
  }
  ASSERT_TRUE(host->WaitForMessages(200, 5s));
  const auto messages = host->Messages();
  for (std::uint32_t i = 0; i < 200; ++i) {
    EXPECT_EQ(simhost::ReadU32(messages[i].bytes.data() + 20), i);
    EXPECT_EQ(messages[i].sendId, i + 1);
  }
  EXPECT_EQ(DispatchUntil(client, received, [&] { return received.messages.size() == 4; }), S_OK);
}

INSTANTIATE_TEST_SUITE_P(PipeAndTcp, Transport, ::testing::Values(TransportKind::Pipe, TransportKind::Tcp),
                         [](const auto& info) { return info.param == TransportKind::Pipe ? "Pipe" : "Tcp"; });

TEST(TransportIPv6, ConnectsToTheLoopbackAddress) {
  simhost::Options options = QuietHost();
  options.pipe = false;
  options.tcp6Port = 0;
  simhost::SimHost host(options);
  host.Start();
  ClientClient* client = ClientClient::Create(TransportKind::Tcp);
  ASSERT_TRUE(client->Connect(platform::AddressFamily::IPv6, "::1", std::to_string(host.Tcp6Port()), 41088, true));
  ASSERT_EQ(SimConnect_MenuDeleteItem(client, 6), S_OK);
  EXPECT_TRUE(host.WaitForMessages(1, 3s));
  simlink::CloseConnection(client);
  host.Stop();
  EXPECT_TRUE(WaitForNoConnections());
}

TEST(TransportClose, WritesInFlightKeepTheirBlocksUntilTheyComplete) {
  // A peer that starts reading only as the link closes, so that the close
  // meets a write that is in flight and progressing.
  for (int round = 0; round < 10; ++round) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
    ClientClient* client = ClientClient::Create(TransportKind::Tcp);
    ASSERT_TRUE(client->Connect(platform::AddressFamily::IPv4, "127.0.0.1",
                                std::to_string(acceptor.local_endpoint().port()), 41088, false));
    asio::ip::tcp::socket peer(io);
    acceptor.accept(peer);
    std::atomic<bool> startReading{false};
    std::thread reader([&] {
      while (!startReading) std::this_thread::sleep_for(1ms);
      std::vector<char> sink(4096);
      asio::error_code ec;
      while (!ec) {
        peer.read_some(asio::buffer(sink), ec);
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    });
    std::vector<char> text(41056, 't');
    for (int i = 0; i < 400; ++i) {
      EXPECT_EQ(SimConnect_Text(client, SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f, 4, 41056, text.data()), S_OK);
    }
    startReading = true;
    simlink::CloseConnection(client);
    reader.join();
    EXPECT_TRUE(WaitForNoConnections());
  }
}

TEST(TransportFailures, NothingListeningFailsTheConnect) {
  ClientClient* pipe = ClientClient::Create(TransportKind::Pipe);
  EXPECT_FALSE(pipe->Connect(platform::AddressFamily::IPv4, ".", UniquePipeName(), 41088, false));
  simlink::CloseConnection(pipe);
  ClientClient* tcp = ClientClient::Create(TransportKind::Tcp);
  EXPECT_FALSE(tcp->Connect(platform::AddressFamily::IPv4, "127.0.0.1", "1", 41088, false));
  simlink::CloseConnection(tcp);
  ClientClient* nameless = ClientClient::Create(TransportKind::Tcp);
  EXPECT_FALSE(nameless->Connect(platform::AddressFamily::IPv4, "127.0.0.1", "", 41088, false));
  simlink::CloseConnection(nameless);
  EXPECT_EQ(simlink::CClient::LiveCClients(), 0);
}

}  // namespace
