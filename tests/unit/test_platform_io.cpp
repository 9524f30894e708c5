// The I/O seam (platform/io.h) against real local servers made with Asio: a
// Unix stream socket in the abstract namespace for the named pipe (POSIX only)
// and TCP acceptors on 127.0.0.1 and ::1 with ephemeral ports.
#include <gtest/gtest.h>

#include <asio.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/io.h"
#include "platform/tcp_nodelay_testing.h"
#ifdef _WIN32
#include "platform/win32/io_results.h"
#endif

namespace {

using platform::AddressFamily;
using platform::IoHandle;
using platform::IoStart;
using platform::IoStatus;
using platform::OverlappedStorage;

constexpr auto kWait = std::chrono::seconds(10);

struct Completion {
  IoStatus status;
  std::uint32_t bytes;
  OverlappedStorage* overlapped;
};

// Every completion the routine receives, in arrival order.
class Recorder {
 public:
  // Never destroyed: the I/O thread may still run while statics are destroyed.
  static Recorder& Get() {
    static Recorder* const recorder = new Recorder();
    return *recorder;
  }

  void Add(const Completion& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    completions_.push_back(c);
    changed_.notify_all();  // under the lock: a woken waiter cannot overtake it
  }

  // Waits for the completion of `overlapped` and takes it off the record.
  std::optional<Completion> WaitFor(const OverlappedStorage* overlapped) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<Completion> found;
    changed_.wait_for(lock, kWait, [&] {
      auto it = std::find_if(completions_.begin(), completions_.end(),
                             [&](const Completion& c) { return c.overlapped == overlapped; });
      if (it == completions_.end()) return false;
      found = *it;
      completions_.erase(it);
      return true;
    });
    return found;
  }

  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return completions_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Completion> completions_;
};

void Routine(platform::IoResult result, std::uint32_t bytes, OverlappedStorage* overlapped) {
  Recorder::Get().Add({result.status, bytes, overlapped});
}

struct Request {
  OverlappedStorage overlapped{};
  std::vector<std::uint8_t> buffer;
};

IoStart Read(IoHandle handle, bool isPipe, Request& request, std::size_t size) {
  request.buffer.assign(size, 0);
  platform::ResetOverlapped(&request.overlapped, nullptr);
  return platform::StartRead(handle, isPipe, &request.overlapped, request.buffer.data(),
                             static_cast<std::uint32_t>(size));
}

IoStart Write(IoHandle handle, bool isPipe, Request& request, std::vector<std::uint8_t> data) {
  request.buffer = std::move(data);
  platform::ResetOverlapped(&request.overlapped, nullptr);
  return platform::StartWrite(handle, isPipe, &request.overlapped, request.buffer.data(),
                              static_cast<std::uint32_t>(request.buffer.size()));
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
  return data;
}

class PlatformIoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(platform::StartSocketLibrary()); }
  static void TearDownTestSuite() { platform::CleanupSocketLibrary(); }

  // Connects to a fresh TCP acceptor on the loopback address of `family` and
  // accepts the peer; false when that loopback address is not available.
  bool ConnectTcp(AddressFamily family, IoHandle* handle, asio::ip::tcp::socket* peer) {
    const asio::ip::address loopback = family == AddressFamily::IPv4
                                           ? asio::ip::address(asio::ip::address_v4::loopback())
                                           : asio::ip::address(asio::ip::address_v6::loopback());
    asio::error_code ec;
    asio::ip::tcp::acceptor acceptor(server_);
    acceptor.open(family == AddressFamily::IPv4 ? asio::ip::tcp::v4() : asio::ip::tcp::v6(), ec);
    if (!ec) acceptor.bind(asio::ip::tcp::endpoint(loopback, 0), ec);
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) return false;
    const std::string port = std::to_string(acceptor.local_endpoint().port());
    const std::string address = family == AddressFamily::IPv4 ? "127.0.0.1" : "::1";
    EXPECT_TRUE(platform::ConnectTcp(family, address, port, &Routine, handle));
    acceptor.accept(*peer);
    return true;
  }

  asio::io_context server_;
};

