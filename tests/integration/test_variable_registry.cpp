// The variable registry over the real link against simhost: the exact
// registration messages, reference counting, identifiers, rejections and
// received values, and condition sets evaluated from those values.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/allocation_failure.h"
#include "support/boxes.h"
#include "app/process_state.h"
#include "profiles/condition.h"
#include "profiles/evaluation.h"
#include "support/link_session.h"
#include "support/own_pipe.h"
#include "variables/variable_registry.h"

using namespace testsupport;
using simhost::Bytes;

namespace {

using testsupport::kBoxesOnStderr;

Condition Cond(const std::string& reference, const std::string& value) {
  MadeCondition made = MakeCondition(reference, value);
  EXPECT_TRUE(made.made) << reference << ": " << made.whyNot;
  return made.condition;
}

// What a condition set hands the registry: views into `conditions`, which
// the caller keeps for the call.
std::vector<VariableUse> Uses(const std::vector<Condition>& conditions) {
  std::vector<VariableUse> uses;
  for (const Condition& condition : conditions) uses.push_back({condition.reference, condition.valueType});
  return uses;
}

// Hands received values and rejections to a registry as the bridge's
// dispatcher does, with the data copied to a block of exactly the received
// length so that a read past it is caught.
struct Feed {
  VariableRegistry* registry = nullptr;
  int values = 0;
  int exceptions = 0;

  static void Deliver(SIMCONNECT_RECV* message, DWORD size, void* context) {
    auto* self = static_cast<Feed*>(context);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(message);
    if (message->dwID == SIMCONNECT_RECV_ID_SIMOBJECT_DATA && size >= kSimObjectDataOffset) {
      const auto* data = reinterpret_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA*>(message);
      const std::size_t length = size - kSimObjectDataOffset;
      std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[length == 0 ? 1 : length]);
      if (length > 0) std::memcpy(exact.get(), bytes + kSimObjectDataOffset, length);
      self->registry->StoreValue(data->dwRequestID, exact.get(), length);
      ++self->values;
    } else if (message->dwID == SIMCONNECT_RECV_ID_EXCEPTION && size >= sizeof(SIMCONNECT_RECV_EXCEPTION)) {
      const auto* exception = reinterpret_cast<const SIMCONNECT_RECV_EXCEPTION*>(message);
      if (exception->dwException != SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID) {
        self->registry->RemoveBySendId(exception->dwSendID);
      }
      ++self->exceptions;
    }
  }
};

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(simHandle, nullptr);
    host.Start();
    ASSERT_EQ(SimConnect_Open(&handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_TRUE(host.WaitForMessages(1, 3s));
    simHandle = handle;
    feed.registry = &registry;
  }
  void TearDown() override {
    simHandle = nullptr;
    if (handle != nullptr) SimConnect_Close(handle);
    host.Stop();
    EXPECT_TRUE(WaitForNoConnections());
  }

  // Dispatches into the registry until `done` holds; false on time-out.
  bool DispatchUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (SimConnect_CallDispatch(handle, &Feed::Deliver, &feed) < 0) return false;
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
  }

  // The messages simhost received after the first `from`, once `count` are there.
  std::vector<simhost::ClientMessage> MessagesAfter(std::size_t from, std::size_t count) {
    EXPECT_TRUE(host.WaitForMessages(from + count, 3s)) << "have " << host.MessageCount();
    auto all = host.Messages();
    return std::vector<simhost::ClientMessage>(all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())),
                                               all.end());
  }

  // The reference's entry; fails the test when there is none.
  const SimVariable& Entry(const std::string& reference) {
    const SimVariable* variable = registry.FindVariable(reference);
    EXPECT_NE(variable, nullptr) << reference;
    static const SimVariable none;
    return variable != nullptr ? *variable : none;
  }

  // Most names here are placeholders (A, KEEP, MARKER): these tests are about
  // the registry's bookkeeping, so simhost registers any name.
  static simhost::Options AnyName(simhost::Options options) {
    options.knownNamesOnly = false;
    return options;
  }

  OwnPipe pipe;
  simhost::SimHost host{AnyName(pipe.HostOptions())};
  HANDLE handle = nullptr;
  VariableRegistry registry;
  Feed feed;
};

