#include "commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ostream>
#include <random>
#include <sstream>
#include <thread>

namespace simhost {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseU32(const std::string& text, std::uint32_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-') return false;
  *out = std::uint32_t(v);
  return true;
}

bool ParseDouble(const std::string& text, double* out) {
  if (text.empty()) return false;
  std::string t = Lower(text);
  if (t == "true" || t == "on") {
    *out = 1;
    return true;
  }
  if (t == "false" || t == "off") {
    *out = 0;
    return true;
  }
  char* end = nullptr;
  *out = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

// The rest of the line after the first `words` words, without surrounding
// blanks and one pair of surrounding quotes.
std::string RestOfLine(const std::string& line, int words) {
  std::size_t i = 0;
  for (int w = 0; w < words; ++w) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  }
  std::string rest = line.substr(i);
  auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  rest.erase(rest.begin(), std::find_if(rest.begin(), rest.end(), notSpace));
  rest.erase(std::find_if(rest.rbegin(), rest.rend(), notSpace).base(), rest.end());
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  return rest;
}

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

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      std::size_t close = line.find('"', i + 1);
      if (close == std::string::npos) close = line.size();
      word = line.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

std::optional<Bytes> ParseHex(const std::string& text) {
  Bytes out;
  int pending = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',') continue;
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      return std::nullopt;
    if (pending < 0) {
      pending = v;
    } else {
      out.push_back(std::uint8_t(pending << 4 | v));
      pending = -1;
    }
  }
  if (pending >= 0) return std::nullopt;
  return out;
}

CommandRunner::CommandRunner(SimHost& host, std::ostream& out) : host_(host), out_(out) {}

