#include "sim_host.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <iostream>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <type_traits>

#include "listener.h"

namespace simhost {
namespace {

using Clock = std::chrono::steady_clock;

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsLocalName(const std::string& name) { return name.size() >= 2 && (name[0] == 'L' || name[0] == 'l') && name[1] == ':'; }

// A local variable ("L:NAME") has one value whatever unit it is asked in, as
// most local variables of the simulator ignore the unit.
std::string ValueKey(const std::string& name, const std::string& unit) {
  return IsLocalName(name) ? Upper(name) + '\n' : Upper(name) + '\n' + Upper(unit);
}

bool IsPeriodic(std::uint32_t period) {
  return period == SIMCONNECT_PERIOD_SECOND || period == SIMCONNECT_PERIOD_VISUAL_FRAME ||
         period == SIMCONNECT_PERIOD_SIM_FRAME;
}

bool IsFloatType(std::uint32_t type) {
  return type == SIMCONNECT_DATATYPE_FLOAT32 || type == SIMCONNECT_DATATYPE_FLOAT64;
}

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

struct SimHost::Impl {
  explicit Impl(Options o) : options(std::move(o)), work(asio::make_work_guard(io)), valueTimer(io), tickTimer(io) {}

  // What one request has sent so far.
  struct Progress {
    bool sent = false;
    Clock::time_point at;
    std::vector<double> values;
  };

  Options options;
  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work;
  std::thread thread;
  bool started = false;  // Start ran to its end; a host starts once
  std::vector<std::unique_ptr<Listener>> listeners;
  std::uint16_t tcp4Port = 0, tcp6Port = 0;
  std::vector<std::string> endpoints;

  // ---- Shared with the callers, under `mu` ----
  mutable std::mutex mu;
  mutable std::condition_variable cv;
  bool running = false;      // the I/O thread accepts work
  bool runReturned = false;  // the I/O thread is done
  bool connected = false;
  std::size_t connections = 0;
  std::vector<ClientMessage> messages;
  std::vector<TextLine> textLines;
  std::map<std::string, double> values;
  std::map<std::string, std::string> localNames;  // upper case -> as first written
  std::set<std::string> rejected;
  Millis valuePeriod{1000};

  // What one connection has set up with the simulator, and its stream. The
  // kept parts are read under `mu`; the stream on the I/O thread only.
  struct Client {
    std::shared_ptr<Connection> connection;  // null once it ended
    std::size_t number = 0;                  // 1 for the first connection served
    std::map<std::uint32_t, std::string> subscriptions;
    std::vector<MenuItem> menu;
    std::map<std::uint32_t, std::vector<Datum>> definitions;
    std::map<std::uint32_t, Request> requests;
    std::map<std::uint32_t, Progress> progress;
    Bytes rx;
    bool discarding = false;  // the stream could not be cut any more; it is closing
  };

  // The latest connection served, kept after it ended for the accessors
  // (set under `mu`); the commands for one client go to it.
  std::shared_ptr<Client> current;

  // ---- I/O thread only ----
  std::vector<std::shared_ptr<Client>> live;  // every connection being served, in order
  std::deque<std::shared_ptr<Connection>> waiting;
  bool stopping = false;
  asio::steady_timer valueTimer;
  std::optional<Clock::time_point> valueTimerAt;
  asio::steady_timer tickTimer;
  bool ticking = false;
  Clock::time_point tickStart;
  std::uint64_t tickCount = 0;
  bool flooding = false;
  bool floodInFlight = false;  // a flood batch is queued or in writing
  bool ticksBeforeFlood = false;
  Bytes floodBatch;
  std::uint64_t floodBatchMessages = 0;
  std::uint64_t floodBatchGeneration = 0;

  // Bumped under `mu` whenever what a flood batch holds may change.
  std::uint64_t dataGeneration = 1;
  std::atomic<bool> floodOn{false}, floodWriting{false};
  std::atomic<std::uint64_t> floodMessages{0}, floodBytes{0}, floodBatches{0};

  std::mutex outMu;

  // ---- Output ----
  void Show(const std::string& text) {
    if (!options.display) return;
    std::lock_guard<std::mutex> lock(outMu);
    *options.display << text << '\n';
    options.display->flush();
  }
  void Complain(const std::string& text) {
    std::lock_guard<std::mutex> lock(outMu);
    std::cerr << "simhost: " << text << '\n';
    std::cerr.flush();
  }

