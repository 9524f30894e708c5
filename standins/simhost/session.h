// What one client has set up with the simulator (subscriptions, menu, data
// definitions, requests and what each request has sent so far), and how each
// of its messages changes that. Apply is plain single-threaded bookkeeping:
// it returns what the host has to do (answers to send, lines to show) rather
// than doing it, so it can be driven without sockets.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"
#include "system_state.h"
#include "value_store.h"

namespace simhost {

using Millis = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

struct MenuSubItem {
  std::uint32_t id = 0;
  std::string text;
  std::uint32_t data = 0;
};

struct MenuItem {
  std::uint32_t id = 0;
  std::string text;
  std::uint32_t data = 0;
  bool added = true;  // false: sub-items arrived for an id that no MenuAddItem made
  std::vector<MenuSubItem> subItems;
};

struct Request {
  std::uint32_t requestId = 0, defineId = 0, objectId = 0, period = 0, flags = 0, origin = 0, interval = 0,
                limit = 0;
  std::uint32_t sendId = 0;
};

struct TextLine {
  std::uint32_t type = 0;
  float seconds = 0;
  std::uint32_t eventId = 0;
  std::string text;  // the data up to its first zero byte
  std::uint32_t sendId = 0;
};

// What one request has sent so far.
struct Progress {
  bool sent = false;
  Clock::time_point at;
  std::vector<double> values;
};

// What the host does after one message.
struct Effects {
  std::vector<Bytes> replies;      // to this client, in order
  bool menuChanged = false;        // show the menu again
  std::optional<TextLine> text;    // a text line the simulator shows
  bool valuesMayBeDue = false;     // definitions or requests changed
};

class Session {
 public:
  // `values` receives the local variables that registering creates and says
  // which names are refused; `state` answers RequestSystemState (none: no
  // state is known, so requests for a file wait).
  explicit Session(ValueStore& values, const SystemState* state = nullptr)
      : values_(&values), state_(state != nullptr ? state : &kNoState) {}

  Effects Apply(const ClientMessage& message);

  const std::map<std::uint32_t, std::string>& Subscriptions() const { return subscriptions_; }
  const std::vector<MenuItem>& Menu() const { return menu_; }
  const std::map<std::uint32_t, std::vector<Datum>>& Definitions() const { return definitions_; }
  const std::map<std::uint32_t, Request>& Requests() const { return requests_; }
  const std::map<std::uint32_t, Progress>& Sent() const { return progress_; }

  // The client event ids subscribed to a system event (name without regard to case).
  std::vector<std::uint32_t> SubscribersOf(const std::string& systemEvent) const;
  // Whether the menu has an item or sub-item with this id.
  bool HoldsMenuItem(std::uint32_t id) const;
  // A value message for the request went out at `at` with these values.
  void MarkSent(std::uint32_t requestId, Clock::time_point at, std::vector<double> values);

  // The answers to the requests for `name` that waited for the state to be
  // known; they wait no more. Empty while it is still unknown.
  std::vector<Bytes> AnswerWaiting(StateName name);
  std::size_t WaitingRequests() const { return waiting_.size(); }

 private:
  struct Visitor;

  struct WaitingRequest {
    std::uint32_t requestId;
    StateName name;
  };
  static inline const SystemState kNoState{};

  ValueStore* values_;
  const SystemState* state_;
  std::vector<WaitingRequest> waiting_;  // in arrival order
  std::map<std::uint32_t, std::string> subscriptions_;
  std::vector<MenuItem> menu_;
  std::map<std::uint32_t, std::vector<Datum>> definitions_;
  std::map<std::uint32_t, Request> requests_;
  std::map<std::uint32_t, Progress> progress_;
};

}  // namespace simhost
