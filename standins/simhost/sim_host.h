// SimHost: a SimConnect server standing in for the simulator, so that a real
// client link can be tested over real pipes and sockets.
//
//   simhost::Options options;
//   options.pipe = false;   // or a pipe name of the test's own
//   options.tcp4Port = 0;   // ephemeral; see Tcp4Port()
//   simhost::SimHost host(options);
//   host.Start();
//   ... connect the client to 127.0.0.1:host.Tcp4Port() ...
//   host.WaitForMessages(8, 2s);
//   host.SendEvent("Sim", 1);
//
// It listens on any mix of the named pipe, TCP over IPv4 and over IPv6, and
// serves one client at a time (a connection that arrives while another is
// active waits until that one ends) or, with `severalClients`, every client
// at once, each with its own subscriptions, menu, data definitions and
// requests, as a simulator serves the bridge and other add-ons side by side.
// Every client message is decoded and
// recorded; the open message is answered; subscriptions, the menu, data
// definitions and requests are kept as a simulator keeps them (anew for each
// connection); values go out for the requests; commands make it send events,
// aircraft loads, menu picks, exceptions, raw bytes, QUIT, or close the link,
// or flood the client with values for load and soak runs.
//
// All I/O and all protocol work happen on one thread of its own. Every member
// function is thread-safe. The commands return once their bytes are queued for
// writing; they return false (and send nothing) when no client is connected.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"
#include "session.h"

namespace simhost {

struct Options {
  bool pipe = true;          // listen on the named pipe \\.\pipe\<pipeName>
  std::string pipeName;      // empty: the simulator's default name
  std::optional<std::uint16_t> tcp4Port;  // listen on 127.0.0.1; 0: an ephemeral port
  std::optional<std::uint16_t> tcp6Port;  // listen on ::1; 0: an ephemeral port
  Millis valuePeriod{1000};  // a changed value goes out at most once per period
  bool ticks = false;        // send "6Hz" and "1sec" on their own from the start
  // What a simulator shows its user (menu tree, text lines) and one line per
  // connection, disconnection and received message. Null: nowhere.
  std::ostream* display = nullptr;
  bool quiet = false;        // leave out the per-message lines
  bool severalClients = false;  // serve connections side by side instead of one after another
  // As a simulator that is still starting: every answer to a client (the
  // open answer first) is held until this long after it connected. What the
  // client sends meanwhile is taken and kept as usual.
  Millis openDelay{0};
  // At most this many clients at once, waiting ones included; the next is
  // closed at once, as a full server's listener does. 0: no limit.
  std::size_t maxClients = 0;
  // Refuse A: names the catalogue does not know, and units of another
  // dimension, as a simulator does (see `Accept`). Off: only `Reject`ed ones.
  bool knownNamesOnly = true;
};

// What the flood has written, over every connection.
struct FloodCounters {
  bool on = false;
  bool writing = false;             // a batch is queued or in writing
  std::uint64_t valueMessages = 0;  // SIMOBJECT_DATA messages whose write completed
  std::uint64_t bytes = 0;
  std::uint64_t batches = 0;
};

class SimHost {
 public:
  explicit SimHost(Options options = {});
  ~SimHost();  // Stop()
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // Binds every listener and starts the I/O thread; once per host. Throws
  // std::system_error (with the endpoint in its text) when a listener cannot
  // bind.
  void Start();
  // Closes the client connection in order, stops listening and joins the
  // thread. Idempotent.
  void Stop();

  std::uint16_t Tcp4Port() const;  // 0 when not listening on it
  std::uint16_t Tcp6Port() const;
  std::vector<std::string> Endpoints() const;  // one description per listener

  // ---- Connections --------------------------------------------------------
  bool ClientConnected() const;
  std::size_t ConnectionCount() const;  // connections served so far, the current one included
  bool WaitForClient(Millis timeout) const;      // until a client is connected
  bool WaitForConnections(std::size_t n, Millis timeout) const;
  bool WaitForDisconnect(Millis timeout) const;  // until no client is connected