void ExpectDefinition(const simhost::ClientMessage& message, std::uint32_t defineId, const std::string& name,
                      const std::string& unit, std::uint32_t type) {
  ASSERT_EQ(message.type, kSendAddToDataDefinition) << simhost::Describe(message);
  const auto& add = std::get<simhost::AddToDataDefinitionMsg>(message.decoded);
  EXPECT_EQ(add.defineId, defineId);
  EXPECT_EQ(add.datumName, name);
  EXPECT_EQ(add.unitsName, unit);
  EXPECT_EQ(add.datumType, type);
  EXPECT_EQ(add.epsilon, 0.0f);
  EXPECT_EQ(add.datumId, SIMCONNECT_UNUSED);
}

void ExpectRequest(const simhost::ClientMessage& message, std::uint32_t id, std::uint32_t period,
                   std::uint32_t flags) {
  ASSERT_EQ(message.type, kSendRequestDataOnSimObject) << simhost::Describe(message);
  const auto& request = std::get<simhost::RequestDataMsg>(message.decoded);
  EXPECT_EQ(request.requestId, id);
  EXPECT_EQ(request.defineId, id);
  EXPECT_EQ(request.objectId, SIMCONNECT_OBJECT_ID_USER);
  EXPECT_EQ(request.period, period);
  EXPECT_EQ(request.flags, flags);
  EXPECT_EQ(request.origin, 0u);
  EXPECT_EQ(request.interval, 0u);
  EXPECT_EQ(request.limit, 0u);
}

void ExpectClear(const simhost::ClientMessage& message, std::uint32_t id) {
  ASSERT_EQ(message.type, kSendClearDataDefinition) << simhost::Describe(message);
  EXPECT_EQ(std::get<simhost::ClearDataDefinitionMsg>(message.decoded).defineId, id);
}

TEST_F(Registry, RegistersAndUnregistersWithTheExactMessages) {
  const std::vector<Condition> conditions = {
      Cond("A:LIGHT LANDING:1 ,Bool", "TRUE"),
      Cond("A:INDICATED ALTITUDE,   feet ", ">1500"),
  };
  const std::size_t before = host.MessageCount();
  registry.AcquireVariables(Uses(conditions));

  auto sent = MessagesAfter(before, 4);
  ASSERT_EQ(sent.size(), 4u);
  ExpectDefinition(sent[0], 1, "LIGHT LANDING:1 ", "Bool", SIMCONNECT_DATATYPE_INT32);
  ExpectRequest(sent[1], 1, SIMCONNECT_PERIOD_SECOND, SIMCONNECT_DATA_REQUEST_FLAG_CHANGED);
  ExpectDefinition(sent[2], 2, "INDICATED ALTITUDE", "feet ", SIMCONNECT_DATATYPE_FLOAT64);
  ExpectRequest(sent[3], 2, SIMCONNECT_PERIOD_SECOND, SIMCONNECT_DATA_REQUEST_FLAG_CHANGED);
  for (const auto& message : sent) EXPECT_FALSE(message.refused) << message.reason;

  const SimVariable& landing = Entry("A:LIGHT LANDING:1 ,Bool");
  EXPECT_EQ(landing.valueType, ValueType::Bool);
  ASSERT_NE(landing.intValue, nullptr);
  EXPECT_EQ(*landing.intValue, 0);
  EXPECT_EQ(landing.floatValue, nullptr);
  EXPECT_EQ(landing.refCount, 1);
  EXPECT_EQ(landing.defineId, 1);
  EXPECT_EQ(landing.addSendId, sent[0].sendId);
  EXPECT_EQ(landing.requestSendId, sent[1].sendId);
  const SimVariable& altitude = Entry("A:INDICATED ALTITUDE,   feet ");
  EXPECT_EQ(altitude.valueType, ValueType::Number);
  ASSERT_NE(altitude.floatValue, nullptr);
  EXPECT_EQ(*altitude.floatValue, 0.0);
  EXPECT_EQ(altitude.intValue, nullptr);
  EXPECT_EQ(altitude.addSendId, sent[2].sendId);
  EXPECT_EQ(altitude.requestSendId, sent[3].sendId);
  EXPECT_EQ(registry.usedDefineIds(), (std::vector<std::int32_t>{1, 2}));

  const std::size_t beforeRelease = host.MessageCount();
  registry.ReleaseVariables(Uses(conditions));
  auto stopped = MessagesAfter(beforeRelease, 4);
  ASSERT_EQ(stopped.size(), 4u);
  ExpectRequest(stopped[0], 1, SIMCONNECT_PERIOD_NEVER, 0);
  ExpectClear(stopped[1], 1);
  ExpectRequest(stopped[2], 2, SIMCONNECT_PERIOD_NEVER, 0);
  ExpectClear(stopped[3], 2);
  EXPECT_TRUE(registry.entries().empty());
  EXPECT_TRUE(registry.usedDefineIds().empty());
  EXPECT_TRUE(host.Definitions().empty());
  EXPECT_TRUE(host.Requests().empty());
}

