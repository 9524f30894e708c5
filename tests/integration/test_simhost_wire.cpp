// simhost reads the wire from its own table of numbers so that it stays an
// independent check of the link. This holds that table against the link's
// header, value by value: a slip on either side shows here by name.
#include <gtest/gtest.h>

#include <cstdint>

#include "simlink/client_client.h"
#include "simlink/simconnect.h"
#include "wire.h"

namespace {

namespace wire = simhost::wire;

struct Pair {
  const char* name;
  std::uint64_t simhost;
  std::uint64_t link;
};

TEST(SimHostWire, EveryNumberMatchesTheLinkHeader) {
  const Pair pairs[] = {
      {"Open", wire::kOpen, kSendOpen},
      {"AddToDataDefinition", wire::kAddToDataDefinition, kSendAddToDataDefinition},
      {"ClearDataDefinition", wire::kClearDataDefinition, kSendClearDataDefinition},
      {"RequestDataOnSimObject", wire::kRequestDataOnSimObject, kSendRequestDataOnSimObject},
      {"SubscribeToSystemEvent", wire::kSubscribeToSystemEvent, kSendSubscribeToSystemEvent},
      {"MenuAddItem", wire::kMenuAddItem, kSendMenuAddItem},
      {"MenuDeleteItem", wire::kMenuDeleteItem, kSendMenuDeleteItem},
      {"MenuAddSubItem", wire::kMenuAddSubItem, kSendMenuAddSubItem},
      {"MenuDeleteSubItem", wire::kMenuDeleteSubItem, kSendMenuDeleteSubItem},
      {"RequestSystemState", wire::kRequestSystemState, kSendRequestSystemState},
      {"Text", wire::kText, kSendText},
      {"client version", wire::kClientVersion, kSendProtocolVersion},
      {"client header size", wire::kClientHeaderSize, kSendHeaderSize},
      {"string field size", wire::kStringFieldSize, kStringFieldSize},
      {"largest client message", wire::kMaxClientMessage, simlink::kSendBufferSize},
      {"RECV_ID_EXCEPTION", wire::kRecvException, SIMCONNECT_RECV_ID_EXCEPTION},
      {"RECV_ID_OPEN", wire::kRecvOpen, SIMCONNECT_RECV_ID_OPEN},
      {"RECV_ID_QUIT", wire::kRecvQuit, SIMCONNECT_RECV_ID_QUIT},
      {"RECV_ID_EVENT", wire::kRecvEvent, SIMCONNECT_RECV_ID_EVENT},
      {"RECV_ID_EVENT_FILENAME", wire::kRecvEventFilename, SIMCONNECT_RECV_ID_EVENT_FILENAME},
      {"RECV_ID_SIMOBJECT_DATA", wire::kRecvSimObjectData, SIMCONNECT_RECV_ID_SIMOBJECT_DATA},
      {"RECV_ID_SYSTEM_STATE", wire::kRecvSystemState, SIMCONNECT_RECV_ID_SYSTEM_STATE},
      {"RECV header size", wire::kRecvHeaderSize, sizeof(SIMCONNECT_RECV)},
      {"RECV_EXCEPTION size", wire::kRecvExceptionSize, sizeof(SIMCONNECT_RECV_EXCEPTION)},
      {"RECV_OPEN size", wire::kRecvOpenSize, sizeof(SIMCONNECT_RECV_OPEN)},
      {"RECV_QUIT size", wire::kRecvQuitSize, sizeof(SIMCONNECT_RECV_QUIT)},
      {"RECV_EVENT size", wire::kRecvEventSize, sizeof(SIMCONNECT_RECV_EVENT)},
      {"RECV_EVENT_FILENAME size", wire::kRecvEventFilenameSize, sizeof(SIMCONNECT_RECV_EVENT_FILENAME)},
      {"RECV_SYSTEM_STATE size", wire::kRecvSystemStateSize, sizeof(SIMCONNECT_RECV_SYSTEM_STATE)},
      {"SIMOBJECT_DATA data offset", wire::kSimObjectDataOffset, kSimObjectDataOffset},
      {"UNUSED", wire::kUnused, SIMCONNECT_UNUSED},
      {"TEXT_TYPE_PRINT_RED", wire::kTextTypePrintRed, SIMCONNECT_TEXT_TYPE_PRINT_RED},
      {"EXCEPTION_NAME_UNRECOGNIZED", wire::kExceptionNameUnrecognized, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED},
      {"DATATYPE_INT32", wire::kDataTypeInt32, SIMCONNECT_DATATYPE_INT32},
      {"DATATYPE_INT64", wire::kDataTypeInt64, SIMCONNECT_DATATYPE_INT64},
      {"DATATYPE_FLOAT32", wire::kDataTypeFloat32, SIMCONNECT_DATATYPE_FLOAT32},
      {"DATATYPE_FLOAT64", wire::kDataTypeFloat64, SIMCONNECT_DATATYPE_FLOAT64},
      {"DATATYPE_STRING8", wire::kDataTypeString8, SIMCONNECT_DATATYPE_STRING8},
      {"DATATYPE_STRING32", wire::kDataTypeString32, SIMCONNECT_DATATYPE_STRING32},
      {"DATATYPE_STRING64", wire::kDataTypeString64, SIMCONNECT_DATATYPE_STRING64},
      {"DATATYPE_STRING128", wire::kDataTypeString128, SIMCONNECT_DATATYPE_STRING128},
      {"DATATYPE_STRING256", wire::kDataTypeString256, SIMCONNECT_DATATYPE_STRING256},
      {"DATATYPE_STRING260", wire::kDataTypeString260, SIMCONNECT_DATATYPE_STRING260},
      {"DATATYPE_STRINGV", wire::kDataTypeStringV, SIMCONNECT_DATATYPE_STRINGV},
      {"PERIOD_NEVER", wire::kPeriodNever, SIMCONNECT_PERIOD_NEVER},
      {"PERIOD_ONCE", wire::kPeriodOnce, SIMCONNECT_PERIOD_ONCE},
      {"PERIOD_VISUAL_FRAME", wire::kPeriodVisualFrame, SIMCONNECT_PERIOD_VISUAL_FRAME},
      {"PERIOD_SIM_FRAME", wire::kPeriodSimFrame, SIMCONNECT_PERIOD_SIM_FRAME},
      {"PERIOD_SECOND", wire::kPeriodSecond, SIMCONNECT_PERIOD_SECOND},
      {"DATA_REQUEST_FLAG_CHANGED", wire::kFlagChanged, SIMCONNECT_DATA_REQUEST_FLAG_CHANGED},
  };
  for (const Pair& p : pairs) EXPECT_EQ(p.simhost, p.link) << p.name;
}

}  // namespace