  // Runs `fn` on the I/O thread and returns its result; a default result when
  // the thread is not running.
  template <class Fn>
  auto Call(Fn fn) -> decltype(fn()) {
    using R = decltype(fn());
    if (io.get_executor().running_in_this_thread()) return fn();
    {
      std::lock_guard<std::mutex> lock(mu);
      if (!running) return R();
    }
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
    auto result = task->get_future();
    asio::post(io, [task] { (*task)(); });
    try {
      return result.get();
    } catch (const std::future_error&) {  // dropped unrun when the thread was stopped
      return R();
    }
  }

  // The current client while its connection lasts, else null.
  Connection* Active() const { return current && current->connection ? current->connection.get() : nullptr; }

  bool SendToClient(Bytes bytes, Millis pause = {}) {
    if (Active() == nullptr) return false;
    Active()->Send(std::move(bytes), pause);
    return true;
  }

  static bool SendTo(Client& client, Bytes bytes) {
    if (!client.connection) return false;
    client.connection->Send(std::move(bytes), {});
    return true;
  }

  // ---- Connections (I/O thread) ----
  void OnAccept(std::shared_ptr<Connection> connection) {
    if (stopping) {
      connection->Reset();
      return;
    }
    if (!live.empty() && !options.severalClients) {
      Show("client waiting: " + connection->Describe() + " (another client is connected)");
      waiting.push_back(std::move(connection));
      return;
    }
    Activate(std::move(connection));
  }

  void Activate(std::shared_ptr<Connection> connection) {
    auto client = std::make_shared<Client>();
    client->connection = connection;
    {
      std::lock_guard<std::mutex> lock(mu);
      client->number = ++connections;
      connected = true;
      current = client;
      ++dataGeneration;
    }
    live.push_back(client);
    floodInFlight = floodWriting = false;
    cv.notify_all();
    Show("client connected: " + connection->Describe());
    Connection* raw = connection.get();
    Client* state = client.get();
    connection->Start(Connection::Events{
        [this, raw, state](const std::uint8_t* data, std::size_t size) {
          if (state->connection.get() == raw) OnBytes(*state, data, size);
        },
        [this, raw, state](const std::string& reason) { OnEnd(*state, raw, reason); },
    });
  }

