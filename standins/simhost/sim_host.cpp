// SimHost's I/O thread, its lock and its connections: accepting, serving one
// or several clients, cutting their byte streams into messages and handing
// each message to the client's session. The face the callers use, the
// values, the ticks and the flood each have a file of their own.
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
  return SendTo(*current, std::move(bytes), pause);
}

bool SimHost::Impl::SendTo(Client& client, Bytes bytes, Millis pause) {
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

}  // namespace simhost