// ---- TCP -------------------------------------------------------------------

TEST_F(PlatformIoTest, ConnectsTcpV4) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));
  EXPECT_NE(handle, platform::kInvalidIoHandle);
  EXPECT_TRUE(peer.is_open());
  EXPECT_TRUE(peer.remote_endpoint().address().is_v4());
  const std::uint16_t port = peer.local_endpoint().port();
  EXPECT_EQ(platform::TcpNoDelayOf(handle, port), std::optional<bool>(false));
  EXPECT_TRUE(platform::SetTcpNoDelay(handle));
  EXPECT_EQ(platform::TcpNoDelayOf(handle, port), std::optional<bool>(true));
  platform::CloseSocket(handle);
  // Once closed, the handle takes no option any more.
  Request read;
  if (Read(handle, false, read, 8).started) {
    ASSERT_TRUE(Recorder::Get().WaitFor(&read.overlapped).has_value());
  }
  EXPECT_FALSE(platform::SetTcpNoDelay(handle));
}

TEST_F(PlatformIoTest, ConnectsTcpV6) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  if (!ConnectTcp(AddressFamily::IPv6, &handle, &peer)) GTEST_SKIP() << "no IPv6 loopback";
  EXPECT_NE(handle, platform::kInvalidIoHandle);
  EXPECT_TRUE(peer.remote_endpoint().address().is_v6());
  EXPECT_TRUE(platform::SetTcpNoDelay(handle));
  platform::CloseSocket(handle);
}

TEST_F(PlatformIoTest, TcpConnectToMissingEndpointFails) {
  // A port that was free a moment ago: bound, then closed again.
  std::string port;
  {
    asio::ip::tcp::acceptor acceptor(server_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    port = std::to_string(acceptor.local_endpoint().port());
  }
  IoHandle handle = platform::kInvalidIoHandle;
  EXPECT_FALSE(platform::ConnectTcp(AddressFamily::IPv4, "127.0.0.1", port, &Routine, &handle));
}

TEST_F(PlatformIoTest, TcpConnectWithWrongFamilyFails) {
  asio::ip::tcp::acceptor acceptor(server_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
  const std::string port = std::to_string(acceptor.local_endpoint().port());
  IoHandle handle = platform::kInvalidIoHandle;
  // "127.0.0.1" does not resolve for IPv6.
  EXPECT_FALSE(platform::ConnectTcp(AddressFamily::IPv6, "127.0.0.1", port, &Routine, &handle));
}

TEST_F(PlatformIoTest, TcpReadCompletesWithTheBytes) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));

  Request read;
  ASSERT_TRUE(Read(handle, false, read, 64).started);
  const std::vector<std::uint8_t> sent = Pattern(20);
  asio::write(peer, asio::buffer(sent));

  const auto done = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::Success);
  ASSERT_EQ(done->bytes, sent.size());
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), read.buffer.begin()));

  platform::CloseSocket(handle);
}

TEST_F(PlatformIoTest, TcpWriteCompletesWithTheWholeBlock) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));

  // Larger than the socket buffers, so that the block goes out in parts.
  const std::vector<std::uint8_t> block = Pattern(4 * 1024 * 1024);
  Request write;
  ASSERT_TRUE(Write(handle, false, write, block).started);

  std::vector<std::uint8_t> received(block.size());
  asio::read(peer, asio::buffer(received));
  const auto done = Recorder::Get().WaitFor(&write.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::Success);
  EXPECT_EQ(done->bytes, block.size());
  EXPECT_TRUE(received == block);

  platform::CloseSocket(handle);
}

TEST_F(PlatformIoTest, TcpReadAndWriteInFlightTogether) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));

  Request read;
  Request write;
  Read(handle, false, read, 16);
  Write(handle, false, write, Pattern(10));
  std::vector<std::uint8_t> received(10);
  asio::read(peer, asio::buffer(received));
  EXPECT_TRUE(received == Pattern(10));
  asio::write(peer, asio::buffer(Pattern(5)));

  const auto wrote = Recorder::Get().WaitFor(&write.overlapped);
  const auto got = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(wrote.has_value());
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(wrote->bytes, 10u);
  EXPECT_EQ(got->status, IoStatus::Success);
  EXPECT_EQ(got->bytes, 5u);

  platform::CloseSocket(handle);
}