  void OnEnd(Client& client, Connection* connection, const std::string& reason) {
    if (client.connection.get() != connection) return;
    Show("client disconnected: " + reason);
    if (&client == current.get()) floodInFlight = floodWriting = false;
    client.connection.reset();
    client.rx.clear();
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
  void OnBytes(Client& client, const std::uint8_t* data, std::size_t size) {
    if (client.discarding) return;
    Bytes& rx = client.rx;
    rx.insert(rx.end(), data, data + size);
    std::size_t used = 0;
    while (client.connection && rx.size() - used >= 4) {
      std::uint32_t messageSize = ReadU32(rx.data() + used);
      if (messageSize < kClientHeaderSize || messageSize > kMaxClientMessage) {
        RefuseStream(client, Bytes(rx.begin() + used, rx.end()), messageSize);  // clears rx
        return;
      }
      if (rx.size() - used < messageSize) break;
      Bytes message(rx.begin() + used, rx.begin() + used + messageSize);
      used += messageSize;
      Handle(client, DecodeClientMessage(message));
    }
    if (client.connection) rx.erase(rx.begin(), rx.begin() + used);
  }

  // A size field that no message can have: the stream cannot be cut any more.
  void RefuseStream(Client& client, Bytes rest, std::uint32_t messageSize) {
    ClientMessage m;
    if (rest.size() > 64) rest.resize(64);  // enough to see what it was
    m.bytes = rest;
    m.size = messageSize;
    if (rest.size() >= 8) m.version = ReadU32(&rest[4]);
    if (rest.size() >= 12) m.type = ReadU32(&rest[8]);
    if (rest.size() >= 16) m.sendId = ReadU32(&rest[12]);
    m.refused = true;
    m.reason = "size field " + std::to_string(messageSize) + (messageSize < kClientHeaderSize
                                                                  ? " is smaller than the header"
                                                                  : " is larger than any client message") +
               "; closing the connection";
    client.discarding = true;
    client.rx.clear();
    Handle(client, std::move(m));
    if (client.connection) client.connection->Close();
  }

  void Handle(Client& client, ClientMessage m) {
    std::vector<Bytes> replies;
    bool menuChanged = false;
    std::optional<TextLine> text;
    {
      std::lock_guard<std::mutex> lock(mu);
      m.connection = client.number;
      if (!m.refused) Apply(client, m, replies, menuChanged, text);
    }
    // Recorded only after its lines are shown, so that what a script shows
    // after waiting for this message comes after them.
    if (m.refused) {
      Complain(Describe(m));
    } else if (!options.quiet) {
      Show("recv " + Describe(m));
    }
    if (menuChanged) Show(RenderMenu(MenuOf(client)));
    if (text) {
      std::string kind = text->type == SIMCONNECT_TEXT_TYPE_PRINT_RED ? std::string("red") : "type " + std::to_string(text->type);
      Show("text (" + kind + ", " + FormatSeconds(text->seconds) + " s): " + text->text);
    }
    {
      std::lock_guard<std::mutex> lock(mu);
      messages.push_back(m);
    }
    cv.notify_all();
    for (Bytes& reply : replies) SendTo(client, std::move(reply));
    if (!m.refused && (m.type == kSendRequestDataOnSimObject || m.type == kSendAddToDataDefinition ||
                       m.type == kSendClearDataDefinition)) {
      PumpValues();
      FloodNext();
    }
  }

  std::vector<MenuItem> MenuOf(const Client& client) const {
    std::lock_guard<std::mutex> lock(mu);
    return client.menu;
  }

  // Bookkeeping of one decoded message; under `mu`.
  void Apply(Client& client, const ClientMessage& m, std::vector<Bytes>& replies, bool& menuChanged,
             std::optional<TextLine>& text) {
    auto& menu = client.menu;
    auto& definitions = client.definitions;
    auto& requests = client.requests;
    auto& progress = client.progress;
    auto& subscriptions = client.subscriptions;
    auto findItem = [&](std::uint32_t id) {
      return std::find_if(menu.begin(), menu.end(), [id](const MenuItem& i) { return i.id == id; });
    };
    if (std::holds_alternative<OpenMsg>(m.decoded)) {
      replies.push_back(BuildOpen());
    } else if (auto* add = std::get_if<AddToDataDefinitionMsg>(&m.decoded)) {
      ++dataGeneration;
      if (rejected.count(Upper(add->datumName))) {
        replies.push_back(BuildException(SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, m.sendId, 2));
      } else {
        definitions[add->defineId].push_back(
            Datum{add->datumName, add->unitsName, add->datumType, add->epsilon, add->datumId, m.sendId});
        // The simulator creates an unknown local variable with 0, no exception.
        if (IsLocalName(add->datumName)) {
          values.emplace(ValueKey(add->datumName, add->unitsName), 0.0);
          localNames.emplace(Upper(add->datumName), add->datumName);
        }
      }
    } else if (auto* clear = std::get_if<ClearDataDefinitionMsg>(&m.decoded)) {
      ++dataGeneration;
      definitions.erase(clear->defineId);
    } else if (auto* req = std::get_if<RequestDataMsg>(&m.decoded)) {
      ++dataGeneration;
      progress.erase(req->requestId);
      if (req->period == SIMCONNECT_PERIOD_NEVER) {
        requests.erase(req->requestId);
      } else {
        requests[req->requestId] = Request{req->requestId, req->defineId, req->objectId, req->period, req->flags,
                                           req->origin,    req->interval, req->limit,    m.sendId};
      }
    } else if (auto* sub = std::get_if<SubscribeMsg>(&m.decoded)) {
      subscriptions[sub->eventId] = sub->eventName;
    } else if (auto* item = std::get_if<MenuAddItemMsg>(&m.decoded)) {
      auto it = findItem(item->menuEventId);
      if (it == menu.end()) it = menu.insert(menu.end(), MenuItem{item->menuEventId, "", 0, true, {}});
      it->text = item->text;
      it->data = item->data;
      it->added = true;
      menuChanged = true;
    } else if (auto* del = std::get_if<MenuDeleteItemMsg>(&m.decoded)) {
      auto it = findItem(del->menuEventId);
      if (it != menu.end()) {
        menu.erase(it);
        menuChanged = true;
      }
    } else if (auto* subItem = std::get_if<MenuAddSubItemMsg>(&m.decoded)) {
      auto it = findItem(subItem->menuEventId);
      if (it == menu.end()) it = menu.insert(menu.end(), MenuItem{subItem->menuEventId, "", 0, false, {}});
      auto& subs = it->subItems;
      auto s = std::find_if(subs.begin(), subs.end(), [&](const MenuSubItem& x) { return x.id == subItem->subEventId; });
      if (s == subs.end()) s = subs.insert(subs.end(), MenuSubItem{subItem->subEventId, "", 0});
      s->text = subItem->text;
      s->data = subItem->data;
      menuChanged = true;
    } else if (auto* delSub = std::get_if<MenuDeleteSubItemMsg>(&m.decoded)) {
      auto it = findItem(delSub->menuEventId);
      if (it != menu.end()) {
        auto& subs = it->subItems;
        auto s = std::find_if(subs.begin(), subs.end(), [&](const MenuSubItem& x) { return x.id == delSub->subEventId; });
        if (s != subs.end()) {
          subs.erase(s);
          if (!it->added && subs.empty()) menu.erase(it);
          menuChanged = true;
        }
      }
    } else if (auto* t = std::get_if<TextMsg>(&m.decoded)) {
      TextLine line{t->textType, t->seconds, t->eventId, t->text, m.sendId};
      textLines.push_back(line);
      text = line;
    }
  }

  // ---- Values (I/O thread) ----
  // Sends the data of every request that is due: right after the request, then
  // whenever it changed (or every period without the CHANGED flag), at most
  // once per value period. Arms the timer for the next one that waits.
  void PumpValues() {
    if (stopping) return;
    std::optional<Clock::time_point> next;
    for (const std::shared_ptr<Client>& client : live) PumpValues(*client, next);
    if (next && (!valueTimerAt || *next < *valueTimerAt)) {
      valueTimerAt = next;
      valueTimer.expires_at(*next);
      valueTimer.async_wait([this](const std::error_code& ec) {
        if (ec) return;
        valueTimerAt.reset();
        PumpValues();
      });
    }
  }

  // One client's requests that are due; `next` receives the earliest time at
  // which one that waits is due.
  void PumpValues(Client& client, std::optional<Clock::time_point>& next) {
    std::vector<Bytes> out;
    Clock::time_point now = Clock::now();
    {
      std::lock_guard<std::mutex> lock(mu);
      auto& definitions = client.definitions;
      for (auto& [id, req] : client.requests) {
        Progress& p = client.progress[id];
        if (req.period == SIMCONNECT_PERIOD_ONCE && p.sent) continue;
        if (req.period != SIMCONNECT_PERIOD_ONCE && !IsPeriodic(req.period)) continue;
        auto def = definitions.find(req.defineId);
        if (def == definitions.end() || def->second.empty()) continue;
        std::vector<double> current;
        Bytes data = CurrentData(def->second, &current);
        if (p.sent && (req.flags & SIMCONNECT_DATA_REQUEST_FLAG_CHANGED) && !Changed(def->second, p.values, current))
          continue;
        if (p.sent && now < p.at + valuePeriod) {
          Clock::time_point due = p.at + valuePeriod;
          if (!next || due < *next) next = due;
          continue;
        }
        out.push_back(BuildSimObjectData(req.requestId, 0, req.defineId, req.flags,
                                         std::uint32_t(def->second.size()), data));
        p.sent = true;
        p.at = now;
        p.values = std::move(current);
      }
    }
    for (Bytes& b : out) SendTo(client, std::move(b));
  }

  // The data of one definition with the current values; under `mu`.
  Bytes CurrentData(const std::vector<Datum>& datums, std::vector<double>* current) const {
    Bytes data;
    for (const Datum& d : datums) {
      auto v = values.find(ValueKey(d.name, d.unit));
      current->push_back(v == values.end() ? 0.0 : v->second);
      Bytes one = EncodeDatum(d.type, current->back());
      data.insert(data.end(), one.begin(), one.end());
    }
    return data;
  }

  // Whether a value moved by more than its datum's epsilon (any change for 0).
  static bool Changed(const std::vector<Datum>& datums, const std::vector<double>& before,
                      const std::vector<double>& now) {
    if (before.size() != now.size()) return true;
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (i < datums.size() && IsFloatType(datums[i].type) && datums[i].epsilon > 0) {
        if (std::fabs(now[i] - before[i]) > datums[i].epsilon) return true;
      } else if (EncodeDatum(i < datums.size() ? datums[i].type : 0, now[i]) !=
                 EncodeDatum(i < datums.size() ? datums[i].type : 0, before[i])) {
        return true;
      }
    }
    return false;
  }

