// Opening the link with SimConnect.cfg files in temporary folders and simhost
// listening where the settings point (or not at all). Which listener got the
// connection shows where the link went; the attempt observer shows the
// attempts that failed and left no other trace. Hosts listen on a pipe of the
// test's own; the tests about the default pipe hold the machine-wide lock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/config_places.h"
#include "platform/registry_ports_testing.h"
#include "platform/tcp_nodelay_testing.h"
#include "sim_host.h"
#include "simlink/client_client.h"
#include "simlink/connection_attempts_testing.h"
#include "simlink/link_config.h"
#include "simlink/simconnect.h"
#include "simlink/transport_probe_testing.h"
#include "support/config_places.h"
#include "support/link_session.h"
#include "support/own_pipe.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::AddressFamily;
using simlink::ConnectionAttempt;
using simlink::TransportKind;

constexpr std::uint32_t kOpenType = 0xF0000001u;
constexpr auto kWait = 5s;

using testsupport::kCurrent;
using testsupport::kShared;
using testsupport::kUser;
using testsupport::Place;

// A loopback port that nothing listens on (it was free a moment ago).
std::string ClosedPort() {
  simhost::Options options;
  options.pipe = false;
  options.tcp4Port = 0;
  simhost::SimHost host(options);
  host.Start();
  const std::uint16_t port = host.Tcp4Port();
  host.Stop();
  return std::to_string(port);
}

class TransportChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simlink::SetConnectionAttemptObserver([this](const ConnectionAttempt& attempt) {
      std::lock_guard<std::mutex> lock(attemptsLock_);
      attempts_.push_back(attempt);
    });
  }

  void TearDown() override {
    if (handle_ != nullptr) SimConnect_Close(handle_);
    hosts_.clear();
    EXPECT_TRUE(testsupport::WaitForNoConnections());
    simlink::SetConnectionAttemptObserver({});
  }

  void Write(Place place, const std::string& content) { places_.Write(place, content); }

  enum class Pipe { None, Own, Default };

  simhost::SimHost& Host(Pipe pipe, bool tcp4 = false, bool tcp6 = false) {
    simhost::Options options;
    options.pipe = pipe != Pipe::None;
    if (pipe == Pipe::Own) options.pipeName = ownPipe_;
    if (tcp4) options.tcp4Port = 0;
    if (tcp6) options.tcp6Port = 0;
    hosts_.push_back(std::make_unique<simhost::SimHost>(options));
    if (pipe == Pipe::Default) {
      DefaultPipe().Start(*hosts_.back());
    } else {
      hosts_.back()->Start();
    }
    return *hosts_.back();
  }

  // Taken at the first use, held until the test has closed everything.
  testsupport::DefaultPipeLock& DefaultPipe() {
    if (!defaultPipe_) defaultPipe_.emplace();
    return *defaultPipe_;
  }

  HRESULT Open(std::uint32_t configIndex = 0) {
    return SimConnect_Open(&handle_, "Nimbra_Bridge", nullptr, 0, nullptr, configIndex);
  }

  void Close() {
    SimConnect_Close(handle_);
    handle_ = nullptr;
    ASSERT_TRUE(testsupport::WaitForNoConnections());
  }

  // True when `host` received this link's open message.
  static bool ReachedBy(const simhost::SimHost& host) {
    return host.WaitForMessage(kOpenType, 0, kWait).has_value();
  }

  std::vector<ConnectionAttempt> Attempts() {
    std::lock_guard<std::mutex> lock(attemptsLock_);
    return attempts_;
  }

  std::optional<testsupport::DefaultPipeLock> defaultPipe_;  // first: it goes last
  const std::string ownPipe_ = testsupport::UniquePipeName();
  testsupport::ConfigPlaces places_{"nimbra_choice_"};
  const fs::path dirs_[3] = {places_.dir(kShared), places_.dir(kUser), places_.dir(kCurrent)};
  std::vector<std::unique_ptr<simhost::SimHost>> hosts_;
  HANDLE handle_ = nullptr;
  std::mutex attemptsLock_;
  std::vector<ConnectionAttempt> attempts_;
};

TEST_F(TransportChoiceTest, NothingConfiguredTriesTheDefaultPipeTwiceThenFails) {
  DefaultPipe().WaitUntilFree();
  EXPECT_EQ(Open(), E_FAIL);
  EXPECT_EQ(handle_, nullptr);
  const std::vector<ConnectionAttempt> attempts = Attempts();
  ASSERT_EQ(attempts.size(), 2u);  // no port registered: no TCP attempt
  for (const ConnectionAttempt& attempt : attempts) {
    EXPECT_EQ(attempt.kind, TransportKind::Pipe);
    EXPECT_EQ(attempt.port, "");
    EXPECT_FALSE(attempt.connected);
  }
  EXPECT_EQ(attempts[0].address, "");
  EXPECT_EQ(attempts[1].address, ".");
}

