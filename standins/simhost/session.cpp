// One client's bookkeeping, one message at a time.
#include "session.h"

#include <algorithm>
#include <type_traits>

#include "platform/ascii_case.h"

namespace simhost {

// One handler per kind of message; each fills in the effects.
struct Session::Visitor {
  Session& s;
  const ClientMessage& m;
  Effects& out;

  std::vector<MenuItem>::iterator FindItem(std::uint32_t id) {
    return std::find_if(s.menu_.begin(), s.menu_.end(), [id](const MenuItem& i) { return i.id == id; });
  }

  void operator()(std::monostate) {}
  void operator()(const OpenMsg&) { out.replies.push_back(BuildOpen()); }
  void operator()(const AddToDataDefinitionMsg& add) {
    out.valuesMayBeDue = true;
    if (const std::uint32_t index = s.values_->RefusedParameter(add.datumName, add.unitsName)) {
      out.replies.push_back(BuildException(wire::kExceptionNameUnrecognized, m.sendId, index));
      return;
    }
    s.definitions_[add.defineId].push_back(
        Datum{add.datumName, add.unitsName, add.datumType, add.epsilon, add.datumId, m.sendId});
    s.values_->Registered(add.datumName, add.unitsName);
  }
  void operator()(const ClearDataDefinitionMsg& clear) {
    out.valuesMayBeDue = true;
    s.definitions_.erase(clear.defineId);
  }
  void operator()(const RequestDataMsg& req) {
    out.valuesMayBeDue = true;
    s.progress_.erase(req.requestId);
    if (req.period == wire::kPeriodNever) {
      s.requests_.erase(req.requestId);
    } else {
      s.requests_[req.requestId] = Request{req.requestId, req.defineId, req.objectId, req.period, req.flags,
                                           req.origin,    req.interval, req.limit,    m.sendId};
    }
  }
  void operator()(const SubscribeMsg& sub) { s.subscriptions_[sub.eventId] = sub.eventName; }
  void operator()(const MenuAddItemMsg& item) {
    auto it = FindItem(item.menuEventId);
    if (it == s.menu_.end()) it = s.menu_.insert(s.menu_.end(), MenuItem{item.menuEventId, "", 0, true, {}});
    it->text = item.text;
    it->data = item.data;
    it->added = true;
    out.menuChanged = true;
  }
  void operator()(const MenuDeleteItemMsg& del) {
    auto it = FindItem(del.menuEventId);
    if (it == s.menu_.end()) return;
    s.menu_.erase(it);
    out.menuChanged = true;
  }
  void operator()(const MenuAddSubItemMsg& sub) {
    auto it = FindItem(sub.menuEventId);
    if (it == s.menu_.end()) it = s.menu_.insert(s.menu_.end(), MenuItem{sub.menuEventId, "", 0, false, {}});
    auto& subs = it->subItems;
    auto x = std::find_if(subs.begin(), subs.end(), [&](const MenuSubItem& i) { return i.id == sub.subEventId; });
    if (x == subs.end()) x = subs.insert(subs.end(), MenuSubItem{sub.subEventId, "", 0});
    x->text = sub.text;
    x->data = sub.data;
    out.menuChanged = true;
  }
  void operator()(const MenuDeleteSubItemMsg& del) {
    auto it = FindItem(del.menuEventId);
    if (it == s.menu_.end()) return;
    auto& subs = it->subItems;
    auto x = std::find_if(subs.begin(), subs.end(), [&](const MenuSubItem& i) { return i.id == del.subEventId; });
    if (x == subs.end()) return;
    subs.erase(x);
    // An item that only its sub-items made goes with the last of them.
    if (!it->added && subs.empty()) s.menu_.erase(it);
    out.menuChanged = true;
  }
  // Answered at once with the client's own request id; a file the host does
  // not know yet waits for a command to name it; an unknown state is refused.
  void operator()(const RequestSystemStateMsg& r) {
    const std::optional<StateName> name = ParseStateName(r.stateName);
    if (!name) {
      out.replies.push_back(BuildException(wire::kExceptionNameUnrecognized, m.sendId, wire::kIndexName));
      return;
    }
    if (std::optional<Bytes> answer = AnswerState(*s.state_, *name, r.requestId)) {
      out.replies.push_back(std::move(*answer));
    } else {
      s.waiting_.push_back({r.requestId, *name});
    }
  }
  void operator()(const TextMsg& t) { out.text = TextLine{t.textType, t.seconds, t.eventId, t.text, m.sendId}; }
};

Effects Session::Apply(const ClientMessage& message) {
  Effects effects;
  if (message.refused) return effects;
  std::visit(Visitor{*this, message, effects}, message.decoded);
  return effects;
}

std::vector<std::uint32_t> Session::SubscribersOf(const std::string& systemEvent) const {
  std::vector<std::uint32_t> ids;
  for (const auto& [id, name] : subscriptions_)
    if (platform::EqualNoCase(name, systemEvent)) ids.push_back(id);
  return ids;
}

bool Session::HoldsMenuItem(std::uint32_t id) const {
  for (const MenuItem& item : menu_) {
    if (item.id == id) return true;
    for (const MenuSubItem& sub : item.subItems)
      if (sub.id == id) return true;
  }
  return false;
}

std::vector<Bytes> Session::AnswerWaiting(StateName name) {
  std::vector<Bytes> answers;
  auto keep = waiting_.begin();
  for (const WaitingRequest& w : waiting_) {
    std::optional<Bytes> answer = w.name == name ? AnswerState(*state_, name, w.requestId) : std::nullopt;
    if (answer) {
      answers.push_back(std::move(*answer));
    } else {
      *keep++ = w;
    }
  }
  waiting_.erase(keep, waiting_.end());
  return answers;
}

void Session::MarkSent(std::uint32_t requestId, Clock::time_point at, std::vector<double> values) {
  progress_[requestId] = Progress{true, at, std::move(values)};
}

}  // namespace simhost
