// The command language: one table of commands, their forms and handlers,
// from which both the help and the usage errors are worded.
#include "commands.h"

#include <ostream>
#include <random>
#include <sstream>
#include <thread>

#include "show.h"
#include "words.h"

namespace simhost {

// ---- The table ------------------------------------------------------------
// A command is run by its name (or one of its names) without regard to case.
// Its forms are its arguments with what each does; the help lists them and a
// usage error repeats them all.
struct Form {
  std::vector<const char*> arguments;  // alternatives shown on one line, each after the name
  const char* help;                    // lines parted by '\n'; may be empty
};

struct CommandRunner::Call {
  using Handler = Result (Call::*)();
  struct Command {
    std::vector<const char*> names;
    std::vector<Form> forms;
    Handler handler;
  };
  static const std::vector<Command>& Table();
  static const Command* Find(const std::string& name);

  CommandRunner& runner;
  const std::string& line;
  std::vector<std::string> w;  // the words of the line
  std::string name;            // the command's name in lower case
  const Command& command;
  std::string* error;

  SimHost& host() const { return runner.host_; }
  Result Fail(const std::string& why) {
    *error = why;
    return Result::Failed;
  }
  Result Usage(const std::string& note = "") { return Fail("usage: " + UsageOf(command) + note); }
  Result Sent(bool ok) { return ok ? Result::Ok : Fail(name + ": no client connected"); }
  bool OnOff() const { return w.size() == 2 && (Lower(w[1]) == "on" || Lower(w[1]) == "off"); }
  // An optional timeout argument at index i.
  bool TimeoutAt(std::size_t i, Millis* t) const {
    *t = runner.defaultWait;
    if (w.size() <= i) return true;
    std::uint32_t ms;
    if (!ParseU32(w[i], &ms)) return false;
    *t = Millis(ms);
    return true;
  }
  // A system event to its subscribers; fails when nothing is connected or
  // the client has not subscribed to it.
  Result SystemEvent(const std::string& event, std::uint32_t data) {
    if (!host().ClientConnected()) return Fail(name + ": no client connected");
    if (host().SendEvent(event, data) == 0) return Fail(name + ": the client has not subscribed to \"" + event + "\"");
    return Result::Ok;
  }

  static std::string Synopsis(const Command& c, const Form& f);
  static std::string UsageOf(const Command& c);