TEST_F(TransportChoiceTest, RegisteredIPv6PortIsReachedAfterTheDefaultPipeWithoutAnyFile) {
  DefaultPipe().WaitUntilFree();
  simhost::SimHost& host = Host(Pipe::None, false, true);
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv6, std::to_string(host.Tcp6Port())));
  ASSERT_EQ(Open(), S_OK);
  EXPECT_TRUE(ReachedBy(host));
  const std::vector<ConnectionAttempt> attempts = Attempts();
  ASSERT_EQ(attempts.size(), 2u);
  EXPECT_EQ(attempts[0].kind, TransportKind::Pipe);
  EXPECT_FALSE(attempts[0].connected);
  EXPECT_EQ(attempts[1].kind, TransportKind::Tcp);
  EXPECT_EQ(attempts[1].family, AddressFamily::IPv6);
  EXPECT_EQ(attempts[1].address, "::1");
  EXPECT_TRUE(attempts[1].connected);
}

TEST_F(TransportChoiceTest, IPv4FromTheCurrentDirectorysFile) {
  simhost::SimHost& host = Host(Pipe::None, true);
  platform::ClearConfigPlaceFoldersOverride();  // the real places
  const std::vector<std::string> files = simlink::ConfigFiles();
  for (std::size_t i = 0; i + 1 < files.size(); ++i) {
    if (fs::exists(files[i])) GTEST_SKIP() << files[i] << " exists on this machine";
  }
  Write(kCurrent, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(host.Tcp4Port()) + "\n");
  fs::current_path(dirs_[kCurrent]);
  ASSERT_EQ(Open(), S_OK);
  EXPECT_TRUE(ReachedBy(host));
  const std::vector<ConnectionAttempt> attempts = Attempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_EQ(attempts[0].family, AddressFamily::IPv4);
}

TEST_F(TransportChoiceTest, IPv4WithAnotherAddressMakesOneAttemptOnly) {
  simhost::SimHost& fallback = Host(Pipe::None, true, true);
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv4, std::to_string(fallback.Tcp4Port())));
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv6, std::to_string(fallback.Tcp6Port())));
  Write(kCurrent, "[SimConnect]\nProtocol=IPv4\nAddress=localhost\nPort=" + ClosedPort() + "\n");
  EXPECT_EQ(Open(), E_FAIL);
  EXPECT_EQ(handle_, nullptr);
  EXPECT_EQ(Attempts().size(), 1u);
  EXPECT_EQ(fallback.ConnectionCount(), 0u);
}

TEST_F(TransportChoiceTest, IPv6WithoutAnyPortMakesNoAttempt) {
  Write(kCurrent, "[SimConnect]\nProtocol=IPv6\n");
  EXPECT_EQ(Open(), E_FAIL);
  EXPECT_TRUE(Attempts().empty());  // the default pipe included
}

TEST_F(TransportChoiceTest, IPv6OnLoopbackWithoutPortFallsBackToRegisteredIPv4) {
  simhost::SimHost& host = Host(Pipe::None, true);
  ASSERT_TRUE(platform::WriteRegisteredPort(AddressFamily::IPv4, std::to_string(host.Tcp4Port())));
  Write(kCurrent, "[SimConnect]\nProtocol=IPv6\nAddress=::1\n");
  ASSERT_EQ(Open(), S_OK);
  EXPECT_TRUE(ReachedBy(host));
  const std::vector<ConnectionAttempt> attempts = Attempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_EQ(attempts[0].family, AddressFamily::IPv4);
  EXPECT_EQ(attempts[0].address, "127.0.0.1");
}

TEST_F(TransportChoiceTest, PortNamesThePipeAndAnUnknownProtocolKeepsThePipe) {
  simhost::SimHost& ownPipe = Host(Pipe::Own);
  Write(kCurrent, "[SimConnect]\nProtocol=Serial\nPort=" + ownPipe_ + "\n");
  ASSERT_EQ(Open(), S_OK);
  EXPECT_TRUE(ReachedBy(ownPipe));
  const std::vector<ConnectionAttempt> attempts = Attempts();
  ASSERT_EQ(attempts.size(), 1u);  // not the default pipe after it
  EXPECT_EQ(attempts[0].kind, TransportKind::Pipe);
  EXPECT_EQ(attempts[0].port, ownPipe_);
}