  // ---- Events (I/O thread) ----
  std::size_t SendSystemEvent(const std::string& name, std::uint32_t data) {
    std::size_t sent = 0;
    for (const std::shared_ptr<Client>& client : live) {
      for (std::uint32_t id : SubscribersOf(*client, name)) {
        sent += SendTo(*client, BuildEvent(SIMCONNECT_UNUSED, id, data)) ? 1 : 0;
      }
    }
    return sent;
  }

  // Whether a client's menu has an item or sub-item with this id.
  bool HoldsMenuItem(const Client& client, std::uint32_t id) const {
    std::lock_guard<std::mutex> lock(mu);
    for (const MenuItem& item : client.menu) {
      if (item.id == id) return true;
      for (const MenuSubItem& sub : item.subItems) {
        if (sub.id == id) return true;
      }
    }
    return false;
  }

  // The client event ids subscribed to a system event.
  std::vector<std::uint32_t> SubscribersOf(const Client& client, const std::string& name) const {
    std::vector<std::uint32_t> ids;
    std::lock_guard<std::mutex> lock(mu);
    for (auto& [id, subscribed] : client.subscriptions)
      if (Upper(subscribed) == Upper(name)) ids.push_back(id);
    return ids;
  }

  void StartTicks() {
    if (ticking) return;
    ticking = true;
    tickStart = Clock::now();
    tickCount = 0;
    ArmTick();
  }