CommandRunner::Result CommandRunner::Execute(const std::string& line, std::string* error) {
  std::vector<std::string> w = SplitWords(line);
  if (w.empty() || w[0][0] == '#') return Result::Ok;
  const std::string cmd = Lower(w[0]);
  auto fail = [&](const std::string& why) {
    *error = why;
    return Result::Failed;
  };
  auto usage = [&](const char* form) { return fail(std::string("usage: ") + form); };
  auto sent = [&](bool ok) { return ok ? Result::Ok : fail(cmd + ": no client connected"); };
  // An optional timeout argument at index i.
  auto timeoutAt = [&](std::size_t i, Millis* t) {
    *t = defaultWait;
    if (w.size() <= i) return true;
    std::uint32_t ms;
    if (!ParseU32(w[i], &ms)) return false;
    *t = Millis(ms);
    return true;
  };

  if (cmd == "exit") return Result::Exit;
  if (cmd == "help") {
    out_ << kCommandHelp;
    out_.flush();
    return Result::Ok;
  }
  if (cmd == "event") {
    std::uint32_t data = 0;
    if (w.size() < 2 || w.size() > 3 || (w.size() == 3 && !ParseU32(w[2], &data))) return usage("event NAME [DATA]");
    if (!host_.ClientConnected()) return fail("event: no client connected");
    if (host_.SendEvent(w[1], data) == 0) return fail("event: the client has not subscribed to \"" + w[1] + "\"");
    return Result::Ok;
  }
  if (cmd == "sim") {
    if (w.size() != 2 || (Lower(w[1]) != "on" && Lower(w[1]) != "off")) return usage("sim on|off");
    if (!host_.ClientConnected()) return fail("sim: no client connected");
    if (host_.SendEvent("Sim", Lower(w[1]) == "on" ? 1 : 0) == 0)
      return fail("sim: the client has not subscribed to \"Sim\"");
    return Result::Ok;
  }
  if (cmd == "event-id") {
    std::uint32_t id, data = 0, group = wire::kUnused;
    if (w.size() < 2 || w.size() > 4 || !ParseU32(w[1], &id) || (w.size() > 2 && !ParseU32(w[2], &data)) ||
        (w.size() > 3 && !ParseU32(w[3], &group)))
      return usage("event-id ID [DATA [GROUP]]");
    return sent(host_.SendEventId(id, data, group));
  }
  if (cmd == "ticks") {
    if (w.size() != 2 || (Lower(w[1]) != "on" && Lower(w[1]) != "off")) return usage("ticks on|off");
    host_.SetTicks(Lower(w[1]) == "on");
    return Result::Ok;
  }
  if (cmd == "aircraft") {
    // A '|' never occurs in a Windows path: it parts the event's string from
    // the answer's, each quoted or not.
    const std::size_t bar = line.find('|');
    const bool withState = bar != std::string::npos;
    const std::string path = RestOfLine(line.substr(0, bar), 1);
    const std::string state = withState ? RestOfLine(line.substr(bar + 1), 0) : std::string();
    if (path.empty() && !withState) return usage("aircraft PATH | aircraft EVENT | STATE");
    if (!host_.ClientConnected()) return fail("aircraft: no client connected");
    if (!host_.SendAircraftLoaded(path)) return fail("aircraft: the client has not subscribed to \"AircraftLoaded\"");
    if (withState) return sent(host_.SendSystemState(0, 0, 0.0f, state));
    return Result::Ok;
  }
  if (cmd == "system-state") {
    return sent(host_.SendSystemState(0, 0, 0.0f, RestOfLine(line, 1)));
  }
  if (cmd == "pick") {
    if (w.size() != 2) return usage("pick ID|TEXT");
    std::uint32_t id = 0;
    if (!ParseU32(w[1], &id)) {
      bool found = false;
      for (const MenuItem& item : host_.Menu()) {
        for (const MenuSubItem& sub : item.subItems) {
          if (!found && Lower(sub.text) == Lower(w[1])) {
            id = sub.id;
            found = true;
          }
        }
        if (!found && item.added && Lower(item.text) == Lower(w[1])) {
          id = item.id;
          found = true;
        }
      }
      if (!found) return fail("pick: no menu item \"" + w[1] + "\"");
    }
    return sent(host_.SendMenuPick(id));
  }
  if (cmd == "set") {
    double value;
    if (w.size() != 4 || !ParseDouble(w[3], &value)) return usage("set NAME UNIT VALUE");
    host_.SetValue(w[1], w[2], value);
    return Result::Ok;
  }
  if (cmd == "reject" || cmd == "accept") {
    if (w.size() != 2) return usage("reject NAME | accept NAME");
    host_.Reject(w[1], cmd == "reject");
    return Result::Ok;
  }
  if (cmd == "exception") {
    std::uint32_t code, sendId = 0, index = 0;
    bool last = w.size() >= 3 && Lower(w[2]) == "last";
    if (w.size() < 3 || w.size() > 4 || !ParseU32(w[1], &code) || (!last && !ParseU32(w[2], &sendId)) ||
        (w.size() == 4 && !ParseU32(w[3], &index)))
      return usage("exception CODE SENDID|last [INDEX]");
    if (last) {
      if (lastSendId_) {
        sendId = *lastSendId_;
      } else {
        auto all = host_.Messages();
        if (all.empty()) return fail("exception: no message received yet");
        sendId = all.back().sendId;
      }
    }
    return sent(host_.SendException(code, sendId, index));
  }
  if (cmd == "raw") {
    auto bytes = ParseHex(RestOfLine(line, 1));
    if (!bytes || bytes->empty()) return usage("raw HEX");
    return sent(host_.SendRaw(std::move(*bytes)));
  }
  if (cmd == "raw-split") {
    std::uint32_t at, pause;
    if (w.size() < 4 || !ParseU32(w[1], &at) || !ParseU32(w[2], &pause)) return usage("raw-split AT PAUSE_MS HEX");
    auto bytes = ParseHex(RestOfLine(line, 3));
    if (!bytes || bytes->empty()) return usage("raw-split AT PAUSE_MS HEX");
    return sent(host_.SendRawSplit(std::move(*bytes), at, Millis(pause)));
  }
  if (cmd == "raw-size") {
    std::uint32_t n;
    if (w.size() != 2 || !ParseU32(w[1], &n)) return usage("raw-size N");
    Bytes b(4);
    PutU32(b, 0, n);
    return sent(host_.SendRaw(std::move(b)));
  }
  if (cmd == "garbage") {
    std::uint32_t n;
    if (w.size() != 2 || !ParseU32(w[1], &n) || n == 0 || n > 1000000) return usage("garbage N (1 to 1000000)");
    std::mt19937 rng(std::random_device{}());
    Bytes b(n);
    for (auto& x : b) x = std::uint8_t(rng());
    return sent(host_.SendRaw(std::move(b)));
  }
  if (cmd == "message") {
    // The faults a simulator can commit with well-formed or cut messages,
    // encoded by simhost's own builders.
    std::uint32_t cut = 0;
    if (w.size() >= 4 && Lower(w[w.size() - 2]) == "cut") {
      if (!ParseU32(w.back(), &cut)) return usage("message ... cut N");
      w.resize(w.size() - 2);
    }
    const std::string kind = w.size() >= 2 ? Lower(w[1]) : "";
    std::uint32_t a = 0, b = 0, c = 0;
    Bytes bytes;
    if (kind == "event" && w.size() == 4 && ParseU32(w[2], &a) && ParseU32(w[3], &b)) {
      bytes = BuildEvent(wire::kUnused, a, b);
    } else if (kind == "filename" && w.size() == 4 && ParseU32(w[2], &a) && ParseHex(w[3])) {
      const Bytes name = *ParseHex(w[3]);
      bytes = BuildEventFilename(a, std::string(name.begin(), name.end()));
    } else if (kind == "filename-text" && w.size() == 4 && ParseU32(w[2], &a)) {
      bytes = BuildEventFilename(a, w[3]);
    } else if (kind == "frame" && (w.size() == 5 || w.size() == 6) && ParseU32(w[2], &a) && ParseU32(w[3], &b) &&
               ParseU32(w[4], &c) && (w.size() == 5 || ParseHex(w[5]))) {
      bytes = Bytes(12);
      PutU32(bytes, 0, a);
      PutU32(bytes, 4, b);
      PutU32(bytes, 8, c);
      if (w.size() == 6) {
        const Bytes body = *ParseHex(w[5]);
        bytes.insert(bytes.end(), body.begin(), body.end());
      }
    } else {
      return usage("message event ID DATA | filename ID HEX | filename-text ID TEXT | frame SIZE VERSION TYPE [HEX]"
                   " [cut N]");
    }
    if (cut > 0 && cut < bytes.size()) bytes.resize(cut);
    return sent(host_.SendRaw(std::move(bytes)));
  }
  if (cmd == "quit") return sent(host_.SendQuit());
  if (cmd == "close") return sent(host_.CloseClient());
  if (cmd == "reset") return sent(host_.ResetClient());
  if (cmd == "flood") {
    if (w.size() != 2 || (Lower(w[1]) != "on" && Lower(w[1]) != "off")) return usage("flood on|off");
    host_.SetFlood(Lower(w[1]) == "on");
    return Result::Ok;
  }
  if (cmd == "value-period") {
    std::uint32_t ms;
    if (w.size() != 2 || !ParseU32(w[1], &ms)) return usage("value-period MS");
    host_.SetValuePeriod(Millis(ms));
    return Result::Ok;
  }
  if (cmd == "sleep") {
    std::uint32_t ms;
    if (w.size() != 2 || !ParseU32(w[1], &ms)) return usage("sleep MS");
    std::this_thread::sleep_for(Millis(ms));
    return Result::Ok;
  }
  if (cmd == "wait") {
    Millis t;
    std::string what = w.size() >= 2 ? Lower(w[1]) : "";
    if (what == "client" || what == "disconnect") {
      if (w.size() > 3 || !timeoutAt(2, &t)) return usage("wait client|disconnect [MS]");
      bool ok = what == "client" ? host_.WaitForClient(t) : host_.WaitForDisconnect(t);
      return ok ? Result::Ok : fail("wait " + what + ": timed out after " + std::to_string(t.count()) + " ms");
    }
    std::optional<std::uint32_t> type;
    std::size_t typeArgs = 0;
    if (what == "open") {
      type = wire::kOpen;
      typeArgs = 2;
    } else if (what == "message") {
      if (w.size() < 3 || !(type = ParseTypeName(w[2]))) return usage("wait message TYPE [MS]");
      typeArgs = 3;
    }
    if (type) {
      if (w.size() > typeArgs + 1 || !timeoutAt(typeArgs, &t)) return usage("wait open|message TYPE [MS]");
      auto index = host_.WaitForMessage(*type, cursor_, t);
      if (!index) return fail("wait: no " + TypeName(*type) + " message within " + std::to_string(t.count()) + " ms");
      lastSendId_ = host_.Messages()[*index].sendId;
      cursor_ = *index + 1;
      return Result::Ok;
    }
    std::uint32_t n;
    if (w.size() >= 3 && ParseU32(w[1], &n) && Lower(w[2]) == "messages") {
      if (w.size() > 4 || !timeoutAt(3, &t)) return usage("wait N messages [MS]");
      if (!host_.WaitForMessages(cursor_ + n, t))
        return fail("wait: fewer than " + std::to_string(n) + " more messages within " + std::to_string(t.count()) +
                    " ms");
      cursor_ += n;
      if (n > 0) lastSendId_ = host_.Messages()[cursor_ - 1].sendId;
      return Result::Ok;
    }
    return usage("wait client|disconnect|open [MS] | wait message TYPE [MS] | wait N messages [MS]");
  }
  if (cmd == "show") {
    if (w.size() != 2) return usage("show menu|subscriptions|definitions|requests|texts|messages|refused|flood");
    std::string text = Show(Lower(w[1]));
    if (text.empty()) return usage("show menu|subscriptions|definitions|requests|texts|messages|refused|flood");
    out_ << text;
    out_.flush();
    return Result::Ok;
  }
  return fail("unknown command \"" + w[0] + "\" (try help)");
}

