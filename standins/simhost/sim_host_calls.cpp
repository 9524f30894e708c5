// SimHost's face to its callers (the command runner, tests, the demo): what
// was received, waits on it, and what to send, each under the lock or run on
// the I/O thread.
#include "sim_host.h"

#include "sim_host_internal.h"

namespace simhost {

std::uint16_t SimHost::Tcp4Port() const { return impl_->tcp4Port; }
std::uint16_t SimHost::Tcp6Port() const { return impl_->tcp6Port; }
std::vector<std::string> SimHost::Endpoints() const { return impl_->endpoints; }

bool SimHost::ClientConnected() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->connected;
}

std::size_t SimHost::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->connections;
}

bool SimHost::WaitForClient(Millis timeout) const {
  return impl_->WaitUntil(timeout, [this] { return impl_->connected; });
}

bool SimHost::WaitForConnections(std::size_t n, Millis timeout) const {
  return impl_->WaitUntil(timeout, [this, n] { return impl_->connections >= n; });
}

bool SimHost::WaitForDisconnect(Millis timeout) const {
  return impl_->WaitUntil(timeout, [this] { return !impl_->connected; });
}

std::vector<ClientMessage> SimHost::Messages() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->messages;
}

std::size_t SimHost::MessageCount() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->messages.size();
}

bool SimHost::WaitForMessages(std::size_t n, Millis timeout) const {
  return impl_->WaitUntil(timeout, [this, n] { return impl_->messages.size() >= n; });
}

std::optional<std::size_t> SimHost::WaitForMessage(std::uint32_t type, std::size_t from, Millis timeout) const {
  std::optional<std::size_t> found;
  impl_->WaitUntil(timeout, [&] {
    for (std::size_t i = from; i < impl_->messages.size(); ++i) {
      if (impl_->messages[i].type == type) {
        found = i;
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<ClientMessage> SimHost::Refused() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  std::vector<ClientMessage> out;
  for (const ClientMessage& m : impl_->messages)
    if (m.refused) out.push_back(m);
  return out;
}

std::map<std::uint32_t, std::string> SimHost::Subscriptions() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->session.Subscriptions() : std::map<std::uint32_t, std::string>();
}

std::vector<MenuItem> SimHost::Menu() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->session.Menu() : std::vector<MenuItem>();
}

std::map<std::uint32_t, std::vector<Datum>> SimHost::Definitions() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->session.Definitions() : std::map<std::uint32_t, std::vector<Datum>>();
}

std::map<std::uint32_t, Request> SimHost::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->session.Requests() : std::map<std::uint32_t, Request>();
}

std::vector<TextLine> SimHost::TextLines() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->textLines;
}

std::size_t SimHost::SendEvent(const std::string& name, std::uint32_t data) {
  return impl_->Call([&] {
    return impl_->SendToSubscribers(name, [&](std::uint32_t id) { return BuildEvent(wire::kUnused, id, data); });
  });
}

bool SimHost::SendEventId(std::uint32_t eventId, std::uint32_t data, std::uint32_t groupId) {
  return impl_->Call([&] { return impl_->SendToClient(BuildEvent(groupId, eventId, data)); });
}

bool SimHost::SendAircraftLoaded(const std::string& path) {
  return impl_->Call([&] {
    return impl_->SendToSubscribers("AircraftLoaded", [&](std::uint32_t id) { return BuildEventFilename(id, path); }) > 0;
  });
}

bool SimHost::SendMenuPick(std::uint32_t itemId) {
  return impl_->Call([&] {
    // To the clients whose menu holds the item; when none does, to the current one.
    bool sent = false;
    for (const auto& client : impl_->live) {
      bool holds;
      {
        std::lock_guard<std::mutex> lock(impl_->mu);
        holds = client->session.HoldsMenuItem(itemId);
      }
      if (holds) sent = impl_->SendTo(*client, BuildEvent(wire::kUnused, itemId, 0)) || sent;
    }
    return sent || impl_->SendToClient(BuildEvent(wire::kUnused, itemId, 0));
  });
}

