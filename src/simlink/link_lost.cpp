// The loss state of a connection, as the transport recorded it.
#include "simlink/link_lost.h"

#include "simlink/client_client.h"

bool SimConnectLinkLost(HANDLE handle) {
  const auto* client = static_cast<const simlink::ClientClient*>(handle);
  return client != nullptr && client->IsLost(nullptr);
}
