// The transport order of one open. The configured protocol picks the first
// transport; failures fall through, where the settings allow, to the local
// machine's other transports: the pipe, then TCP on "::1" with the registered
// IPv6 port, then TCP on "127.0.0.1" with the registered IPv4 port, then the
// default pipe once more. Every object made for a failed attempt goes through
// the closing steps before the next one.
#include "simlink/transport_choice.h"

#include <mutex>
#include <utility>

#include "platform/registry_ports.h"
#include "simlink/connection_attempts_internal.h"
#include "simlink/link_config.h"
#include "simlink/socket_library.h"

namespace simlink {
namespace {

void Report(const ConnectionAttempt& attempt) {
  ConnectionAttemptObserver current;
  {
    detail::ConnectionAttemptSlot& slot = detail::ConnectionAttemptObserverSlot();
    std::lock_guard<std::mutex> lock(slot.lock);
    current = slot.observer;
  }
  if (current) current(attempt);
}

// One Connect on a newly created object. Returns the connected object, or
// null after running the closing steps on the object. With `skipConnect` the
// object is only created and closed again (a TCP attempt without a port).
ClientClient* Attempt(TransportKind kind, platform::AddressFamily family, const std::string& address,
                      const std::string& port, const LinkConfig& config, bool skipConnect = false) {
  ClientClient* client = ClientClient::Create(kind);
  if (client == nullptr) return nullptr;
  if (!skipConnect) {
    const bool connected = client->Connect(family, address, port, config.maxReceiveSize, config.disableNagle);
    Report({kind, family, address, port, config.maxReceiveSize, config.disableNagle, connected});
    if (connected) return client;
  }
  CloseConnection(client);
  return nullptr;
}

}  // namespace

namespace detail {

ConnectionAttemptSlot& ConnectionAttemptObserverSlot() {
  static ConnectionAttemptSlot slot;
  return slot;
}

}  // namespace detail

ChooseResult ChooseAndConnect(std::uint32_t configIndex, ClientClient** out) {
  *out = nullptr;
  const std::vector<std::string> files = ConfigFiles();
  if (!ConfigSectionPresent(configIndex, files)) return ChooseResult::NoSection;
  const LinkConfig config = ReadLinkConfig(configIndex, files);

  LinkProtocol protocol = config.protocol;
  std::string address = config.address;
  std::string port = config.port;
  ClientClient* client = nullptr;

  if (protocol == LinkProtocol::Pipe) {
    client = Attempt(TransportKind::Pipe, platform::AddressFamily::IPv4, address, port, config);
    if (client != nullptr) {
      *out = client;
      return ChooseResult::Connected;
    }
    // A pipe on another machine has no local fallback.
    if (!address.empty() && address != ".") return ChooseResult::Failed;
    address = "::1";
    port = platform::ReadRegisteredPort(platform::AddressFamily::IPv6);
    protocol = LinkProtocol::IPv6;
  }

  if (protocol == LinkProtocol::IPv6) {
    if (!StartSocketLibrary()) return ChooseResult::Failed;
    client = Attempt(TransportKind::Tcp, platform::AddressFamily::IPv6, address, port, config, port.empty());
    if (client != nullptr) {
      *out = client;
      return ChooseResult::Connected;
    }
    if (address != "::1") return ChooseResult::Failed;
    address = "127.0.0.1";
    port = platform::ReadRegisteredPort(platform::AddressFamily::IPv4);
  }

  if (!StartSocketLibrary()) return ChooseResult::Failed;
  client = Attempt(TransportKind::Tcp, platform::AddressFamily::IPv4, address, port, config, port.empty());
  if (client == nullptr && address == "127.0.0.1") {
    // The last resort: the default pipe on the local machine.
    client = Attempt(TransportKind::Pipe, platform::AddressFamily::IPv4, ".", "", config);
  }
  if (client == nullptr) return ChooseResult::Failed;
  *out = client;
  return ChooseResult::Connected;
}

}  // namespace simlink
