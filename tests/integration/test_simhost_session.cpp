// simhost's bookkeeping without sockets: what one client's messages leave
// behind and what the host is asked to do about them, and which value
// messages are due at a given time for the pump and for the flood.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "values_due.h"
#include "session.h"

namespace {

using namespace std::chrono_literals;
using simhost::ClientMessage;
using simhost::Session;
using simhost::ValueStore;
using simhost::Bytes;
namespace wire = simhost::wire;

ClientMessage Decoded(std::uint32_t type, std::uint32_t sendId, simhost::Decoded decoded) {
  ClientMessage m;
  m.type = type;
  m.sendId = sendId;
  m.decoded = std::move(decoded);
  return m;
}

ClientMessage Add(std::uint32_t defineId, const std::string& name, std::uint32_t sendId = 1,
                  std::uint32_t type = wire::kDataTypeFloat64, float epsilon = 0, const std::string& unit = "number") {
  return Decoded(wire::kAddToDataDefinition, sendId,
                 simhost::AddToDataDefinitionMsg{defineId, name, unit, type, epsilon, wire::kUnused});
}

ClientMessage RequestData(std::uint32_t requestId, std::uint32_t defineId, std::uint32_t period,
                          std::uint32_t flags = 0) {
  simhost::RequestDataMsg r;
  r.requestId = requestId;
  r.defineId = defineId;
  r.period = period;
  r.flags = flags;
  return Decoded(wire::kRequestDataOnSimObject, 9, r);
}

ClientMessage AddItem(std::uint32_t id, const std::string& text) {
  return Decoded(wire::kMenuAddItem, 1, simhost::MenuAddItemMsg{text, id, 0});
}
ClientMessage AddSub(std::uint32_t item, std::uint32_t sub) {
  return Decoded(wire::kMenuAddSubItem, 1, simhost::MenuAddSubItemMsg{item, "sub", sub, 0});
}
ClientMessage DeleteItem(std::uint32_t id) { return Decoded(wire::kMenuDeleteItem, 1, simhost::MenuDeleteItemMsg{id}); }
ClientMessage DeleteSub(std::uint32_t item, std::uint32_t sub) {
  return Decoded(wire::kMenuDeleteSubItem, 1, simhost::MenuDeleteSubItemMsg{item, sub});
}

std::uint32_t U32At(const simhost::Bytes& b, std::size_t offset) { return simhost::ReadU32(b.data() + offset); }

// ---- Apply: one table row per way a message's bookkeeping can go wrong ------
struct ApplyCase {
  const char* name;
  std::vector<ClientMessage> before;  // applied first
  ClientMessage message;              // whose effects are checked
  std::vector<std::uint32_t> replyIds;  // the kinds of the replies, in order
  bool menuChanged;
  bool valuesMayBeDue;
  std::size_t menuItems, definitions, requests;
};

TEST(SimHostSession, ApplyReturnsTheEffectsOfEachMessage) {
  simhost::OpenMsg open;
  open.applicationName = "app";
  ClientMessage refused = Add(1, "X");
  refused.refused = true;
  const ApplyCase cases[] = {
      {"open is answered", {}, Decoded(wire::kOpen, 1, open), {wire::kRecvOpen}, false, false, 0, 0, 0},
      {"a refused message changes nothing", {}, refused, {}, false, false, 0, 0, 0},
      {"a datum joins its definition", {Add(1, "A")}, Add(1, "B"), {}, false, true, 0, 1, 0},
      {"a rejected datum gets an exception, no definition", {}, Add(2, "NOPE", 33), {wire::kRecvException},
       false, true, 0, 0, 0},
      {"clearing drops the definition", {Add(1, "A")},
       Decoded(wire::kClearDataDefinition, 1, simhost::ClearDataDefinitionMsg{1}), {}, false, true, 0, 0, 0},
      {"a request is kept", {Add(1, "A")}, RequestData(7, 1, wire::kPeriodSecond), {}, false, true, 0, 1, 1},
      {"period NEVER ends the request", {Add(1, "A"), RequestData(7, 1, wire::kPeriodSecond)},
       RequestData(7, 1, wire::kPeriodNever), {}, false, true, 0, 1, 0},
      {"a menu item is added", {}, AddItem(5, "Corvane"), {}, true, false, 1, 0, 0},
      {"a sub-item under no item makes a placeholder", {}, AddSub(5, 6), {}, true, false, 1, 0, 0},
      {"deleting an unknown item changes nothing", {AddItem(5, "Corvane")}, DeleteItem(4), {}, false, false, 1,
       0, 0},
      {"the last sub-item takes its placeholder along", {AddSub(5, 6)}, DeleteSub(5, 6), {}, true, false, 0, 0, 0},
      {"a real item outlives its last sub-item", {AddItem(5, "Corvane"), AddSub(5, 6)}, DeleteSub(5, 6), {}, true,
       false, 1, 0, 0},
      {"deleting an unknown sub-item changes nothing", {AddItem(5, "Corvane"), AddSub(5, 6)}, DeleteSub(5, 7), {},
       false, false, 1, 0, 0},
  };
  for (const ApplyCase& c : cases) {
    ValueStore values;
    values.CheckCatalogue(false);  // the names are placeholders: this is about the bookkeeping
    values.Reject("nope");
    Session session(values);
    for (const ClientMessage& m : c.before) session.Apply(m);
    const simhost::Effects effects = session.Apply(c.message);
    std::vector<std::uint32_t> ids;
    for (const auto& reply : effects.replies) ids.push_back(U32At(reply, 8));
    EXPECT_EQ(ids, c.replyIds) << c.name;
    EXPECT_EQ(effects.menuChanged, c.menuChanged) << c.name;
    EXPECT_EQ(effects.valuesMayBeDue, c.valuesMayBeDue) << c.name;
    EXPECT_FALSE(effects.text) << c.name;
    EXPECT_EQ(session.Menu().size(), c.menuItems) << c.name;
    std::size_t datums = 0;
    for (const auto& [id, list] : session.Definitions()) datums += list.empty() ? 0 : 1;
    EXPECT_EQ(datums, c.definitions) << c.name;
    EXPECT_EQ(session.Requests().size(), c.requests) << c.name;
  }
}

// Which data register, one row per way the simulator's rule can be got wrong.
TEST(SimHostSession, NamesTheCatalogueDoesNotKnowAreRefusedWithTheParameterAtFault) {
  struct Row {
    const char* what;
    const char* name;
    const char* unit;
    std::uint32_t refused;  // 0, or the parameter named
  };
  const Row rows[] = {
      {"a known name in its unit", "AIRSPEED INDICATED", "knots", 0},
      {"any case, blanks around", "  airspeed Indicated ", " KNOTS ", 0},
      {"an index after the name", "GENERAL ENG RPM:2", "rpm", 0},
      {"another unit of the same dimension", "INDICATED ALTITUDE", "meters", 0},
      {"a unit the catalogue does not list", "INDICATED ALTITUDE", "furlongs", 0},
      {"an unknown name", "GEAR HANDEL POSITION", "Bool", wire::kIndexName},
      {"an unknown name with an index", "NO SUCH THING:1", "Bool", wire::kIndexName},
      {"a unit of another dimension", "AIRSPEED INDICATED", "feet", wire::kIndexUnit},
      {"an unknown local variable", "L:MADE_UP", "number", 0},
      {"a rejected local variable", "L:REFUSED", "number", wire::kIndexName},
      {"an accepted unknown name", "MY OWN VAR", "number", 0},
      {"a rejected known name", "LIGHT BEACON", "Bool", wire::kIndexName},
  };
  ValueStore values;
  values.Reject("l:refused");
  values.Accept(" my own var");
  values.Reject("Light Beacon");
  for (const Row& row : rows) {
    Session session(values);
    const simhost::Effects effects = session.Apply(Add(1, row.name, 40, wire::kDataTypeFloat64, 0, row.unit));
    const bool registered = !session.Definitions().empty();
    EXPECT_EQ(registered, row.refused == 0) << row.what;
    if (row.refused != 0) {
      ASSERT_EQ(effects.replies.size(), 1u) << row.what;
      EXPECT_EQ(U32At(effects.replies[0], 12), wire::kExceptionNameUnrecognized) << row.what;
      EXPECT_EQ(U32At(effects.replies[0], 16), 40u) << row.what;  // the message's send id
      EXPECT_EQ(U32At(effects.replies[0], 20), row.refused) << row.what;
    }
    EXPECT_EQ(values.RefusedParameter(row.name, row.unit), row.refused) << row.what;
  }
  // Without the catalogue only rejected names are refused.
  values.CheckCatalogue(false);
  EXPECT_EQ(values.RefusedParameter("GEAR HANDEL POSITION", "Bool"), 0u);
  EXPECT_EQ(values.RefusedParameter("AIRSPEED INDICATED", "feet"), 0u);
  EXPECT_EQ(values.RefusedParameter("LIGHT BEACON", "Bool"), wire::kIndexName);
}

// RequestSystemState: answered at once with the client's id when the state is
// known, held while a file is not known yet, refused when unknown.
TEST(SimHostSession, SystemStateRequestsAreAnsweredWithTheirOwnRequestId) {
  struct Row {
    const char* what;
    const char* stateName;
    std::uint32_t replyKind;  // 0: none yet
    std::uint32_t integer;
    const char* text;
  };
  simhost::SystemState state;
  state.aircraft = "SimObjects\\Airplanes\\Plane\\aircraft.cfg";
  state.sim = 1;
  state.dialogMode = 3;
  const Row rows[] = {
      {"the aircraft", "AircraftLoaded", wire::kRecvSystemState, 0, "SimObjects\\Airplanes\\Plane\\aircraft.cfg"},
      {"any case, blanks around", " aircraftloaded ", wire::kRecvSystemState, 0,
       "SimObjects\\Airplanes\\Plane\\aircraft.cfg"},
      {"the simulation runs", "Sim", wire::kRecvSystemState, 1, ""},
      {"a dialog", "DialogMode", wire::kRecvSystemState, 3, ""},
      {"no flight known yet: it waits", "FlightLoaded", 0, 0, ""},
      {"an unknown state", "AircraftLoadedd", wire::kRecvException, 0, ""},
  };
  for (const Row& row : rows) {
    ValueStore values;
    Session session(values, &state);
    const simhost::Effects effects =
        session.Apply(Decoded(wire::kRequestSystemState, 61, simhost::RequestSystemStateMsg{0xABCD, row.stateName}));
    if (row.replyKind == 0) {
      EXPECT_TRUE(effects.replies.empty()) << row.what;
      EXPECT_EQ(session.WaitingRequests(), 1u) << row.what;
      continue;
    }
    ASSERT_EQ(effects.replies.size(), 1u) << row.what;
    const Bytes& reply = effects.replies[0];
    EXPECT_EQ(U32At(reply, 8), row.replyKind) << row.what;
    if (row.replyKind == wire::kRecvException) {
      EXPECT_EQ(U32At(reply, 12), wire::kExceptionNameUnrecognized) << row.what;
      EXPECT_EQ(U32At(reply, 16), 61u) << row.what;
      EXPECT_EQ(U32At(reply, 20), wire::kIndexName) << row.what;
      continue;
    }
    ASSERT_EQ(reply.size(), wire::kRecvSystemStateSize) << row.what;
    EXPECT_EQ(U32At(reply, 12), 0xABCDu) << row.what;
    EXPECT_EQ(U32At(reply, 16), row.integer) << row.what;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data() + 24)), row.text) << row.what;
  }
}