TEST_F(PlatformIoTest, TcpEndOfStreamIsSuccessWithZeroBytes) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));

  Request read;
  Read(handle, false, read, 64);
  peer.shutdown(asio::socket_base::shutdown_send);

  const auto done = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::Success);
  EXPECT_EQ(done->bytes, 0u);

  platform::CloseSocket(handle);
}

TEST_F(PlatformIoTest, TcpResetIsConnectionReset) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));

  Request read;
  Read(handle, false, read, 64);
  peer.set_option(asio::socket_base::linger(true, 0));  // close sends a reset
  peer.close();

  const auto done = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::ConnectionReset);
  EXPECT_EQ(done->bytes, 0u);

  platform::CloseSocket(handle);
}

TEST_F(PlatformIoTest, TcpCloseWithReadPendingCancelsIt) {
  IoHandle handle = platform::kInvalidIoHandle;
  asio::ip::tcp::socket peer(server_);
  ASSERT_TRUE(ConnectTcp(AddressFamily::IPv4, &handle, &peer));

  Request read;
  ASSERT_TRUE(Read(handle, false, read, 64).started);
  platform::CloseSocket(handle);

  const auto done = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::Cancelled);
  EXPECT_EQ(done->bytes, 0u);

  // The peer sees the connection end.
  std::uint8_t byte = 0;
  asio::error_code ec;
  peer.read_some(asio::buffer(&byte, 1), ec);
  EXPECT_TRUE(ec);
}

TEST_F(PlatformIoTest, StartOnUnknownHandleFailsAtOnce) {
  Request read;
  Request write;
  const IoHandle bogus = 0x7FFF1234;
  const std::size_t before = Recorder::Get().Count();
  const IoStart r = Read(bogus, false, read, 8);
  const IoStart w = Write(bogus, false, write, Pattern(8));
  EXPECT_FALSE(r.started);
  EXPECT_NE(r.failure.status, IoStatus::Success);
  EXPECT_FALSE(w.started);
  EXPECT_NE(w.failure.status, IoStatus::Success);
  EXPECT_EQ(Recorder::Get().Count(), before);
}

TEST_F(PlatformIoTest, EventsAreCreatedAndClosed) {
  std::uint32_t error = 0;
  platform::IoEvent event = platform::CreateIoEvent(&error);
  EXPECT_NE(event, nullptr);
  Request request;
  platform::ResetOverlapped(&request.overlapped, event);
  platform::CloseIoEvent(event);
  platform::CloseIoEvent(nullptr);
}

// ---- named pipe (POSIX: abstract Unix stream socket) ---------------------

#ifndef _WIN32

std::string UniqueSuffix() {
  std::random_device device;
  return std::to_string(device()) + "_" + std::to_string(device());
}

class PlatformPipeTest : public PlatformIoTest {
 protected:
  void SetUp() override {
    name_ = "\\\\.\\pipe\\NimbraTest\\" + UniqueSuffix();
    acceptor_.emplace(server_, asio::local::stream_protocol::endpoint(std::string(1, '\0') + name_));
  }

  IoHandle Open(asio::local::stream_protocol::socket* peer) {
    IoHandle handle = platform::kInvalidIoHandle;
    EXPECT_TRUE(platform::OpenPipe(name_, &Routine, &handle));
    acceptor_->accept(*peer);
    return handle;
  }

  std::string name_;
  std::optional<asio::local::stream_protocol::acceptor> acceptor_;
};