bool SimHost::SendSystemState(std::uint32_t requestId, std::uint32_t integer, float value, const std::string& text) {
  return impl_->Call([&] { return impl_->SendToClient(BuildSystemState(requestId, integer, value, text)); });
}

void SimHost::SetValue(const std::string& name, const std::string& unit, double value) {
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->values.Set(name, unit, value);
    ++impl_->dataGeneration;
  }
  impl_->Call([this] { impl_->PumpValues(); });
}

std::optional<double> SimHost::Value(const std::string& name, const std::string& unit) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->values.Get(name, unit);
}

std::vector<std::string> SimHost::LocalVariables() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->values.LocalVariables();
}

void SimHost::Reject(const std::string& datumName) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->values.Reject(datumName);
}

void SimHost::Accept(const std::string& datumName) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->values.Accept(datumName);
}

std::optional<std::size_t> SimHost::SetSystemState(StateName name, const std::string& text, bool answerWaiting) {
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (!SetState(impl_->systemState, name, text)) return std::nullopt;
  }
  if (!answerWaiting) return 0;
  return impl_->Call([&] {
    std::size_t answered = 0;
    for (const auto& client : impl_->live) {
      std::vector<Bytes> answers;
      {
        std::lock_guard<std::mutex> lock(impl_->mu);
        answers = client->session.AnswerWaiting(name);
      }
      for (Bytes& answer : answers) answered += impl_->SendTo(*client, std::move(answer)) ? 1 : 0;
    }
    return answered;
  });
}

bool SimHost::SendException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index) {
  return impl_->Call([&] { return impl_->SendToClient(BuildException(code, sendId, index)); });
}

bool SimHost::SendRaw(Bytes bytes) {
  return impl_->Call([&] { return impl_->SendToClient(std::move(bytes)); });
}

bool SimHost::SendRawSplit(Bytes bytes, std::size_t splitAt, Millis pause) {
  splitAt = std::min(splitAt, bytes.size());
  Bytes second(bytes.begin() + splitAt, bytes.end());
  bytes.resize(splitAt);
  return impl_->Call([&] {
    if (impl_->Active() == nullptr) return false;
    if (!bytes.empty()) impl_->SendToClient(std::move(bytes));
    if (!second.empty()) impl_->SendToClient(std::move(second), pause);
    return true;
  });
}

bool SimHost::SendQuit() {
  return impl_->Call([&] {
    bool sent = false;
    for (const auto& client : impl_->live) sent = impl_->SendTo(*client, BuildQuit()) || sent;
    return sent;
  });
}

bool SimHost::CloseClient() {
  return impl_->Call([&] {
    const auto clients = impl_->live;
    for (const auto& client : clients) client->connection->Close();
    return !clients.empty();
  });
}

bool SimHost::ResetClient() {
  return impl_->Call([&] {
    const auto clients = impl_->live;
    for (const auto& client : clients) client->connection->Reset();
    return !clients.empty();
  });
}

void SimHost::SetTicks(bool on) {
  impl_->Call([&] {
    if (on)
      impl_->StartTicks();
    else
      impl_->StopTicks();
    return true;
  });
}

void SimHost::SetValuePeriod(Millis period) {
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->valuePeriod = period;
  }
  impl_->Call([this] {
    impl_->valueTimerAt.reset();
    impl_->valueTimer.cancel();
    impl_->PumpValues();
    return true;
  });
}

void SimHost::SetFlood(bool on) {
  impl_->Call([&] {
    impl_->SetFlooding(on);
    return true;
  });
}

FloodCounters SimHost::Flood() const {
  const Impl& d = *impl_;
  return FloodCounters{d.flood.on.load(), d.flood.writing.load(), d.flood.messages.load(), d.flood.bytes.load(),
                       d.flood.batches.load()};
}

}  // namespace simhost
