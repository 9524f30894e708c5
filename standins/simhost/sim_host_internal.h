// The inside of SimHost, for simhost's own files only. Each file takes one
// part of it: sim_host.cpp (the I/O thread, the lock and the connections),
// sim_host_calls.cpp (SimHost's public calls over this inside), pump.cpp (the values requests are due), flood.cpp (values as fast as the
// client reads) and ticks.cpp (system events to their subscribers, the
// 6Hz/1sec ticks). Each client's stream is cut by its Framer and kept by its
// Session.
//
// Locking: what callers may read (connection state, the messages, the
// sessions, the values) is guarded by `mu`; the rest belongs to the I/O
// thread alone, except the flood's counters, which are atomics.
#pragma once

#include <asio.hpp>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "connection.h"
#include "framer.h"
#include "listener.h"
#include "sim_host.h"

namespace simhost {

struct SimHost::Impl {
  explicit Impl(Options o);

  // One connection, what it set up with the simulator and its stream. The
  // session is read under `mu`; the stream on the I/O thread only.
  struct Client {
    Client(ValueStore& values, const SystemState& state) : session(values, &state) {}
    std::shared_ptr<Connection> connection;  // null once it ended
    std::size_t number = 0;                  // 1 for the first connection served
    Clock::time_point holdUntil;             // no answer goes out before (Options::openDelay)
    bool holdArmed = false;                  // the first write carries the hold
    Session session;
    Framer framer;
  };

  // The flood's state: `on` and `writing` are read by callers too.
  struct FloodState {
    std::atomic<bool> on{false};
    std::atomic<bool> writing{false};  // a batch is queued or in writing
    std::atomic<std::uint64_t> messages{0}, bytes{0}, batches{0};
    bool ticksBefore = false;  // whether the ticks ran before the flood started them
    Bytes batch;
    std::uint64_t batchMessages = 0;
    std::uint64_t batchGeneration = 0;
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
  ValueStore values;
  SystemState systemState;
  Millis valuePeriod{1000};
  // The latest connection served, kept after it ended for the accessors; the
  // commands for one client go to it.
  std::shared_ptr<Client> current;
  // Bumped whenever what a flood batch holds may change.
  std::uint64_t dataGeneration = 1;

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
  FloodState flood;

  std::mutex outMu;

  // ---- Output (sim_host.cpp) ----
  void Show(const std::string& text);
  void Complain(const std::string& text);

  // Runs `fn` on the I/O thread and returns its result; a default result when
  // the thread is not running.
  template <class Fn>
  auto Call(Fn fn) -> decltype(fn());

  // ---- Connections (sim_host.cpp; I/O thread) ----
  Connection* Active() const { return current && current->connection ? current->connection.get() : nullptr; }
  bool SendToClient(Bytes bytes, Millis pause = {});
  // Every message to a client goes here: the first one waits out the
  // client's hold, and the rest queue behind it in order. (The flood writes
  // its batches itself, queued behind the open answer that armed the hold.)
  bool SendTo(Client& client, Bytes bytes, Millis pause = {});
  void OnAccept(std::shared_ptr<Connection> connection);
  void Activate(std::shared_ptr<Connection> connection);
  void OnEnd(Client& client, Connection* connection, const std::string& reason);
  void OnBytes(Client& client, const std::uint8_t* data, std::size_t size);
  void Handle(Client& client, ClientMessage m);
  void Shutdown();

  template <class Pred>
  bool WaitUntil(Millis timeout, Pred pred) const {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, timeout, pred);
  }

  // ---- Values (pump.cpp; I/O thread) ----
  void PumpValues();
  void PumpValues(Client& client, std::optional<Clock::time_point>& next);

  // ---- Events and ticks (ticks.cpp; I/O thread) ----
  // Sends what `build` makes of each subscribed client event id to every
  // client that subscribed to the system event; returns how many went out.
  std::size_t SendToSubscribers(const std::string& systemEvent, const std::function<Bytes(std::uint32_t)>& build);
  void StartTicks();
  void StopTicks();
  void ArmTick();

  // ---- Flood (flood.cpp; I/O thread) ----
  void SetFlooding(bool on);
  void FloodNext();
  void RefreshFloodBatch();
};

template <class Fn>
auto SimHost::Impl::Call(Fn fn) -> decltype(fn()) {
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

}  // namespace simhost