  void StopTicks() {
    ticking = false;
    tickTimer.cancel();
  }

  // "6Hz" six times a second on a fixed grid, "1sec" with every sixth.
  void ArmTick() {
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
      SendSystemEvent("6Hz", 0);
      if (tickCount % 6 == 0) SendSystemEvent("1sec", 0);
      ArmTick();
    });
  }

  // ---- Flood (I/O thread) ----
  // A batch big enough that each write is worth its completion.
  static constexpr std::size_t kFloodBatchBytes = 16384;

  void SetFlooding(bool on) {
    if (on == flooding) return;
    flooding = on;
    floodOn = on;
    if (on) {
      ticksBeforeFlood = ticking;
      StartTicks();
      FloodNext();
    } else if (!ticksBeforeFlood) {
      StopTicks();
    }
  }

  // Writes the next batch unless one is still in hand; a batch that was
  // written counts and asks for the next.
  void FloodNext() {
    if (!flooding || floodInFlight || Active() == nullptr || stopping) return;
    RefreshFloodBatch();
    if (floodBatchMessages == 0) return;  // nothing requested yet: a request calls again
    floodInFlight = floodWriting = true;
    const std::uint64_t messages = floodBatchMessages, bytes = floodBatch.size();
    Active()->Send(floodBatch, {}, [this, messages, bytes] {
      floodMessages += messages;
      floodBytes += bytes;
      ++floodBatches;
      floodInFlight = floodWriting = false;
      FloodNext();
    });
  }

  // One value message per active request with its current values, the round
  // repeated up to the batch size; built again only after a change.
  void RefreshFloodBatch() {
    std::lock_guard<std::mutex> lock(mu);
    if (floodBatchGeneration == dataGeneration) return;
    floodBatchGeneration = dataGeneration;
    Bytes round;
    std::uint64_t perRound = 0;
    if (!current) return;
    for (const auto& [id, req] : current->requests) {
      if (!IsPeriodic(req.period) && req.period != SIMCONNECT_PERIOD_ONCE) continue;
      auto def = current->definitions.find(req.defineId);
      if (def == current->definitions.end() || def->second.empty()) continue;
      std::vector<double> current;
      Bytes message = BuildSimObjectData(req.requestId, 0, req.defineId, req.flags,
                                         std::uint32_t(def->second.size()), CurrentData(def->second, &current));
      round.insert(round.end(), message.begin(), message.end());
      ++perRound;
    }
    floodBatch.clear();
    floodBatchMessages = 0;
    if (perRound == 0) return;
    while (floodBatch.size() < kFloodBatchBytes) {
      floodBatch.insert(floodBatch.end(), round.begin(), round.end());
      floodBatchMessages += perRound;
    }
  }