  Result Event();
  Result Sim();
  Result EventId();
  Result Ticks();
  Result Aircraft();
  Result SystemState();
  Result State();
  // Sends TEXT as the aircraft's state: to the requests that wait for it,
  // else unasked with request id 0.
  Result AircraftState(const std::string& text);
  Result Pick();
  Result Set();
  Result Reject();
  Result Exception();
  Result Raw();
  Result RawSplit();
  Result RawSize();
  Result Garbage();
  Result Message();
  Result Quit();
  Result Close();
  Result ValuePeriod();
  Result Flood();
  Result Wait();
  Result Sleep();
  Result Show();
  Result Help();
};

const std::vector<CommandRunner::Call::Command>& CommandRunner::Call::Table() {
  static const std::vector<Command> table = {
      {{"event"}, {{{"NAME [DATA]"}, "system event to its subscriber (Sim, 6Hz, 1sec, ...)"}}, &Call::Event},
      {{"sim"}, {{{"on|off"}, "event Sim 1 / event Sim 0"}}, &Call::Sim},
      {{"event-id"}, {{{"ID [DATA [GROUP]]"}, "event with a client event id of your choice"}}, &Call::EventId},
      {{"ticks"}, {{{"on|off"}, "6Hz six times a second and 1sec once a second"}}, &Call::Ticks},
      {{"aircraft"},
       {{{"PATH"},
         "AircraftLoaded with a Windows path (rest of the line); later\n"
         "requests for the state AircraftLoaded are answered with it"},
        {{"EVENT | STATE"},
         "AircraftLoaded with EVENT, then system-state STATE: the two\n"
         "strings of one aircraft as a simulator sends them; either may be\n"
         "empty"}},
       &Call::Aircraft},
      {{"system-state"},
       {{{"TEXT"},
         "the aircraft's file is TEXT (rest of the line): answers the\n"
         "requests for AircraftLoaded that wait, or, when none waits,\n"
         "sends SYSTEM_STATE unasked with request id 0"}},
       &Call::SystemState},
      {{"state"},
       {{{"aircraft|flight PATH", "sim|dialog N"},
         "what RequestSystemState answers from now on, also before a\n"
         "client connects; requests that waited for it are answered"}},
       &Call::State},
      {{"pick"}, {{{"ID|TEXT"}, "the user picks a menu item"}}, &Call::Pick},
      {{"set"},
       {{{"NAME UNIT VALUE"},
         "value of a simulation variable; set L:NAME UNIT VALUE: of a\n"
         "local variable, in every unit"}},
       &Call::Set},
      {{"reject", "accept"},
       {{{"NAME"},
         "AddToDataDefinition of NAME gets NAME_UNRECOGNIZED / registers,\n"
         "whatever the catalogue of known variables says (rest of the line)"}},
       &Call::Reject},
      {{"exception"}, {{{"CODE SENDID|last [INDEX]"}, ""}}, &Call::Exception},
      {{"raw"}, {{{"HEX"}, "bytes as they are (blanks in HEX allowed)"}}, &Call::Raw},
      {{"raw-split"}, {{{"AT PAUSE_MS HEX"}, "the bytes in two writes, split after AT bytes"}}, &Call::RawSplit},
      {{"raw-size"}, {{{"N"}, "a 4-byte size field alone"}}, &Call::RawSize},
      {{"garbage"}, {{{"N"}, "N random bytes"}}, &Call::Garbage},
      {{"message"},
       {{{"event ID DATA [cut N]"}, "an EVENT as built here (group unused), or its first N bytes"},
        {{"filename ID HEX|filename-text ID TEXT [cut N]"},
         "an EVENT_FILENAME whose name holds these bytes or this text"},
        {{"frame SIZE VERSION TYPE [HEX] [cut N]"}, "a header of your choice, then HEX"}},
       &Call::Message},
      {{"quit"}, {{{""}, "QUIT message"}}, &Call::Quit},
      {{"close", "reset"}, {{{""}, "orderly close / abortive reset of the connection"}}, &Call::Close},
      {{"value-period"}, {{{"MS"}, "least time between two values of one request"}}, &Call::ValuePeriod},
      {{"flood"}, {{{"on|off"}, "values of every request as fast as the client reads, with ticks"}}, &Call::Flood},
      {{"wait"},
       {{{"client|disconnect [MS]"}, ""},
        {{"open [MS]", "message TYPE [MS]", "N messages [MS]"}, "messages after those the previous waits took"},
        {{"value NAME [MS]"}, "until the client was sent NAME's present value"}},
       &Call::Wait},
      {{"sleep"}, {{{"MS"}, ""}}, &Call::Sleep},
      {{"show"}, {{{"menu|subscriptions|definitions|requests|texts|messages|refused|flood"}, ""}}, &Call::Show},
      {{"help", "exit"}, {{{""}, ""}}, &Call::Help},
  };
  return table;
}

const CommandRunner::Call::Command* CommandRunner::Call::Find(const std::string& name) {
  for (const Command& c : Table())
    for (const char* n : c.names)
      if (name == n) return &c;
  return nullptr;
}

// "wait open [MS] | wait message TYPE [MS]", "close | reset".
std::string CommandRunner::Call::Synopsis(const Command& c, const Form& f) {
  std::string out;
  for (const char* n : c.names) {
    for (const char* a : f.arguments) {
      if (!out.empty()) out += " | ";
      out += n;
      if (*a) out += std::string(" ") + a;
    }
  }
  return out;
}

std::string CommandRunner::Call::UsageOf(const Command& c) {
  std::string out;
  for (const Form& f : c.forms) out += (out.empty() ? "" : " | ") + Synopsis(c, f);
  return out;
}

std::string CommandHelp() {
  using Call = CommandRunner::Call;
  // The help column; a synopsis too wide for it has its help on the next line.
  constexpr std::size_t kColumn = 31;
  const std::string indent(kColumn, ' ');
  std::string out = "commands (one per line; # starts a comment; quote texts that hold blanks):\n";
  for (const Call::Command& c : Call::Table()) {
    for (const Form& f : c.forms) {
      std::string head = "  " + Call::Synopsis(c, f);
      std::istringstream help(f.help);
      std::string first;
      std::getline(help, first);
      if (first.empty()) {
        out += head + '\n';
        continue;
      }
      out += head.size() + 2 <= kColumn ? head + std::string(kColumn - head.size(), ' ') : head + '\n' + indent;
      out += first + '\n';
      for (std::string more; std::getline(help, more);) out += indent + more + '\n';
    }
  }
  return out + "'last' is the send id of the message the latest wait took (else the newest one).\n";
}

CommandRunner::CommandRunner(SimHost& host, std::ostream& out) : host_(host), out_(out) {}

CommandRunner::Result CommandRunner::Execute(const std::string& line, std::string* error) {
  std::vector<std::string> w = SplitWords(line);
  if (w.empty() || w[0][0] == '#') return Result::Ok;
  const std::string name = Lower(w[0]);
  const Call::Command* command = Call::Find(name);
  if (!command) {
    *error = "unknown command \"" + w[0] + "\" (try help)";
    return Result::Failed;
  }
  Call call{*this, line, std::move(w), name, *command, error};
  return (call.*(command->handler))();
}

// ---- The commands -------------------------------------------------------
CommandRunner::Result CommandRunner::Call::Event() {
  std::uint32_t data = 0;
  if (w.size() < 2 || w.size() > 3 || (w.size() == 3 && !ParseU32(w[2], &data))) return Usage();
  return SystemEvent(w[1], data);
}

CommandRunner::Result CommandRunner::Call::Sim() {
  if (!OnOff()) return Usage();
  const bool on = Lower(w[1]) == "on";
  host().SetSystemState(StateName::Sim, on ? "1" : "0");
  return SystemEvent("Sim", on ? 1 : 0);
}

CommandRunner::Result CommandRunner::Call::EventId() {
  std::uint32_t id, data = 0, group = wire::kUnused;
  if (w.size() < 2 || w.size() > 4 || !ParseU32(w[1], &id) || (w.size() > 2 && !ParseU32(w[2], &data)) ||
      (w.size() > 3 && !ParseU32(w[3], &group)))
    return Usage();
  return Sent(host().SendEventId(id, data, group));
}

CommandRunner::Result CommandRunner::Call::Ticks() {
  if (!OnOff()) return Usage();
  host().SetTicks(Lower(w[1]) == "on");
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Aircraft() {
  // A '|' never occurs in a Windows path: it parts the event's string from
  // the answer's, each quoted or not.
  const std::size_t bar = line.find('|');
  const bool withState = bar != std::string::npos;
  const std::string path = RestOfLine(line.substr(0, bar), 1);
  const std::string state = withState ? RestOfLine(line.substr(bar + 1), 0) : std::string();
  if (path.empty() && !withState) return Usage();
  if (!host().ClientConnected()) return Fail("aircraft: no client connected");
  if (!host().SendAircraftLoaded(path)) return Fail("aircraft: the client has not subscribed to \"AircraftLoaded\"");
  if (withState) return AircraftState(state);
  host().SetSystemState(StateName::AircraftLoaded, path, false);
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::SystemState() { return AircraftState(RestOfLine(line, 1)); }

CommandRunner::Result CommandRunner::Call::AircraftState(const std::string& text) {
  if (host().SetSystemState(StateName::AircraftLoaded, text).value_or(0) > 0) return Result::Ok;
  return Sent(host().SendSystemState(0, 0, 0.0f, text));
}

CommandRunner::Result CommandRunner::Call::State() {
  static const std::pair<const char*, StateName> kWords[] = {{"aircraft", StateName::AircraftLoaded},
                                                             {"flight", StateName::FlightLoaded},
                                                             {"sim", StateName::Sim},
                                                             {"dialog", StateName::DialogMode}};
  if (w.size() < 3) return Usage();
  for (const auto& [word, state] : kWords) {
    if (Lower(w[1]) != word) continue;
    const bool file = state == StateName::AircraftLoaded || state == StateName::FlightLoaded;
    if (!file && w.size() != 3) return Usage();
    if (!host().SetSystemState(state, file ? RestOfLine(line, 2) : w[2])) return Usage();
    return Result::Ok;
  }
  return Usage();
}

CommandRunner::Result CommandRunner::Call::Pick() {
  if (w.size() != 2) return Usage();
  std::uint32_t id = 0;
  if (!ParseU32(w[1], &id)) {
    bool found = false;
    for (const MenuItem& item : host().Menu()) {
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
    if (!found) return Fail("pick: no menu item \"" + w[1] + "\"");
  }
  return Sent(host().SendMenuPick(id));
}

CommandRunner::Result CommandRunner::Call::Set() {
  double value;
  if (w.size() != 4 || !ParseDouble(w[3], &value)) return Usage();
  host().SetValue(w[1], w[2], value);
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Reject() {
  const std::string datum = RestOfLine(line, 1);
  if (datum.empty()) return Usage();
  if (name == "reject") {
    host().Reject(datum);
  } else {
    host().Accept(datum);
  }
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Exception() {
  std::uint32_t code, sendId = 0, index = 0;
  const bool last = w.size() >= 3 && Lower(w[2]) == "last";
  if (w.size() < 3 || w.size() > 4 || !ParseU32(w[1], &code) || (!last && !ParseU32(w[2], &sendId)) ||
      (w.size() == 4 && !ParseU32(w[3], &index)))
    return Usage();
  if (last) {
    if (runner.lastSendId_) {
      sendId = *runner.lastSendId_;
    } else {
      auto all = host().Messages();
      if (all.empty()) return Fail("exception: no message received yet");
      sendId = all.back().sendId;
    }
  }
  return Sent(host().SendException(code, sendId, index));
}

CommandRunner::Result CommandRunner::Call::Raw() {
  auto bytes = ParseHex(RestOfLine(line, 1));
  if (!bytes || bytes->empty()) return Usage();
  return Sent(host().SendRaw(std::move(*bytes)));
}

CommandRunner::Result CommandRunner::Call::RawSplit() {
  std::uint32_t at, pause;
  if (w.size() < 4 || !ParseU32(w[1], &at) || !ParseU32(w[2], &pause)) return Usage();
  auto bytes = ParseHex(RestOfLine(line, 3));
  if (!bytes || bytes->empty()) return Usage();
  return Sent(host().SendRawSplit(std::move(*bytes), at, Millis(pause)));
}

CommandRunner::Result CommandRunner::Call::RawSize() {
  std::uint32_t n;
  if (w.size() != 2 || !ParseU32(w[1], &n)) return Usage();
  Bytes b(4);
  PutU32(b, 0, n);
  return Sent(host().SendRaw(std::move(b)));
}

CommandRunner::Result CommandRunner::Call::Garbage() {
  std::uint32_t n;
  if (w.size() != 2 || !ParseU32(w[1], &n) || n == 0 || n > 1000000) return Usage(" (1 to 1000000)");
  std::mt19937 rng(std::random_device{}());
  Bytes b(n);
  for (auto& x : b) x = std::uint8_t(rng());
  return Sent(host().SendRaw(std::move(b)));
}

// The faults a simulator can commit with well-formed or cut messages, encoded
// by simhost's own builders.
CommandRunner::Result CommandRunner::Call::Message() {
  std::uint32_t cut = 0;
  if (w.size() >= 4 && Lower(w[w.size() - 2]) == "cut") {
    if (!ParseU32(w.back(), &cut)) return Usage();
    w.resize(w.size() - 2);
  }
  const std::string kind = w.size() >= 2 ? Lower(w[1]) : "";
  std::uint32_t a = 0, b = 0, c = 0;
  Bytes bytes;
  if (kind == "event" && w.size() == 4 && ParseU32(w[2], &a) && ParseU32(w[3], &b)) {
    bytes = BuildEvent(wire::kUnused, a, b);
  } else if (kind == "filename" && w.size() == 4 && ParseU32(w[2], &a) && ParseHex(w[3])) {
    const Bytes fileName = *ParseHex(w[3]);
    bytes = BuildEventFilename(a, std::string(fileName.begin(), fileName.end()));
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
    return Usage();
  }
  if (cut > 0 && cut < bytes.size()) bytes.resize(cut);
  return Sent(host().SendRaw(std::move(bytes)));
}

CommandRunner::Result CommandRunner::Call::Quit() { return Sent(host().SendQuit()); }

CommandRunner::Result CommandRunner::Call::Close() {
  return Sent(name == "close" ? host().CloseClient() : host().ResetClient());
}

CommandRunner::Result CommandRunner::Call::ValuePeriod() {
  std::uint32_t ms;
  if (w.size() != 2 || !ParseU32(w[1], &ms)) return Usage();
  host().SetValuePeriod(Millis(ms));
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Flood() {
  if (!OnOff()) return Usage();
  host().SetFlood(Lower(w[1]) == "on");
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Wait() {
  Millis t;
  const std::string what = w.size() >= 2 ? Lower(w[1]) : "";
  if (what == "client" || what == "disconnect") {
    if (w.size() > 3 || !TimeoutAt(2, &t)) return Usage();
    const bool ok = what == "client" ? host().WaitForClient(t) : host().WaitForDisconnect(t);
    return ok ? Result::Ok : Fail("wait " + what + ": timed out after " + std::to_string(t.count()) + " ms");
  }
  if (what == "value") {
    if (w.size() < 3 || w.size() > 4 || !TimeoutAt(3, &t)) return Usage();
    if (host().WaitForValueSent(w[2], t)) return Result::Ok;
    return Fail("wait value: " + w[2] + " was not sent with its present value within " + std::to_string(t.count()) +
                " ms");
  }
  std::optional<std::uint32_t> type;
  std::size_t typeArgs = 0;
  if (what == "open") {
    type = wire::kOpen;
    typeArgs = 2;
  } else if (what == "message") {
    if (w.size() < 3 || !(type = ParseTypeName(w[2]))) return Usage();
    typeArgs = 3;
  }
  if (type) {
    if (w.size() > typeArgs + 1 || !TimeoutAt(typeArgs, &t)) return Usage();
    auto index = host().WaitForMessage(*type, runner.cursor_, t);
    if (!index) return Fail("wait: no " + TypeName(*type) + " message within " + std::to_string(t.count()) + " ms");
    runner.lastSendId_ = host().Messages()[*index].sendId;
    runner.cursor_ = *index + 1;
    return Result::Ok;
  }
  std::uint32_t n;
  if (w.size() >= 3 && ParseU32(w[1], &n) && Lower(w[2]) == "messages") {
    if (w.size() > 4 || !TimeoutAt(3, &t)) return Usage();
    if (!host().WaitForMessages(runner.cursor_ + n, t))
      return Fail("wait: fewer than " + std::to_string(n) + " more messages within " + std::to_string(t.count()) +
                  " ms");
    runner.cursor_ += n;
    if (n > 0) runner.lastSendId_ = host().Messages()[runner.cursor_ - 1].sendId;
    return Result::Ok;
  }
  return Usage();
}

CommandRunner::Result CommandRunner::Call::Sleep() {
  std::uint32_t ms;
  if (w.size() != 2 || !ParseU32(w[1], &ms)) return Usage();
  std::this_thread::sleep_for(Millis(ms));
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Show() {
  if (w.size() != 2) return Usage();
  const std::string text = ShowState(host(), Lower(w[1]));
  if (text.empty()) return Usage();
  runner.out_ << text;
  runner.out_.flush();
  return Result::Ok;
}

CommandRunner::Result CommandRunner::Call::Help() {
  if (name == "exit") return Result::Exit;
  runner.out_ << CommandHelp();
  runner.out_.flush();
  return Result::Ok;
}

}  // namespace simhost
