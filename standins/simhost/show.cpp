// The show command's rendering of the host's state.
#include "show.h"

#include <sstream>

namespace simhost {
namespace {

std::string Hex(const Bytes& bytes, std::size_t limit) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i) out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  if (bytes.size() > limit) out += " ...";
  return out;
}


}  // namespace

std::string ShowState(const SimHost& host, const std::string& what) {
  std::ostringstream s;
  if (what == "menu") {
    s << RenderMenu(host.Menu()) << '\n';
  } else if (what == "subscriptions") {
    auto subs = host.Subscriptions();
    if (subs.empty()) s << "subscriptions: none\n";
    for (auto& [id, name] : subs) s << "subscription: event " << id << " \"" << name << "\"\n";
  } else if (what == "definitions") {
    auto defs = host.Definitions();
    if (defs.empty()) s << "definitions: none\n";
    for (auto& [id, datums] : defs) {
      s << "definition " << id << ":\n";
      for (const Datum& d : datums) {
        auto value = host.Value(d.name, d.unit);
        s << "  \"" << d.name << "\" in \"" << d.unit << "\", type " << d.type << ", value " << value.value_or(0.0)
          << '\n';
      }
    }
  } else if (what == "requests") {
    auto reqs = host.Requests();
    if (reqs.empty()) s << "requests: none\n";
    for (auto& [id, r] : reqs)
      s << "request " << id << ": definition " << r.defineId << ", object " << r.objectId << ", period " << r.period
        << ", flags " << r.flags << '\n';
  } else if (what == "texts") {
    auto lines = host.TextLines();
    if (lines.empty()) s << "texts: none\n";
    for (const TextLine& t : lines) s << "text (type " << t.type << ", " << t.seconds << " s): " << t.text << '\n';
  } else if (what == "flood") {
    const FloodCounters flood = host.Flood();
    s << "flood: " << (flood.on ? "on" : "off") << ", " << flood.valueMessages << " value messages, " << flood.bytes
      << " bytes written\n";
  } else if (what == "messages" || what == "refused") {
    auto all = what == "messages" ? host.Messages() : host.Refused();
    if (all.empty()) s << what << ": none\n";
    for (std::size_t i = 0; i < all.size(); ++i)
      s << i << " (connection " << all[i].connection << "): " << Describe(all[i]) << "\n    " << Hex(all[i].bytes, 48)
        << '\n';
  }
  return s.str();
}

}  // namespace simhost