TEST(SimHostSession, ARequestForAFileNotYetKnownIsAnsweredOnceItIs) {
  simhost::SystemState state;
  ValueStore values;
  Session session(values, &state);
  session.Apply(Decoded(wire::kRequestSystemState, 2, simhost::RequestSystemStateMsg{7, "AircraftLoaded"}));
  session.Apply(Decoded(wire::kRequestSystemState, 3, simhost::RequestSystemStateMsg{8, "FlightLoaded"}));
  EXPECT_TRUE(session.AnswerWaiting(simhost::StateName::AircraftLoaded).empty());  // still unknown
  state.aircraft = "C:\\Plane\\aircraft.cfg";
  const std::vector<Bytes> answers = session.AnswerWaiting(simhost::StateName::AircraftLoaded);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(U32At(answers[0], 12), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(answers[0].data() + 24)), "C:\\Plane\\aircraft.cfg");
  EXPECT_EQ(session.WaitingRequests(), 1u);  // the flight still waits
  EXPECT_TRUE(session.AnswerWaiting(simhost::StateName::AircraftLoaded).empty());  // answered once
}

TEST(SimHostSession, RegisteringALocalVariableCreatesItWithZero) {
  ValueStore values;
  Session session(values);
  session.Apply(Add(1, "L:Fresh"));
  session.Apply(Add(1, "PLANE ALTITUDE", 2, wire::kDataTypeFloat64, 0, "feet"));
  ASSERT_EQ(session.Definitions().at(1).size(), 2u);
  EXPECT_EQ(values.Get("l:fresh", "any unit"), 0.0);
  EXPECT_FALSE(values.Get("PLANE ALTITUDE", "feet")) << "only local variables come into being";
  EXPECT_EQ(values.LocalVariables(), std::vector<std::string>{"L:Fresh"});
}