TEST_F(PlatformPipeTest, ConnectsPipe) {
  asio::local::stream_protocol::socket peer(server_);
  const IoHandle handle = Open(&peer);
  EXPECT_NE(handle, platform::kInvalidIoHandle);
  EXPECT_TRUE(peer.is_open());
  EXPECT_FALSE(platform::SetTcpNoDelay(handle));  // not a TCP socket
  platform::ClosePipe(handle);
}

TEST_F(PlatformPipeTest, DefaultSimulatorPipeNameIsTheAbstractSocketName) {
  // The whole pipe path text, raw, after a leading zero byte.
  const std::string simulator = "\\\\.\\pipe\\Microsoft Flight Simulator\\SimConnect";
  EXPECT_EQ(simulator, std::string(R"(\\.\pipe\Microsoft Flight Simulator\SimConnect)"));
  asio::local::stream_protocol::endpoint endpoint(std::string(1, '\0') + simulator);
  EXPECT_EQ(endpoint.path(), std::string(1, '\0') + simulator);
}

TEST_F(PlatformPipeTest, MissingPipeFails) {
  IoHandle handle = platform::kInvalidIoHandle;
  EXPECT_FALSE(platform::OpenPipe(name_ + "_missing", &Routine, &handle));
}

TEST_F(PlatformPipeTest, RemoteHostFails) {
  // Same pipe name on another host: not reachable, even though the local one exists.
  const std::string remote = "\\\\server" + name_.substr(3);
  ASSERT_EQ(remote.substr(0, 9), "\\\\server\\");
  IoHandle handle = platform::kInvalidIoHandle;
  EXPECT_FALSE(platform::OpenPipe(remote, &Routine, &handle));
}

TEST_F(PlatformPipeTest, ReadAndWriteCompleteWithTheBytes) {
  asio::local::stream_protocol::socket peer(server_);
  const IoHandle handle = Open(&peer);

  Request read;
  ASSERT_TRUE(Read(handle, true, read, 100).started);
  const std::vector<std::uint8_t> sent = Pattern(33);
  asio::write(peer, asio::buffer(sent));
  const auto got = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->status, IoStatus::Success);
  ASSERT_EQ(got->bytes, sent.size());
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), read.buffer.begin()));

  const std::vector<std::uint8_t> block = Pattern(1024 * 1024);
  Request write;
  ASSERT_TRUE(Write(handle, true, write, block).started);
  std::vector<std::uint8_t> received(block.size());
  asio::read(peer, asio::buffer(received));
  const auto wrote = Recorder::Get().WaitFor(&write.overlapped);
  ASSERT_TRUE(wrote.has_value());
  EXPECT_EQ(wrote->status, IoStatus::Success);
  EXPECT_EQ(wrote->bytes, block.size());
  EXPECT_TRUE(received == block);

  platform::ClosePipe(handle);
}

TEST_F(PlatformPipeTest, EndOfStreamIsPipeBroken) {
  asio::local::stream_protocol::socket peer(server_);
  const IoHandle handle = Open(&peer);

  Request read;
  Read(handle, true, read, 64);
  peer.close();
  const auto done = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::PipeBroken);
  EXPECT_EQ(done->bytes, 0u);

  platform::ClosePipe(handle);
}

TEST_F(PlatformPipeTest, WriteAfterPeerClosedIsPipeBrokenOrReset) {
  asio::local::stream_protocol::socket peer(server_);
  const IoHandle handle = Open(&peer);
  peer.close();

  Request write;
  Write(handle, true, write, Pattern(16));
  const auto done = Recorder::Get().WaitFor(&write.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_TRUE(done->status == IoStatus::PipeBroken || done->status == IoStatus::ConnectionReset)
      << static_cast<int>(done->status);

  platform::ClosePipe(handle);
}

TEST_F(PlatformPipeTest, CloseWithReadPendingCancelsIt) {
  asio::local::stream_protocol::socket peer(server_);
  const IoHandle handle = Open(&peer);

  Request read;
  ASSERT_TRUE(Read(handle, true, read, 64).started);
  platform::ClosePipe(handle);
  const auto done = Recorder::Get().WaitFor(&read.overlapped);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->status, IoStatus::Cancelled);
  EXPECT_EQ(done->bytes, 0u);

  // The handle is gone: a new request fails at once or completes with an error.
  Request late;
  const IoStart started = Read(handle, true, late, 8);
  if (started.started) {
    const auto failed = Recorder::Get().WaitFor(&late.overlapped);
    ASSERT_TRUE(failed.has_value());
    EXPECT_NE(failed->status, IoStatus::Success);
  } else {
    EXPECT_NE(started.failure.status, IoStatus::Success);
  }
}

