// System events to the clients that subscribed to them, and the "6Hz" and
// "1sec" ticks a running simulator sends on its own.
#include "sim_host_internal.h"

namespace simhost {

std::size_t SimHost::Impl::SendToSubscribers(const std::string& systemEvent,
                                             const std::function<Bytes(std::uint32_t)>& build) {
  std::size_t sent = 0;
  for (const std::shared_ptr<Client>& client : live) {
    std::vector<std::uint32_t> ids;
    {
      std::lock_guard<std::mutex> lock(mu);
      ids = client->session.SubscribersOf(systemEvent);
    }
    for (std::uint32_t id : ids) sent += SendTo(*client, build(id)) ? 1 : 0;
  }
  return sent;
}

void SimHost::Impl::StartTicks() {
  if (ticking) return;
  ticking = true;
  tickStart = Clock::now();
  tickCount = 0;
  ArmTick();
}

void SimHost::Impl::StopTicks() {
  ticking = false;
  tickTimer.cancel();
}

// "6Hz" six times a second on a fixed grid, "1sec" with every sixth.
void SimHost::Impl::ArmTick() {
  auto due = tickStart + std::chrono::nanoseconds((tickCount + 1) * 1000000000ull / 6);
  if (due + std::chrono::seconds(1) < Clock::now()) {  // fell far behind: start a new grid
    tickStart = Clock::now();
    tickCount = 0;
    due = tickStart + std::chrono::nanoseconds(1000000000ull / 6);
  }
  tickTimer.expires_at(due);
  tickTimer.async_wait([this](const std::error_code& ec) {
    if (ec || !ticking || stopping) return;
    ++tickCount;
    auto event = [](std::uint32_t id) { return BuildEvent(wire::kUnused, id, 0); };
    SendToSubscribers("6Hz", event);
    if (tickCount % 6 == 0) SendToSubscribers("1sec", event);
    ArmTick();
  });
}

}  // namespace simhost