TEST(SimHostSession, TextAndSubscribersAndMenuIds) {
  ValueStore values;
  Session session(values);
  simhost::TextMsg text;
  text.textType = wire::kTextTypePrintRed;
  text.seconds = 2;
  text.text = "hello";
  const simhost::Effects effects = session.Apply(Decoded(wire::kText, 4, text));
  ASSERT_TRUE(effects.text);
  EXPECT_EQ(effects.text->text, "hello");
  EXPECT_EQ(effects.text->sendId, 4u);

  session.Apply(Decoded(wire::kSubscribeToSystemEvent, 1, simhost::SubscribeMsg{3, "Sim"}));
  session.Apply(Decoded(wire::kSubscribeToSystemEvent, 1, simhost::SubscribeMsg{8, "SIM"}));
  session.Apply(Decoded(wire::kSubscribeToSystemEvent, 1, simhost::SubscribeMsg{9, "6Hz"}));
  EXPECT_EQ(session.SubscribersOf("sim"), (std::vector<std::uint32_t>{3, 8}));
  EXPECT_TRUE(session.SubscribersOf("1sec").empty());

  session.Apply(AddItem(5, "Corvane"));
  session.Apply(AddSub(5, 6));
  EXPECT_TRUE(session.HoldsMenuItem(5));
  EXPECT_TRUE(session.HoldsMenuItem(6));
  EXPECT_FALSE(session.HoldsMenuItem(7));
}