TEST_F(Registry, SharedReferencesAreCountedAcrossSets) {
  const Condition gear = Cond("A:GEAR HANDLE POSITION,Bool", "TRUE");
  const Condition alsoGear = Cond("A:GEAR HANDLE POSITION,Bool", "!=0");
  const Condition gearBlank = Cond("A:GEAR HANDLE POSITION, Bool", "1");
  const std::size_t before = host.MessageCount();

  registry.AcquireVariables(Uses({gear, alsoGear}));
  registry.AcquireVariables(Uses({gear}));
  EXPECT_EQ(Entry(gear.reference).refCount, 3);
  // Differing by a blank is another key, registered again under its own id.
  registry.AcquireVariables(Uses({gearBlank}));
  EXPECT_EQ(Entry(gearBlank.reference).defineId, 2);
  auto sent = MessagesAfter(before, 4);
  ASSERT_EQ(sent.size(), 4u);
  ExpectDefinition(sent[0], 1, "GEAR HANDLE POSITION", "Bool", SIMCONNECT_DATATYPE_INT32);
  ExpectDefinition(sent[2], 2, "GEAR HANDLE POSITION", "Bool", SIMCONNECT_DATATYPE_INT32);

  registry.ReleaseVariables(Uses({gear, alsoGear}));
  EXPECT_EQ(Entry(gear.reference).refCount, 1);
  registry.ReleaseVariables(Uses({gearBlank}));
  EXPECT_EQ(registry.FindVariable(gearBlank.reference), nullptr);
  auto afterPartial = MessagesAfter(before, 6);
  ASSERT_EQ(afterPartial.size(), 6u);  // only the blank variant was unregistered
  ExpectRequest(afterPartial[4], 2, SIMCONNECT_PERIOD_NEVER, 0);
  ExpectClear(afterPartial[5], 2);

  registry.ReleaseVariables(Uses({gear}));
  EXPECT_EQ(registry.FindVariable(gear.reference), nullptr);
  auto all = MessagesAfter(before, 8);
  ASSERT_EQ(all.size(), 8u);
  ExpectRequest(all[6], 1, SIMCONNECT_PERIOD_NEVER, 0);
  ExpectClear(all[7], 1);
  // Releasing what is no longer held sends nothing.
  registry.ReleaseVariables(Uses({gear}));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(host.MessageCount(), before + 8);
}

TEST_F(Registry, ConditionSetsHoldTheirVariablesWhileTheyLive) {
  const Condition gear = Cond("A:GEAR HANDLE POSITION,Bool", "TRUE");
  auto first = std::make_unique<ConditionSet>(variableRegistry, "one", std::vector<Condition>{gear}, false);
  auto second = std::make_unique<ConditionSet>(variableRegistry, "two", std::vector<Condition>{gear}, false);
  ASSERT_NE(variableRegistry.FindVariable(gear.reference), nullptr);
  EXPECT_EQ(variableRegistry.FindVariable(gear.reference)->refCount, 2);
  first.reset();
  ASSERT_NE(variableRegistry.FindVariable(gear.reference), nullptr);
  EXPECT_EQ(variableRegistry.FindVariable(gear.reference)->refCount, 1);
  second.reset();
  EXPECT_EQ(variableRegistry.FindVariable(gear.reference), nullptr);
  EXPECT_TRUE(variableRegistry.usedDefineIds().empty());
}