TEST_F(PlatformPipeTest, ReadStartedRightBeforeCloseStillCompletes) {
  // The request is posted before the close: it starts, then is cancelled.
  asio::local::stream_protocol::socket peer(server_);
  for (int i = 0; i < 50; ++i) {
    const IoHandle handle = Open(&peer);
    Request read;
    Request write;
    ASSERT_TRUE(Read(handle, true, read, 64).started);
    ASSERT_TRUE(Write(handle, true, write, Pattern(4 * 1024 * 1024)).started);
    platform::ClosePipe(handle);
    const auto r = Recorder::Get().WaitFor(&read.overlapped);
    const auto w = Recorder::Get().WaitFor(&write.overlapped);
    ASSERT_TRUE(r.has_value());
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(r->status, IoStatus::Cancelled);
    EXPECT_NE(w->status, IoStatus::Success);
    peer.close();
  }
}

#endif  // _WIN32

#ifdef _WIN32

// The translation table: Windows delivers NTSTATUS values, Wine the Win32
// codes it makes of them; real I/O under Wine reaches only the second half.
struct StatusCase {
  std::uint32_t code;
  IoStatus status;
  std::uint32_t systemCode;
};

const StatusCase kStatusCases[] = {
    {0x00000000u, IoStatus::Success, 0},
    {0x80000005u, IoStatus::BufferOverflow, 0},        {234, IoStatus::BufferOverflow, 0},
    {0xC0000120u, IoStatus::Cancelled, 0},             {995, IoStatus::Cancelled, 0},
    {0xC000014Bu, IoStatus::PipeBroken, 0},            {109, IoStatus::PipeBroken, 0},
    {0xC000020Du, IoStatus::ConnectionReset, 0},       {64, IoStatus::ConnectionReset, 0},
    {0xC000013Cu, IoStatus::RemoteDisconnect, 0},
    {233, IoStatus::Other, 0xC00000B0u},               {1236, IoStatus::Other, 0xC0000241u},
    {0xC0000185u, IoStatus::Other, 0xC0000185u},       {121, IoStatus::Other, 121},
};

TEST(PlatformIoResults, CompletionStatusesTranslate) {
  for (const StatusCase& c : kStatusCases) {
    const platform::IoResult r = platform::ResultOfStatus(c.code);
    EXPECT_EQ(r.status, c.status) << std::hex << c.code;
    EXPECT_EQ(r.systemCode, c.systemCode) << std::hex << c.code;
  }
}

TEST(PlatformIoResults, StartErrorsNeverReadAsSuccessOrPlainCodes) {
  // WSAECONNRESET is a reset; a plain error code naming no status has no code to keep.
  const IoStart reset = platform::NotStarted(10054);
  EXPECT_FALSE(reset.started);
  EXPECT_EQ(reset.failure.status, IoStatus::ConnectionReset);
  for (const std::uint32_t plain : {0u, 6u, 121u}) {
    const IoStart s = platform::NotStarted(plain);
    EXPECT_FALSE(s.started);
    EXPECT_EQ(s.failure.status, IoStatus::Other) << plain;
    EXPECT_EQ(s.failure.systemCode, 0u) << plain;
  }
  EXPECT_EQ(platform::NotStarted(109).failure.status, IoStatus::PipeBroken);
  EXPECT_EQ(platform::NotStarted(233).failure.systemCode, 0xC00000B0u);
  EXPECT_EQ(platform::NotStarted(0xC0000185u).failure.systemCode, 0xC0000185u);
}

#endif  // _WIN32

}  // namespace