  // ---- What was received ----------------------------------------------------
  // Every message of every connection in arrival order, refused ones included.
  std::vector<ClientMessage> Messages() const;
  std::size_t MessageCount() const;
  bool WaitForMessages(std::size_t n, Millis timeout) const;  // until MessageCount() >= n
  // Index of the first message of `type` at index >= from.
  std::optional<std::size_t> WaitForMessage(std::uint32_t type, std::size_t from, Millis timeout) const;
  std::vector<ClientMessage> Refused() const;
  // Kept for the current (or last) connection, the latest one served:
  std::map<std::uint32_t, std::string> Subscriptions() const;  // client event id -> system event name
  std::vector<MenuItem> Menu() const;                          // in the order added
  std::map<std::uint32_t, std::vector<Datum>> Definitions() const;
  std::map<std::uint32_t, Request> Requests() const;           // by request id; period NEVER removed it
  std::vector<TextLine> TextLines() const;                     // of every connection

  // ---- Commands -------------------------------------------------------------
  // A system event ("Sim", "6Hz", "1sec", ...; without regard to case) to every
  // client event id subscribed to it, of every client. Returns how many events
  // were sent. Values, "AircraftLoaded", QUIT and closing the link go to every
  // client; the other commands to the current one.
  std::size_t SendEvent(const std::string& systemEventName, std::uint32_t data = 0);
  bool SendEventId(std::uint32_t eventId, std::uint32_t data = 0, std::uint32_t groupId = wire::kUnused);
  // EVENT_FILENAME to the "AircraftLoaded" subscriber; false when none.
  bool SendAircraftLoaded(const std::string& windowsPath);
  // The user picked a menu (sub-)item: EVENT with group 0xFFFFFFFF, to the
  // clients whose menu holds it (none: the current client).
  bool SendMenuPick(std::uint32_t itemId);
  bool SendSystemState(std::uint32_t requestId, std::uint32_t integer, float value, const std::string& text);
  // The value of a simulation variable (name and unit without regard to case;
  // unknown ones are 0). Requests with period SECOND send it when it changed.
  // A local variable ("L:NAME") has one value in every unit, and registering
  // one that is not known yet creates it with 0 (no exception), as the
  // simulator does.
  void SetValue(const std::string& name, const std::string& unit, double value);
  std::optional<double> Value(const std::string& name, const std::string& unit) const;
  // Until a request of the current client has sent it the variable `name`
  // with its present value (a request for it must exist): what the host
  // sends afterwards reaches the client after that value.
  bool WaitForValueSent(const std::string& name, Millis timeout) const;
  // The local variables set or registered so far, each as first written.
  std::vector<std::string> LocalVariables() const;
  // AddToDataDefinition with this datum name is answered by EXCEPTION
  // NAME_UNRECOGNIZED naming its send id (index 1: the name), whatever the
  // catalogue says; `Accept` lets the name register even when the catalogue
  // does not know it.
  void Reject(const std::string& datumName);
  void Accept(const std::string& datumName);
  // Sets what RequestSystemState answers for `name` (system_state.h; a
  // number for Sim and DialogMode); with `answerWaiting`, the requests that
  // waited for it are answered now, each with its own request id. Returns
  // how many were answered, or nullopt for a number that does not read.
  std::optional<std::size_t> SetSystemState(StateName name, const std::string& text, bool answerWaiting = true);
  bool SendException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index = 0);
  bool SendRaw(Bytes bytes);
  // The bytes in two writes: [0, splitAt) and the rest after `pause`.
  bool SendRawSplit(Bytes bytes, std::size_t splitAt, Millis pause);
  bool SendQuit();
  bool CloseClient();  // orderly: after what is queued
  bool ResetClient();  // abortive: a TCP reset; queued bytes are dropped
  void SetTicks(bool on);
  void SetValuePeriod(Millis period);
  // Flood: value messages (SIMOBJECT_DATA) for every request of the client,
  // as fast as it takes them: one batch is in writing at a time and the next
  // goes when it completed, so the socket stays full while the host's own
  // queue stays small. The ticks ("6Hz", "1sec") run meanwhile; off puts them
  // back as they were. It waits for requests and lasts across connections.
  void SetFlood(bool on);
  FloodCounters Flood() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A readable rendering of the menu tree: "menu: Corvane [6]" and one indented
// line per sub-item, or "menu: (empty)".
std::string RenderMenu(const std::vector<MenuItem>& menu);

}  // namespace simhost