TEST_F(Registry, SmallestFreeIdentifierIsReused) {
  const Condition a = Cond("A:A,feet", "1"), b = Cond("A:B,feet", "1"), c = Cond("A:C,feet", "1"),
                  d = Cond("A:D,feet", "1");
  registry.AcquireVariables(Uses({a, b, c}));
  EXPECT_EQ(registry.usedDefineIds(), (std::vector<std::int32_t>{1, 2, 3}));
  registry.ReleaseVariables(Uses({b}));
  EXPECT_EQ(registry.usedDefineIds(), (std::vector<std::int32_t>{1, 3}));
  ASSERT_TRUE(host.WaitForMessages(1 + 3 * 2 + 2, 3s));  // open, three registrations, one release
  const std::size_t before = host.MessageCount();
  registry.AcquireVariables(Uses({d}));
  EXPECT_EQ(registry.usedDefineIds(), (std::vector<std::int32_t>{1, 3, 2}));
  EXPECT_EQ(Entry(d.reference).defineId, 2);
  auto sent = MessagesAfter(before, 2);
  ASSERT_EQ(sent.size(), 2u);
  ExpectDefinition(sent[0], 2, "D", "feet", SIMCONNECT_DATATYPE_FLOAT64);
  ExpectRequest(sent[1], 2, SIMCONNECT_PERIOD_SECOND, SIMCONNECT_DATA_REQUEST_FLAG_CHANGED);
  // Unregistering an identifier not in use sends nothing.
  registry.UnregisterVariable(7);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(host.MessageCount(), before + 2);
}

TEST_F(Registry, RefusedRegistrationsAreReportedAndKeepTheirIdentifier) {
  const std::vector<Condition> refused = {
      Cond("L:MODE,Number", "1"),                                // not a simulation variable
      Cond("a:GEAR HANDLE POSITION,Bool", "1"),                  // lower-case prefix
      Cond("(L:MODE,Char", "A"),                                 // Char is never watched
      Cond("A:ATC ID,String", "N123"),                           // nor is String
      Cond("A:" + std::string(256, 'N') + ",feet", "1"),         // the name does not fit
      Cond("A:X," + std::string(256, 'u'), "1"),                 // the unit does not fit
  };
  const Condition fine = Cond("A:FINE,feet", "1");
  const std::size_t before = host.MessageCount();
  testing::internal::CaptureStderr();
  registry.AcquireVariables(Uses(refused));
  registry.AcquireVariables(Uses({fine}));
  const std::string boxes = testing::internal::GetCapturedStderr();

  if (kBoxesOnStderr) {
    std::string expected;
    for (const Condition& c : refused) {
      expected += "NimbraBridge: Could not add condition variable '" + c.reference + "' to MSFS processing.\n";
    }
    EXPECT_EQ(boxes, expected);
  }
  EXPECT_EQ(registry.entries().size(), 1u);
  // The two that reached the simulator call took identifiers 1 and 2 for good.
  EXPECT_EQ(registry.usedDefineIds(), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(Entry(fine.reference).defineId, 3);
  auto sent = MessagesAfter(before, 2);
  ASSERT_EQ(sent.size(), 2u);
  ExpectDefinition(sent[0], 3, "FINE", "feet", SIMCONNECT_DATATYPE_FLOAT64);
  for (const Condition& c : refused) EXPECT_EQ(registry.FindVariable(c.reference), nullptr);
}

TEST_F(Registry, ExceptionNamingEitherMessageRemovesTheVariable) {
  const Condition gear = Cond("A:GEAR HANDLE POSITION,Bool", "1");
  const Condition flaps = Cond("A:FLAPS HANDLE INDEX,Number", "2");
  const Condition keep = Cond("A:KEEP,feet", "3");
  registry.AcquireVariables(Uses({gear, flaps, keep, gear}));
  const SimVariable& gearEntry = Entry(gear.reference);
  const std::uint32_t gearAdd = gearEntry.addSendId;
  const std::uint32_t flapsRequest = Entry(flaps.reference).requestSendId;
  const std::int32_t gearId = gearEntry.defineId;
  ASSERT_TRUE(host.WaitForMessages(1 + 3 * 2, 3s));  // open and three registrations
  const std::size_t before = host.MessageCount();

  testing::internal::CaptureStderr();
  ASSERT_TRUE(host.SendException(SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, gearAdd, 2));
  ASSERT_TRUE(host.SendException(SIMCONNECT_EXCEPTION_ERROR, flapsRequest, 0));
  ASSERT_TRUE(host.SendException(SIMCONNECT_EXCEPTION_ERROR, 999999, 0));  // names nothing of ours
  const bool delivered = DispatchUntil([&] { return feed.exceptions == 3; });
  const std::string boxes = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(delivered);

  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes,
              "NimbraBridge|SimConnectException: There was problem with variable 'A:GEAR HANDLE POSITION,Bool'. "
              "It will be removed from further processing.\n"
              "NimbraBridge|SimConnectException: There was problem with variable 'A:FLAPS HANDLE INDEX,Number'. "
              "It will be removed from further processing.\n");
  }
  // Removed whatever their count; the rest stays.
  EXPECT_EQ(registry.FindVariable(gear.reference), nullptr);
  EXPECT_EQ(registry.FindVariable(flaps.reference), nullptr);
  EXPECT_NE(registry.FindVariable(keep.reference), nullptr);
  EXPECT_EQ(registry.usedDefineIds(), (std::vector<std::int32_t>{3}));
  auto stopped = MessagesAfter(before, 4);
  ASSERT_EQ(stopped.size(), 4u);
  ExpectRequest(stopped[0], static_cast<std::uint32_t>(gearId), SIMCONNECT_PERIOD_NEVER, 0);
  ExpectClear(stopped[1], static_cast<std::uint32_t>(gearId));

  // Their holders' later release passes over them.
  registry.ReleaseVariables(Uses({gear, flaps, gear}));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(host.MessageCount(), before + 4);
}

