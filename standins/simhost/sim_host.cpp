// SimHost's I/O thread, its lock and its connections: accepting, serving one
// or several clients, cutting their byte streams into messages and handing
// each message to the client's session; and the thread-safe face the callers
// use. The values, the ticks and the flood each have a file of their own.
#include "sim_host.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "sim_host_internal.h"

namespace simhost {
namespace {

std::string FormatSeconds(float seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", double(seconds));
  return buf;
}

}  // namespace

std::string RenderMenu(const std::vector<MenuItem>& menu) {
  if (menu.empty()) return "menu: (empty)";
  std::string out;
  for (const MenuItem& item : menu) {
    if (!out.empty()) out += '\n';
    out += "menu: " + (item.added ? item.text : std::string("(no such item)")) + " [" + std::to_string(item.id) + "]";
    for (const MenuSubItem& sub : item.subItems) out += "\n  " + sub.text + " [" + std::to_string(sub.id) + "]";
  }
  return out;
}

SimHost::Impl::Impl(Options o)
    : options(std::move(o)), work(asio::make_work_guard(io)), valueTimer(io), tickTimer(io) {
  valuePeriod = options.valuePeriod;
  values.CheckCatalogue(options.knownNamesOnly);
}

// ---- Output ----
void SimHost::Impl::Show(const std::string& text) {
  if (!options.display) return;
  std::lock_guard<std::mutex> lock(outMu);
  *options.display << text << '\n';
  options.display->flush();
}

void SimHost::Impl::Complain(const std::string& text) {
  std::lock_guard<std::mutex> lock(outMu);
  std::cerr << "simhost: " << text << '\n';
  std::cerr.flush();
}

// ---- Connections (I/O thread) ----
bool SimHost::Impl::SendToClient(Bytes bytes, Millis pause) {
  if (Active() == nullptr) return false;
  return Write(*current, std::move(bytes), pause);
}

bool SimHost::Impl::SendTo(Client& client, Bytes bytes) { return Write(client, std::move(bytes)); }

bool SimHost::Impl::Write(Client& client, Bytes bytes, Millis pause) {
  if (!client.connection) return false;
  if (!client.holdArmed) {
    client.holdArmed = true;
    const auto left = std::chrono::ceil<Millis>(client.holdUntil - Clock::now());
    if (left > pause) pause = left;
  }
  client.connection->Send(std::move(bytes), pause);
  return true;
}

void SimHost::Impl::OnAccept(std::shared_ptr<Connection> connection) {
  if (stopping) {
    connection->Reset();
    return;
  }
  if (options.maxClients > 0 && live.size() + waiting.size() >= options.maxClients) {
    Show("client refused: " + connection->Describe() + " (" + std::to_string(options.maxClients) +
         " clients already, the most served at once)");
    connection->Start({});  // read and drop what it sent, so that the close is orderly
    connection->Close();
    return;
  }
  if (!live.empty() && !options.severalClients) {
    Show("client waiting: " + connection->Describe() + " (another client is connected)");
    waiting.push_back(std::move(connection));
    return;
  }
  Activate(std::move(connection));
}

void SimHost::Impl::Activate(std::shared_ptr<Connection> connection) {
  auto client = std::make_shared<Client>(values, systemState);
  client->connection = connection;
  client->holdUntil = Clock::now() + options.openDelay;
  {
    std::lock_guard<std::mutex> lock(mu);
    client->number = ++connections;
    connected = true;
    current = client;
    ++dataGeneration;
  }
  live.push_back(client);
  flood.writing = false;
  cv.notify_all();
  Show("client connected: " + connection->Describe() +
       (options.openDelay.count() > 0 ? " (answers held for " + std::to_string(options.openDelay.count()) + " ms)"
                                      : std::string()));
  Connection* raw = connection.get();
  Client* state = client.get();
  connection->Start(Connection::Events{
      [this, raw, state](const std::uint8_t* data, std::size_t size) {
        if (state->connection.get() == raw) OnBytes(*state, data, size);
      },
      [this, raw, state](const std::string& reason) { OnEnd(*state, raw, reason); },
  });
}

void SimHost::Impl::OnEnd(Client& client, Connection* connection, const std::string& reason) {
  if (client.connection.get() != connection) return;
  Show("client disconnected: " + reason);
  if (&client == current.get()) flood.writing = false;
  client.connection.reset();
  client.framer.Clear();
  live.erase(std::remove_if(live.begin(), live.end(), [&](const auto& c) { return c.get() == &client; }), live.end());
  {
    std::lock_guard<std::mutex> lock(mu);
    connected = !live.empty();
  }
  cv.notify_all();
  if (!stopping && live.empty() && !waiting.empty()) {
    auto next = std::move(waiting.front());
    waiting.pop_front();
    Activate(std::move(next));
  }
}

// ---- Receiving (I/O thread) ----
void SimHost::Impl::OnBytes(Client& client, const std::uint8_t* data, std::size_t size) {
  client.framer.Append(data, size);
  while (client.connection) {
    std::optional<ClientMessage> m = client.framer.Next();
    if (!m) break;
    Handle(client, std::move(*m));
    if (client.framer.Refused() && client.connection) client.connection->Close();
  }
}

void SimHost::Impl::Handle(Client& client, ClientMessage m) {
  Effects effects;
  std::vector<MenuItem> menu;
  {
    std::lock_guard<std::mutex> lock(mu);
    m.connection = client.number;
    effects = client.session.Apply(m);
    if (effects.valuesMayBeDue) ++dataGeneration;
    if (effects.text) textLines.push_back(*effects.text);
    if (effects.menuChanged) menu = client.session.Menu();
  }
  // Recorded only after its lines are shown, so that what a script shows
  // after waiting for this message comes after them.
  if (m.refused) {
    Complain(Describe(m));
  } else if (!options.quiet) {
    Show("recv " + Describe(m));
  }
  if (effects.menuChanged) Show(RenderMenu(menu));
  if (const auto& text = effects.text) {
    std::string kind =
        text->type == wire::kTextTypePrintRed ? std::string("red") : "type " + std::to_string(text->type);
    Show("text (" + kind + ", " + FormatSeconds(text->seconds) + " s): " + text->text);
  }
  {
    std::lock_guard<std::mutex> lock(mu);
    messages.push_back(std::move(m));
  }
  cv.notify_all();
  for (Bytes& reply : effects.replies) SendTo(client, std::move(reply));
  if (effects.valuesMayBeDue) {
    PumpValues();
    FloodNext();
  }
}

// ---- Stopping (I/O thread) ----
void SimHost::Impl::Shutdown() {
  stopping = true;
  for (auto& l : listeners) l->Stop();
  StopTicks();
  valueTimer.cancel();
  for (auto& w : waiting) w->Reset();
  waiting.clear();
  for (const std::shared_ptr<Client>& client : live) client->connection->Close();
}

SimHost::SimHost(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

SimHost::~SimHost() { Stop(); }

void SimHost::Start() {
  Impl& d = *impl_;
  if (d.started) return;
  auto bindOrThrow = [&](auto make, const std::string& what) {
    try {
      d.listeners.push_back(make());
    } catch (const std::system_error& e) {
      d.listeners.clear();
      throw std::system_error(e.code(), "cannot listen on " + what);
    }
  };
  if (d.options.pipe) {
    std::string name = d.options.pipeName.empty() ? kDefaultPipeName : d.options.pipeName;
    bindOrThrow([&] { return MakePipeListener(d.io, name); }, "pipe " + PipePath(name));
  }
  if (d.options.tcp4Port) {
    bindOrThrow([&] { return MakeTcpListener(d.io, false, *d.options.tcp4Port); },
                "tcp4 port " + std::to_string(*d.options.tcp4Port));
    d.tcp4Port = d.listeners.back()->Port();
  }
  if (d.options.tcp6Port) {
    bindOrThrow([&] { return MakeTcpListener(d.io, true, *d.options.tcp6Port); },
                "tcp6 port " + std::to_string(*d.options.tcp6Port));
    d.tcp6Port = d.listeners.back()->Port();
  }
  for (auto& l : d.listeners) {
    d.endpoints.push_back(l->Describe());
    l->Start([&d](std::shared_ptr<Connection> c) { d.OnAccept(std::move(c)); });
  }
  if (d.options.ticks) asio::post(d.io, [&d] { d.StartTicks(); });
  d.started = true;
  {
    std::lock_guard<std::mutex> lock(d.mu);
    d.running = true;
    d.runReturned = false;
  }
  d.thread = std::thread([&d] {
    d.io.run();
    {
      std::lock_guard<std::mutex> lock(d.mu);
      d.runReturned = true;
    }
    d.cv.notify_all();
  });
}

void SimHost::Stop() {
  Impl& d = *impl_;
  if (!d.thread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(d.mu);
    d.running = false;  // no more commands
  }
  asio::post(d.io, [&d] { d.Shutdown(); });
  d.work.reset();
  // An orderly close waits a little for the client to close its side; after
  // that everything still pending is abandoned.
  if (!d.WaitUntil(Millis(5000), [&d] { return d.runReturned; })) d.io.stop();
  d.thread.join();
}

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

void SimHost::Reject(const std::string& datumName, bool reject) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->values.Reject(datumName, reject);
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
