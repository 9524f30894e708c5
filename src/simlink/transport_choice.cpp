// First version: the default pipe on the local machine only.
#include "simlink/transport_choice.h"

namespace simlink {

ChooseResult ChooseAndConnect(std::uint32_t, ClientClient** out) {
  ClientClient* client = ClientClient::Create(TransportKind::Pipe);
  if (client->Connect(platform::AddressFamily::IPv4, ".", "", kDefaultMaxReceiveSize, false)) {
    *out = client;
    return ChooseResult::Connected;
  }
  CloseConnection(client);
  return ChooseResult::Failed;
}

}  // namespace simlink