TEST_F(Registry, SimulatorRejectionOfAnUnknownNameRemovesIt) {
  host.Reject("NO SUCH VARIABLE");
  const Condition unknown = Cond("A:NO SUCH VARIABLE,Bool", "1");
  testing::internal::CaptureStderr();
  registry.AcquireVariables(Uses({unknown}));
  EXPECT_NE(registry.FindVariable(unknown.reference), nullptr);  // accepted for sending
  const bool delivered = DispatchUntil([&] { return feed.exceptions == 1; });
  const std::string boxes = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(delivered);
  EXPECT_EQ(registry.FindVariable(unknown.reference), nullptr);
  if (kBoxesOnStderr) {
    EXPECT_EQ(boxes, "NimbraBridge|SimConnectException: There was problem with variable "
                     "'A:NO SUCH VARIABLE,Bool'. It will be removed from further processing.\n");
  }
}

TEST_F(Registry, ValuesOfFourAndEightBytesAreStored) {
  const Condition gear = Cond("A:GEAR HANDLE POSITION,Bool", "1");
  const Condition altitude = Cond("A:INDICATED ALTITUDE,feet", "1");
  host.SetValue("GEAR HANDLE POSITION", "Bool", -7);
  host.SetValue("INDICATED ALTITUDE", "feet", 1234.625);
  registry.AcquireVariables(Uses({gear, altitude}));
  EXPECT_EQ(*Entry(gear.reference).intValue, 0);  // nothing arrived yet
  EXPECT_EQ(*Entry(altitude.reference).floatValue, 0.0);

  ASSERT_TRUE(DispatchUntil([&] {
    return *Entry(gear.reference).intValue == -7 && *Entry(altitude.reference).floatValue == 1234.625;
  }));
  host.SetValue("INDICATED ALTITUDE", "feet", -0.5);
  host.SetValue("GEAR HANDLE POSITION", "Bool", 1);
  ASSERT_TRUE(DispatchUntil([&] {
    return *Entry(gear.reference).intValue == 1 && *Entry(altitude.reference).floatValue == -0.5;
  }));
}