// ---- Which values are due ----------------------------------------------------
struct DueCase {
  const char* name;
  std::uint32_t period, flags;
  std::uint32_t datumType;
  float epsilon;
  bool sentBefore;
  std::chrono::milliseconds sentAgo;
  double before, now;  // the value sent last time and the current one
  bool duePaced, dueUnpaced;
  bool waits;  // the paced answer names when it is due
};

TEST(SimHostDue, PumpAndFloodAgreeOnWhichRequestsServeValues) {
  using simhost::Clock;
  const auto F64 = wire::kDataTypeFloat64, I32 = wire::kDataTypeInt32;
  const auto Changed = wire::kFlagChanged;
  const DueCase cases[] = {
      {"first value right after the request", wire::kPeriodSecond, Changed, F64, 0, false, 0ms, 0, 1, true, true, false},
      {"unchanged with CHANGED: nothing", wire::kPeriodSecond, Changed, F64, 0, true, 5000ms, 1, 1, false, true, false},
      {"changed within the period waits", wire::kPeriodSecond, Changed, F64, 0, true, 100ms, 1, 2, false, true, true},
      {"changed after the period", wire::kPeriodSecond, Changed, F64, 0, true, 5000ms, 1, 2, true, true, false},
      {"without CHANGED every period", wire::kPeriodSecond, 0, F64, 0, true, 5000ms, 1, 1, true, true, false},
      {"a move inside epsilon is no change", wire::kPeriodSecond, Changed, F64, 0.5f, true, 5000ms, 1, 1.25, false,
       true, false},
      {"a move beyond epsilon is", wire::kPeriodSecond, Changed, F64, 0.5f, true, 5000ms, 1, 1.75, true, true, false},
      {"an integer change below one is no change", wire::kPeriodSecond, Changed, I32, 0, true, 5000ms, 1, 1.5, false,
       true, false},
      {"ONCE goes once", wire::kPeriodOnce, 0, F64, 0, true, 5000ms, 1, 2, false, true, false},
      {"ONCE goes first", wire::kPeriodOnce, 0, F64, 0, false, 0ms, 0, 2, true, true, false},
      {"VISUAL_FRAME serves values", wire::kPeriodVisualFrame, 0, F64, 0, false, 0ms, 0, 2, true, true, false},
      {"SIM_FRAME serves values", wire::kPeriodSimFrame, 0, F64, 0, false, 0ms, 0, 2, true, true, false},
      {"an unknown period serves none", 9, 0, F64, 0, false, 0ms, 0, 2, false, false, false},
  };
  const Clock::time_point now = Clock::now();
  for (const DueCase& c : cases) {
    ValueStore values;
    values.CheckCatalogue(false);  // "V" is a placeholder
    Session session(values);
    session.Apply(Add(1, "V", 1, c.datumType, c.epsilon));
    session.Apply(RequestData(7, 1, c.period, c.flags));
    if (c.sentBefore) session.MarkSent(7, now - c.sentAgo, {c.before});
    values.Set("V", "number", c.now);
    const simhost::Due paced = simhost::ValuesDue(session, values, now, 1000ms);
    const simhost::Due unpaced = simhost::ValuesDue(session, values, now, std::nullopt);
    EXPECT_EQ(paced.values.size(), c.duePaced ? 1u : 0u) << c.name;
    EXPECT_EQ(unpaced.values.size(), c.dueUnpaced ? 1u : 0u) << c.name;
    EXPECT_EQ(paced.next.has_value(), c.waits) << c.name;
    if (c.waits) {
      EXPECT_EQ(*paced.next, now - c.sentAgo + 1000ms) << c.name;
    }
    if (!paced.values.empty()) {
      const simhost::DueValue& v = paced.values[0];
      EXPECT_EQ(v.values, std::vector<double>{c.now}) << c.name;
      EXPECT_EQ(U32At(v.message, 8), wire::kRecvSimObjectData) << c.name;
      EXPECT_EQ(U32At(v.message, 12), 7u) << c.name;
      EXPECT_EQ(U32At(v.message, 20), 1u) << c.name;
    }
  }
}