std::string CommandRunner::Show(const std::string& what) const {
  std::ostringstream s;
  if (what == "menu") {
    s << RenderMenu(host_.Menu()) << '\n';
  } else if (what == "subscriptions") {
    auto subs = host_.Subscriptions();
    if (subs.empty()) s << "subscriptions: none\n";
    for (auto& [id, name] : subs) s << "subscription: event " << id << " \"" << name << "\"\n";
  } else if (what == "definitions") {
    auto defs = host_.Definitions();
    if (defs.empty()) s << "definitions: none\n";
    for (auto& [id, datums] : defs) {
      s << "definition " << id << ":\n";
      for (const Datum& d : datums) {
        auto value = host_.Value(d.name, d.unit);
        s << "  \"" << d.name << "\" in \"" << d.unit << "\", type " << d.type << ", value " << value.value_or(0.0)
          << '\n';
      }
    }
  } else if (what == "requests") {
    auto reqs = host_.Requests();
    if (reqs.empty()) s << "requests: none\n";
    for (auto& [id, r] : reqs)
      s << "request " << id << ": definition " << r.defineId << ", object " << r.objectId << ", period " << r.period
        << ", flags " << r.flags << '\n';
  } else if (what == "texts") {
    auto lines = host_.TextLines();
    if (lines.empty()) s << "texts: none\n";
    for (const TextLine& t : lines) s << "text (type " << t.type << ", " << t.seconds << " s): " << t.text << '\n';
  } else if (what == "flood") {
    const FloodCounters flood = host_.Flood();
    s << "flood: " << (flood.on ? "on" : "off") << ", " << flood.valueMessages << " value messages, " << flood.bytes
      << " bytes written\n";
  } else if (what == "messages" || what == "refused") {
    auto all = what == "messages" ? host_.Messages() : host_.Refused();
    if (all.empty()) s << what << ": none\n";
    for (std::size_t i = 0; i < all.size(); ++i)
      s << i << " (connection " << all[i].connection << "): " << Describe(all[i]) << "\n    " << Hex(all[i].bytes, 48)
        << '\n';
  }
  return s.str();
}

}  // namespace simhost