TEST_F(Registry, ShortOrStrayDataChangesNothing) {
  const Condition gear = Cond("A:GEAR HANDLE POSITION,Bool", "1");
  const Condition altitude = Cond("A:INDICATED ALTITUDE,feet", "1");
  const Condition marker = Cond("A:MARKER,feet", "1");
  registry.AcquireVariables(Uses({gear, altitude, marker}));
  ASSERT_TRUE(DispatchUntil([&] { return feed.values == 3; }));  // the first values, all 0

  const auto gearId = static_cast<std::uint32_t>(Entry(gear.reference).defineId);
  const auto altitudeId = static_cast<std::uint32_t>(Entry(altitude.reference).defineId);
  double marked = 42.0;
  Bytes markerValue(8);
  std::memcpy(markerValue.data(), &marked, 8);
  ASSERT_TRUE(host.SendRaw(simhost::BuildSimObjectData(gearId, 0, gearId, 1, 1, Bytes{1, 0, 0})));
  ASSERT_TRUE(host.SendRaw(simhost::BuildSimObjectData(altitudeId, 0, altitudeId, 1, 1, Bytes{0, 0, 0, 0, 0, 0, 0xF0})));
  ASSERT_TRUE(host.SendRaw(simhost::BuildSimObjectData(altitudeId, 0, altitudeId, 1, 1, Bytes{})));
  ASSERT_TRUE(host.SendRaw(simhost::BuildSimObjectData(99, 0, 99, 1, 1, markerValue)));  // nobody's request
  host.SetValue("MARKER", "feet", marked);
  ASSERT_TRUE(DispatchUntil([&] { return *Entry(marker.reference).floatValue == marked; }));

  EXPECT_EQ(feed.values, 8);
  EXPECT_EQ(*Entry(gear.reference).intValue, 0);
  EXPECT_EQ(*Entry(altitude.reference).floatValue, 0.0);
}

// A condition set whose construction runs out of memory, at whichever
// allocation, gives back every variable it had taken: the registry is as
// before, and the set that finally builds holds each variable once more.
TEST_F(Registry, AConditionSetThatRunsOutOfMemoryGivesBackWhatItTook) {
  const Condition held = Cond("A:HELD,Bool", "1");
  const ConditionSet holder(variableRegistry, "holder", {held}, false);
  const std::vector<Condition> conditions = {held, Cond("A:NEW ONE,feet", ">1"), Cond("a:REFUSED,Bool", "1"),
                                             Cond("A:NEW TWO,Bool", "1"), held};
  // An allocation whose failure the code absorbs (the link keeps unsent
  // bytes for the next send) lets the set build; the next one is failed then.
  std::size_t thrown = 0;
  for (std::size_t nth = 1; nth < 10000; ++nth) {
    std::unique_ptr<ConditionSet> set;
    testing::internal::CaptureStderr();
    FailAllocation(nth);
    try {
      set = std::make_unique<ConditionSet>(variableRegistry, "set", conditions, false);
    } catch (const std::bad_alloc&) {
    }
    const bool failed = AllocationFailed();
    testing::internal::GetCapturedStderr();
    if (set) {
      EXPECT_EQ(variableRegistry.FindVariable(held.reference)->refCount, 3) << "allocation " << nth;
      EXPECT_EQ(variableRegistry.entries().size(), 3u) << "allocation " << nth;
      set.reset();
    } else {
      ++thrown;
    }
    ASSERT_EQ(variableRegistry.entries().size(), 1u) << "allocation " << nth;
    ASSERT_EQ(variableRegistry.FindVariable(held.reference)->refCount, 1) << "allocation " << nth;
    if (!failed) break;
  }
  EXPECT_GT(thrown, 5u);
}

// Condition sets read the values that arrived through the process-wide registry.
class Evaluation : public Registry {
 protected:
  void SetUp() override {
    Registry::SetUp();
    feed.registry = &variableRegistry;
  }
};