TEST(SimHostDue, ARequestWithoutDatumsServesNothing) {
  ValueStore values;
  Session session(values);
  session.Apply(RequestData(7, 1, wire::kPeriodSecond));  // no definition 1
  session.Apply(Add(2, "V"));
  session.Apply(Decoded(wire::kClearDataDefinition, 1, simhost::ClearDataDefinitionMsg{2}));
  session.Apply(RequestData(8, 2, wire::kPeriodSecond));  // definition 2 cleared
  EXPECT_TRUE(simhost::ValuesDue(session, values, simhost::Clock::now(), std::nullopt).values.empty());
  EXPECT_TRUE(simhost::ValuesDue(session, values, simhost::Clock::now(), 1000ms).values.empty());
}

// ---- The wait for a value: the client holds the variable's present value ---
TEST(SimHostDue, CurrentValueSentOnlyOnceTheClientHasThePresentValue) {
  using simhost::Clock;
  struct Case {
    const char* name;
    std::uint32_t period;
    bool sent;     // a value message went out, carrying 1
    double now;    // the variable's value now
    const char* asked;
    bool holds;    // CurrentValueSent's answer
  };
  const Case cases[] = {
      {"sent with the present value", wire::kPeriodSecond, true, 1, "V", true},
      {"the name in another case", wire::kPeriodSecond, true, 1, "v", true},
      {"changed since it was sent", wire::kPeriodSecond, true, 2, "V", false},
      {"not sent yet", wire::kPeriodSecond, false, 1, "V", false},
      {"another variable", wire::kPeriodSecond, true, 1, "W", false},
      {"a request that serves no values", wire::kPeriodNever, true, 1, "V", false},
  };
  for (const Case& c : cases) {
    ValueStore values;
    values.CheckCatalogue(false);  // the names are placeholders
    Session session(values);
    session.Apply(Add(1, "U"));
    session.Apply(Add(1, "V"));
    session.Apply(RequestData(7, 1, c.period, wire::kFlagChanged));
    if (c.sent) session.MarkSent(7, Clock::now(), {0, 1});
    values.Set("V", "number", c.now);
    EXPECT_EQ(simhost::CurrentValueSent(session, values, c.asked), c.holds) << c.name;
  }
  ValueStore values;
  Session session(values);
  EXPECT_FALSE(simhost::CurrentValueSent(session, values, "V")) << "no request at all";
}

}  // namespace