TEST_F(TransportChoiceTest, MaxReceiveSizeReachesTheConnection) {
  simhost::SimHost& host = Host(Pipe::Own);
  Write(kShared, "[SimConnect]\nMaxReceiveSize=100000\nPort=" + ownPipe_ + "\n");
  Write(kCurrent, "[SimConnect]\nMaxReceiveSize=50000\n");
  ASSERT_EQ(Open(), S_OK);
  ASSERT_TRUE(ReachedBy(host));
  ASSERT_EQ(Attempts().size(), 1u);
  EXPECT_EQ(Attempts()[0].maxReceiveSize, 100000u);

  auto message = [](std::uint32_t size) {
    simhost::Bytes bytes(size, 0);
    simhost::PutU32(bytes, 0, size);
    simhost::PutU32(bytes, 4, 5);
    simhost::PutU32(bytes, 8, SIMCONNECT_RECV_ID_NULL);
    return bytes;
  };
  testsupport::Received received;
  auto got = [&](std::size_t size) {
    for (const auto& m : received.messages) {
      if (m.size() == size) return true;
    }
    return false;
  };
  ASSERT_TRUE(host.SendRaw(message(100000)));
  EXPECT_EQ(testsupport::DispatchUntil(handle_, received, [&] { return got(100000); }), S_OK);
  EXPECT_TRUE(got(100000));

  // One byte more than the configured size loses the link.
  ASSERT_TRUE(host.SendRaw(message(100001)));
  EXPECT_EQ(testsupport::DispatchUntil(handle_, received, [] { return false; }), E_ABORT);
}

TEST_F(TransportChoiceTest, DisableNagleSetsTcpNoDelayUnlessALaterFileClearsIt) {
  simhost::SimHost& host = Host(Pipe::None, true);
  const std::string target = "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(host.Tcp4Port()) + "\n";
  auto noDelay = [&] {
    const auto* client = static_cast<const simlink::ClientClient*>(handle_);
    return platform::TcpNoDelayOf(simlink::TransportProbe::Handle(*client), host.Tcp4Port());
  };

  Write(kShared, "[SimConnect]\nDisableNagle=1\n");
  Write(kCurrent, target);
  ASSERT_EQ(Open(), S_OK);
  ASSERT_TRUE(ReachedBy(host));
  EXPECT_TRUE(Attempts().back().disableNagle);
  EXPECT_EQ(noDelay(), std::optional<bool>(true));
  Close();

  Write(kCurrent, target + "DisableNagle=0\n");
  ASSERT_EQ(Open(), S_OK);
  ASSERT_TRUE(host.WaitForConnections(2, kWait));
  EXPECT_FALSE(Attempts().back().disableNagle);
  EXPECT_EQ(noDelay(), std::optional<bool>(false));
}

TEST_F(TransportChoiceTest, ConfigurationIndexNeedsItsSectionSomewhere) {
  simhost::SimHost& host = Host(Pipe::None, true);
  Write(kShared, "[SimConnect]\nProtocol=IPv6\n");
  Write(kCurrent, "[SimConnect.3]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(host.Tcp4Port()) + "\n");
  ASSERT_EQ(Open(3), S_OK);
  EXPECT_TRUE(ReachedBy(host));
  ASSERT_EQ(Attempts().size(), 1u);
  EXPECT_EQ(Attempts()[0].family, AddressFamily::IPv4);
  Close();

  Write(kShared, "[SimConnect]\nProtocol=Pipe\n");
  Write(kCurrent, "[SimConnect.4]\nProtocol=Pipe\n");
  EXPECT_EQ(Open(3), E_INVALIDARG);
  EXPECT_EQ(handle_, nullptr);
  EXPECT_EQ(Attempts().size(), 1u);      // no new attempt
  EXPECT_EQ(host.ConnectionCount(), 1u);  // only the first open
}

// Settings that make no sense fail their own attempt; the order goes on where
// the address allows it, to the default pipe at its end.
TEST_F(TransportChoiceTest, NonsensePortsFailTheirAttemptOnlyAndTheDefaultPipeAnswers) {
  simhost::SimHost& host = Host(Pipe::Default);
  Write(kCurrent, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=not-a-port\n");
  ASSERT_EQ(Open(), S_OK);
  EXPECT_TRUE(ReachedBy(host));
  std::vector<ConnectionAttempt> attempts = Attempts();
  ASSERT_EQ(attempts.size(), 2u);
  EXPECT_FALSE(attempts[0].connected);
  EXPECT_EQ(attempts[1].kind, TransportKind::Pipe);
  EXPECT_EQ(attempts[1].address, ".");
  Close();

  // A pipe name far beyond any pipe's length: that pipe is not found, and the
  // default pipe at the end of the order is.
  Write(kCurrent, "[SimConnect]\nPort=" + std::string(3000, 'p') + "\n");
  ASSERT_EQ(Open(), S_OK);
  ASSERT_TRUE(host.WaitForConnections(2, kWait));
  attempts = Attempts();
  ASSERT_EQ(attempts.size(), 4u);
  EXPECT_EQ(attempts[2].port, std::string(2047, 'p'));
  EXPECT_FALSE(attempts[2].connected);
  EXPECT_TRUE(attempts[3].connected);
}

}  // namespace