TEST_F(Evaluation, BoolEqualZeroHoldsBeforeAnyValueArrives) {
  host.SetValue("GEAR HANDLE POSITION", "Bool", 1);
  const ConditionSet down(variableRegistry, "down", {Cond("A:GEAR HANDLE POSITION,Bool", "==0")}, false);
  const ConditionSet up(variableRegistry, "up", {Cond("A:GEAR HANDLE POSITION,Bool", "TRUE")}, false);
  EXPECT_TRUE(EvaluateConditionSet(down));
  EXPECT_FALSE(EvaluateConditionSet(up));
  ASSERT_TRUE(DispatchUntil([&] { return EvaluateConditionSet(up); }));
  EXPECT_FALSE(EvaluateConditionSet(down));
}

TEST_F(Evaluation, AllOfAndAnyOfOverLiveValues) {
  host.SetValue("A", "feet", 10);
  host.SetValue("B", "feet", 20);
  host.SetValue("C", "Bool", 1);
  const Condition aTrue = Cond("A:A,feet", ">=10");
  const Condition bFalse = Cond("A:B,feet", "<20");
  const Condition cTrue = Cond("A:C,Bool", "TRUE");
  const Condition cFalse = Cond("A:C,Bool", "FALSE");
  const ConditionSet allOf(variableRegistry, "all", {aTrue, bFalse, cTrue}, false);
  const ConditionSet allTrue(variableRegistry, "all true", {aTrue, cTrue}, false);
  const ConditionSet anyOf(variableRegistry, "any", {bFalse, cFalse, aTrue}, true);
  const ConditionSet anyNone(variableRegistry, "none", {bFalse, cFalse}, true);
  ASSERT_TRUE(DispatchUntil([&] { return feed.values >= 3; }));

  EXPECT_FALSE(EvaluateConditionSet(allOf));
  EXPECT_TRUE(EvaluateConditionSet(allTrue));
  EXPECT_TRUE(EvaluateConditionSet(anyOf));
  EXPECT_FALSE(EvaluateConditionSet(anyNone));

  host.SetValue("B", "feet", 19.5);
  ASSERT_TRUE(DispatchUntil([&] { return EvaluateCondition(bFalse, variableRegistry); }));
  EXPECT_TRUE(EvaluateConditionSet(allOf));
  EXPECT_TRUE(EvaluateConditionSet(anyNone));
}

TEST_F(Evaluation, NaNOnlySatisfiesNotEqual) {
  host.SetValue("AIRSPEED", "knots", std::numeric_limits<double>::quiet_NaN());
  const char* ops[] = {"!=5", "==5", "<5", ">=5", ">5", "<=5"};
  std::vector<std::unique_ptr<ConditionSet>> sets;
  for (const char* op : ops) {
    sets.push_back(std::make_unique<ConditionSet>(variableRegistry, op, std::vector<Condition>{Cond("A:AIRSPEED,knots", op)}, false));
  }
  const SimVariable* airspeed = variableRegistry.FindVariable("A:AIRSPEED,knots");
  ASSERT_NE(airspeed, nullptr);
  ASSERT_TRUE(DispatchUntil([&] { return std::isnan(*airspeed->floatValue); }));
  EXPECT_TRUE(EvaluateConditionSet(*sets[0]));
  for (std::size_t i = 1; i < sets.size(); ++i) EXPECT_FALSE(EvaluateConditionSet(*sets[i])) << ops[i];
}

TEST_F(Evaluation, RejectedVariableDarkensItsSetsUntilReloaded) {
  host.SetValue("GEAR HANDLE POSITION", "Bool", 1);
  host.SetValue("KEEP", "feet", 1);
  const Condition gear = Cond("A:GEAR HANDLE POSITION,Bool", "1");
  const Condition keep = Cond("A:KEEP,feet", "1");
  const ConditionSet allOf(variableRegistry, "all", {gear, keep}, false);
  ASSERT_TRUE(DispatchUntil([&] { return EvaluateConditionSet(allOf); }));

  const std::uint32_t sendId = variableRegistry.FindVariable(gear.reference)->requestSendId;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(host.SendException(SIMCONNECT_EXCEPTION_ERROR, sendId));
  const bool delivered = DispatchUntil([&] { return feed.exceptions == 1; });
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(delivered);
  EXPECT_FALSE(EvaluateCondition(gear, variableRegistry));
  EXPECT_TRUE(EvaluateCondition(keep, variableRegistry));
  EXPECT_FALSE(EvaluateConditionSet(allOf));
}

}  // namespace
