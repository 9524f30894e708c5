// The one rule for which value messages are due.
#include "values_due.h"

#include "platform/ascii_case.h"

namespace simhost {
namespace {

bool ServesValues(std::uint32_t period) {
  return period == wire::kPeriodOnce || period == wire::kPeriodSecond || period == wire::kPeriodVisualFrame ||
         period == wire::kPeriodSimFrame;
}

}  // namespace

Due ValuesDue(const Session& session, const ValueStore& values, Clock::time_point now, std::optional<Millis> pace) {
  Due due;
  for (const auto& [id, req] : session.Requests()) {
    if (!ServesValues(req.period)) continue;
    auto def = session.Definitions().find(req.defineId);
    if (def == session.Definitions().end() || def->second.empty()) continue;
    std::vector<double> current;
    Bytes data = values.Encode(def->second, &current);
    if (pace) {
      auto sent = session.Sent().find(id);
      if (sent != session.Sent().end() && sent->second.sent) {
        const Progress& p = sent->second;
        if (req.period == wire::kPeriodOnce) continue;
        if ((req.flags & wire::kFlagChanged) && !Changed(def->second, p.values, current)) continue;
        if (now < p.at + *pace) {
          const Clock::time_point at = p.at + *pace;
          if (!due.next || at < *due.next) due.next = at;
          continue;
        }
      }
    }
    Bytes message = BuildSimObjectData(req.requestId, 0, req.defineId, req.flags, std::uint32_t(def->second.size()), data);
    due.values.push_back(DueValue{req.requestId, std::move(message), std::move(current)});
  }
  return due;
}

bool CurrentValueSent(const Session& session, const ValueStore& values, const std::string& name) {
  for (const auto& [id, req] : session.Requests()) {
    if (!ServesValues(req.period)) continue;
    auto def = session.Definitions().find(req.defineId);
    auto sent = session.Sent().find(id);
    if (def == session.Definitions().end() || sent == session.Sent().end() || !sent->second.sent) continue;
    std::vector<double> current;
    values.Encode(def->second, &current);
    for (std::size_t i = 0; i < def->second.size(); ++i) {
      if (platform::EqualNoCase(def->second[i].name, name) && i < sent->second.values.size() && i < current.size() &&
          sent->second.values[i] == current[i])
        return true;
    }
  }
  return false;
}

}  // namespace simhost