  // ---- Waiting (callers) ----
  template <class Pred>
  bool WaitUntil(Millis timeout, Pred pred) const {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, timeout, pred);
  }

  // ---- Stopping (I/O thread) ----
  void Shutdown() {
    stopping = true;
    for (auto& l : listeners) l->Stop();
    StopTicks();
    valueTimer.cancel();
    for (auto& w : waiting) w->Reset();
    waiting.clear();
    for (const std::shared_ptr<Client>& client : live) client->connection->Close();
  }
};

SimHost::SimHost(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {
  impl_->valuePeriod = impl_->options.valuePeriod;
}

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
  return impl_->current ? impl_->current->subscriptions : std::map<std::uint32_t, std::string>();
}

std::vector<MenuItem> SimHost::Menu() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->menu : std::vector<MenuItem>();
}

std::map<std::uint32_t, std::vector<Datum>> SimHost::Definitions() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->definitions : std::map<std::uint32_t, std::vector<Datum>>();
}

std::map<std::uint32_t, Request> SimHost::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->current ? impl_->current->requests : std::map<std::uint32_t, Request>();
}

std::vector<TextLine> SimHost::TextLines() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->textLines;
}

std::size_t SimHost::SendEvent(const std::string& name, std::uint32_t data) {
  return impl_->Call([&] { return impl_->SendSystemEvent(name, data); });
}

bool SimHost::SendEventId(std::uint32_t eventId, std::uint32_t data, std::uint32_t groupId) {
  return impl_->Call([&] { return impl_->SendToClient(BuildEvent(groupId, eventId, data)); });
}

bool SimHost::SendAircraftLoaded(const std::string& path) {
  return impl_->Call([&] {
    bool sent = false;
    for (const auto& client : impl_->live) {
      for (std::uint32_t id : impl_->SubscribersOf(*client, "AircraftLoaded")) {
        sent = Impl::SendTo(*client, BuildEventFilename(id, path)) || sent;
      }
    }
    return sent;
  });
}

bool SimHost::SendMenuPick(std::uint32_t itemId) {
  return impl_->Call([&] {
    // To the clients whose menu holds the item; when none does, to the current one.
    bool sent = false;
    for (const auto& client : impl_->live) {
      if (impl_->HoldsMenuItem(*client, itemId)) sent = Impl::SendTo(*client, BuildEvent(SIMCONNECT_UNUSED, itemId, 0)) || sent;
    }
    return sent || impl_->SendToClient(BuildEvent(SIMCONNECT_UNUSED, itemId, 0));
  });
}

bool SimHost::SendSystemState(std::uint32_t requestId, std::uint32_t integer, float value, const std::string& text) {
  return impl_->Call([&] { return impl_->SendToClient(BuildSystemState(requestId, integer, value, text)); });
}

void SimHost::SetValue(const std::string& name, const std::string& unit, double value) {
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->values[ValueKey(name, unit)] = value;
    if (IsLocalName(name)) impl_->localNames.emplace(Upper(name), name);
    ++impl_->dataGeneration;
  }
  impl_->Call([this] { impl_->PumpValues(); });
}

std::optional<double> SimHost::Value(const std::string& name, const std::string& unit) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->values.find(ValueKey(name, unit));
  if (it == impl_->values.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> SimHost::LocalVariables() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  std::vector<std::string> names;
  for (const auto& [key, name] : impl_->localNames) names.push_back(name);
  return names;
}

void SimHost::Reject(const std::string& datumName, bool reject) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (reject)
    impl_->rejected.insert(Upper(datumName));
  else
    impl_->rejected.erase(Upper(datumName));
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
    for (const auto& client : impl_->live) sent = Impl::SendTo(*client, BuildQuit()) || sent;
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
  return FloodCounters{d.floodOn.load(), d.floodWriting.load(), d.floodMessages.load(), d.floodBytes.load(),
                       d.floodBatches.load()};
}

}  // namespace simhost
