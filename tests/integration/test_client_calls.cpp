// The bytes of every message the link sends, its send identifiers and the
// dispatch call, checked at a real simhost over a pipe of the test's own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/link_session.h"
#include "simlink/transport_probe_testing.h"
#include "support/own_pipe.h"

using namespace testsupport;
using simhost::Bytes;

namespace {

Bytes Header(std::uint32_t size, std::uint32_t type, std::uint32_t sendId) {
  Bytes bytes(size, 0);
  simhost::PutU32(bytes, 0, size);
  simhost::PutU32(bytes, 4, 5);
  simhost::PutU32(bytes, 8, type);
  simhost::PutU32(bytes, 12, sendId);
  return bytes;
}

void PutText(Bytes& bytes, std::size_t offset, const std::string& text) {
  std::memcpy(bytes.data() + offset, text.data(), text.size());
}

void PutFloat(Bytes& bytes, std::size_t offset, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  simhost::PutU32(bytes, offset, bits);
}

class ClientCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Start();
    ASSERT_EQ(SimConnect_Open(&handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(host.WaitForMessages(1, 3s));
  }
  void TearDown() override {
    if (handle != nullptr) SimConnect_Close(handle);
    host.Stop();
    EXPECT_TRUE(WaitForNoConnections());
  }
  // The bytes of the n-th message simhost received (0 = the open message).
  Bytes Sent(std::size_t n) {
    EXPECT_TRUE(host.WaitForMessages(n + 1, 3s));
    auto messages = host.Messages();
    return n < messages.size() ? messages[n].bytes : Bytes{};
  }
  DWORD LastId() {
    DWORD id = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(handle, &id), S_OK);
    return id;
  }

  OwnPipe pipe;
  simhost::SimHost host{pipe.HostOptions()};
  HANDLE handle = nullptr;
};

TEST_F(ClientCalls, OpenMessageCarriesNameAndVersionBytes) {
  Bytes expected = Header(296, 0xF0000001, 1);
  PutText(expected, 16, "Nimbra_Bridge");
  expected[277] = 0x48;
  expected[278] = 0x4B;
  simhost::PutU32(expected, 280, 11);
  simhost::PutU32(expected, 288, 62651);
  simhost::PutU32(expected, 292, 3);
  EXPECT_EQ(Sent(0), expected);
  EXPECT_FALSE(host.Messages()[0].refused);
}

TEST_F(ClientCalls, EveryMessageKindHasItsExactBytes) {
  ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 5, "AircraftLoaded"), S_OK);
  ASSERT_EQ(SimConnect_MenuAddItem(handle, "Corvane", 6, 0x11223344), S_OK);
  ASSERT_EQ(SimConnect_MenuAddSubItem(handle, 6, "Velk_Throttle - Reload Bindings", 8, 7), S_OK);
  ASSERT_EQ(SimConnect_MenuDeleteSubItem(handle, 6, 9), S_OK);
  ASSERT_EQ(SimConnect_MenuDeleteItem(handle, 6), S_OK);
  ASSERT_EQ(SimConnect_AddToDataDefinition(handle, 3, "GEAR HANDLE POSITION", "Bool", SIMCONNECT_DATATYPE_INT32,
                                           0.5f, SIMCONNECT_UNUSED),
            S_OK);
  ASSERT_EQ(SimConnect_RequestDataOnSimObject(handle, 3, 4, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND,
                                              SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 10, 20, 30),
            S_OK);
  ASSERT_EQ(SimConnect_ClearDataDefinition(handle, 3), S_OK);

  Bytes subscribe = Header(276, 0xF0000017, 2);
  simhost::PutU32(subscribe, 16, 5);
  PutText(subscribe, 20, "AircraftLoaded");
  EXPECT_EQ(Sent(1), subscribe);

  Bytes menuAdd = Header(280, 0xF0000031, 3);
  PutText(menuAdd, 16, "Corvane");
  simhost::PutU32(menuAdd, 272, 6);
  simhost::PutU32(menuAdd, 276, 0x11223344);
  EXPECT_EQ(Sent(2), menuAdd);

  Bytes subAdd = Header(284, 0xF0000033, 4);
  simhost::PutU32(subAdd, 16, 6);
  PutText(subAdd, 20, "Velk_Throttle - Reload Bindings");
  simhost::PutU32(subAdd, 276, 8);
  simhost::PutU32(subAdd, 280, 7);
  EXPECT_EQ(Sent(3), subAdd);

  Bytes subDelete = Header(24, 0xF0000034, 5);
  simhost::PutU32(subDelete, 16, 6);
  simhost::PutU32(subDelete, 20, 9);
  EXPECT_EQ(Sent(4), subDelete);

  Bytes menuDelete = Header(20, 0xF0000032, 6);
  simhost::PutU32(menuDelete, 16, 6);
  EXPECT_EQ(Sent(5), menuDelete);

  Bytes define = Header(544, 0xF000000C, 7);
  simhost::PutU32(define, 16, 3);
  PutText(define, 20, "GEAR HANDLE POSITION");
  PutText(define, 276, "Bool");
  simhost::PutU32(define, 532, SIMCONNECT_DATATYPE_INT32);
  PutFloat(define, 536, 0.5f);
  simhost::PutU32(define, 540, 0xFFFFFFFF);
  EXPECT_EQ(Sent(6), define);

  Bytes request = Header(48, 0xF000000E, 8);
  const std::uint32_t fields[] = {3, 4, 0, 4, 1, 10, 20, 30};
  for (int i = 0; i < 8; ++i) simhost::PutU32(request, 16 + 4 * i, fields[i]);
  EXPECT_EQ(Sent(7), request);

  Bytes clear = Header(20, 0xF000000D, 9);
  simhost::PutU32(clear, 16, 3);
  EXPECT_EQ(Sent(8), clear);
  EXPECT_TRUE(host.Refused().empty());
}

TEST_F(ClientCalls, RequestSystemStateCarriesTheRequestIdAndTheStateName) {
  ASSERT_EQ(SimConnect_RequestSystemState(handle, 0x01020304, "AircraftLoaded"), S_OK);
  Bytes request = Header(276, 0xF0000035, 2);
  simhost::PutU32(request, 16, 0x01020304);
  PutText(request, 20, "AircraftLoaded");
  EXPECT_EQ(Sent(1), request);
  EXPECT_EQ(LastId(), 2u);
  // A name that does not fit its field sends nothing and uses up its identifier.
  EXPECT_EQ(SimConnect_RequestSystemState(handle, 1, std::string(256, 's').c_str()), STRSAFE_E_INSUFFICIENT_BUFFER);
  ASSERT_EQ(SimConnect_RequestSystemState(handle, 0, nullptr), S_OK);
  EXPECT_EQ(Sent(2), Header(276, 0xF0000035, 4));
  EXPECT_TRUE(host.Refused().empty());
}

TEST_F(ClientCalls, TextSendsItsDataUnchanged) {
  char line[200];
  for (int i = 0; i < 200; ++i) line[i] = static_cast<char>(i * 7 + 1);  // bytes after a zero pass too
  line[50] = 0;
  ASSERT_EQ(SimConnect_Text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 10.0f, 4, 200, line), S_OK);
  Bytes expected = Header(232, 0xF0000040, 2);
  simhost::PutU32(expected, 16, 0x102);
  PutFloat(expected, 20, 10.0f);
  simhost::PutU32(expected, 24, 4);
  simhost::PutU32(expected, 28, 200);
  std::memcpy(expected.data() + 32, line, 200);
  EXPECT_EQ(Sent(1), expected);
}

TEST_F(ClientCalls, TextWithoutDataSendsZeros) {
  ASSERT_EQ(SimConnect_Text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f, 4, 16, nullptr), S_OK);
  const Bytes sent = Sent(1);
  ASSERT_EQ(sent.size(), 48u);
  EXPECT_EQ(Bytes(sent.begin() + 32, sent.end()), Bytes(16, 0));
}

TEST_F(ClientCalls, TextLargerThanTheSendBufferFailsWithoutSending) {
  std::vector<char> data(41057, 'x');
  EXPECT_LT(SimConnect_Text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f, 4, 41057, data.data()), 0);
  EXPECT_EQ(SimConnect_Text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f, 4, 41056, data.data()), S_OK);
  EXPECT_EQ(SimConnect_Text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f, 4, 0xFFFFFFF0u, data.data()), E_FAIL);
  const Bytes sent = Sent(1);
  EXPECT_EQ(sent.size(), 41088u);
  EXPECT_EQ(simhost::ReadU32(sent.data() + 12), 2u);  // the refused call took no identifier
}

TEST_F(ClientCalls, SendIdentifiersRunOnAndSkipAfterARefusedString) {
  ASSERT_EQ(SimConnect_MenuDeleteItem(handle, 6), S_OK);
  EXPECT_EQ(LastId(), 2u);
  ASSERT_EQ(SimConnect_MenuDeleteItem(handle, 6), S_OK);
  EXPECT_EQ(LastId(), 3u);
  const std::string tooLong(256, 'a');
  EXPECT_EQ(SimConnect_MenuAddItem(handle, tooLong.c_str(), 6, 0), STRSAFE_E_INSUFFICIENT_BUFFER);
  ASSERT_EQ(SimConnect_AddToDataDefinition(handle, 1, "X", "feet", SIMCONNECT_DATATYPE_FLOAT64, 0, 0), S_OK);
  const DWORD last = LastId();
  EXPECT_EQ(last, 5u);
  const Bytes sent = Sent(3);
  EXPECT_EQ(simhost::ReadU32(sent.data() + 8), 0xF000000Cu);
  EXPECT_EQ(simhost::ReadU32(sent.data() + 12), last);
  EXPECT_EQ(host.MessageCount(), 4u);  // the refused one never left
}

TEST_F(ClientCalls, IdentifiersWrapFromTheTopToOne) {
  simlink::TransportProbe::SetLastSendId(*static_cast<simlink::ClientClient*>(handle), 0xFFFFFFFE);
  ASSERT_EQ(SimConnect_MenuDeleteItem(handle, 6), S_OK);
  ASSERT_EQ(SimConnect_MenuDeleteItem(handle, 6), S_OK);
  ASSERT_EQ(SimConnect_MenuDeleteItem(handle, 6), S_OK);
  EXPECT_EQ(simhost::ReadU32(Sent(1).data() + 12), 0xFFFFFFFFu);
  EXPECT_EQ(simhost::ReadU32(Sent(2).data() + 12), 1u);
  EXPECT_EQ(simhost::ReadU32(Sent(3).data() + 12), 2u);
}

TEST_F(ClientCalls, StringFieldsHoldUpTo255Characters) {
  const std::string fits(255, 'n');
  ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 1, fits.c_str()), S_OK);
  const Bytes sent = Sent(1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sent.data() + 20), 255), fits);
  EXPECT_EQ(sent[20 + 255], 0);

  const std::string longer(256, 'n');
  EXPECT_EQ(SimConnect_SubscribeToSystemEvent(handle, 1, longer.c_str()), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(SimConnect_AddToDataDefinition(handle, 1, "X", longer.c_str(), SIMCONNECT_DATATYPE_INT32, 0, 0),
            STRSAFE_E_INSUFFICIENT_BUFFER);
  // A null string is an empty field.
  ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 2, nullptr), S_OK);
  const Bytes empty = Sent(2);
  EXPECT_EQ(Bytes(empty.begin() + 20, empty.end()), Bytes(256, 0));
  EXPECT_EQ(host.MessageCount(), 3u);
}

TEST_F(ClientCalls, DispatchDeliversInArrivalOrderAndDropsShortMessages) {
  Received received;
  EXPECT_EQ(DispatchUntil(handle, received, [&] { return !received.messages.empty(); }), S_OK);
  ASSERT_EQ(received.messages.size(), 1u);
  EXPECT_EQ(received.Id(0), SIMCONNECT_RECV_ID_OPEN);
  EXPECT_EQ(received.messages[0].size(), 308u);

  Bytes tooShort(8, 0);
  simhost::PutU32(tooShort, 0, 8);
  Bytes batch = tooShort;
  for (std::uint32_t id : {11u, 12u}) {
    const Bytes event = simhost::BuildEvent(0xFFFFFFFF, id, 0);
    batch.insert(batch.end(), event.begin(), event.end());
  }
  batch.insert(batch.end(), tooShort.begin(), tooShort.end());
  const Bytes quit = simhost::BuildQuit();
  batch.insert(batch.end(), quit.begin(), quit.end());
  ASSERT_TRUE(host.SendRaw(batch));

  Received later;
  EXPECT_EQ(DispatchUntil(handle, later, [&] { return later.messages.size() >= 3; }), S_OK);
  ASSERT_EQ(later.messages.size(), 3u);
  EXPECT_EQ(reinterpret_cast<const SIMCONNECT_RECV_EVENT*>(later.messages[0].data())->uEventID, 11u);
  EXPECT_EQ(reinterpret_cast<const SIMCONNECT_RECV_EVENT*>(later.messages[1].data())->uEventID, 12u);
  EXPECT_EQ(later.Id(2), SIMCONNECT_RECV_ID_QUIT);

  Received none;
  EXPECT_EQ(SimConnect_CallDispatch(handle, &Received::Collect, &none), S_OK);
  EXPECT_TRUE(none.messages.empty());
}

TEST_F(ClientCalls, DispatchWithoutAnyRoutineFailsAndKeepsTheQueue) {
  ASSERT_TRUE(host.SendQuit());
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(SimConnect_CallDispatch(handle, nullptr, nullptr), E_FAIL);
  Received received;
  DispatchUntil(handle, received, [&] { return received.messages.size() >= 2; });
  ASSERT_EQ(received.messages.size(), 2u);  // the open answer and the quit
  EXPECT_EQ(received.Id(1), SIMCONNECT_RECV_ID_QUIT);
}

TEST_F(ClientCalls, AfterTheSimulatorClosesQueuedMessagesComeFirstThenTheLossCode) {
  ASSERT_TRUE(host.SendQuit());
  ASSERT_TRUE(host.CloseClient());
  ASSERT_TRUE(host.WaitForDisconnect(3s));

  Received received;
  const HRESULT result = DispatchUntil(handle, received, [] { return false; });
  ASSERT_EQ(received.messages.size(), 2u);
  EXPECT_EQ(received.Id(1), SIMCONNECT_RECV_ID_QUIT);
  EXPECT_LT(result, 0);
  EXPECT_TRUE(result == static_cast<HRESULT>(STATUS_PIPE_BROKEN_CODE) ||
              result == static_cast<HRESULT>(STATUS_LINK_FAILED_CODE))
      << std::hex << result;

  const std::size_t before = host.MessageCount();
  EXPECT_EQ(SimConnect_MenuDeleteItem(handle, 6), result);
  EXPECT_EQ(SimConnect_Text(handle, 0x102, 1.0f, 4, 0, nullptr), result);
  EXPECT_EQ(SimConnect_CallDispatch(handle, &Received::Collect, &received), result);
  DWORD id = 0;
  EXPECT_EQ(SimConnect_GetLastSentPacketID(handle, &id), S_OK);
  EXPECT_EQ(id, 1u);  // nothing was stamped after the loss
  EXPECT_EQ(host.MessageCount(), before);
}

TEST(ClientCallsWithoutConnection, NullHandlesAndPointersFailAndSendNothing) {
  EXPECT_EQ(SimConnect_Close(nullptr), E_FAIL);
  EXPECT_EQ(SimConnect_CallDispatch(nullptr, &Received::Collect, nullptr), E_FAIL);
  EXPECT_EQ(SimConnect_SubscribeToSystemEvent(nullptr, 1, "Sim"), E_FAIL);
  EXPECT_EQ(SimConnect_MenuAddItem(nullptr, "Corvane", 6, 0), E_FAIL);
  EXPECT_EQ(SimConnect_MenuAddSubItem(nullptr, 6, "x", 8, 0), E_FAIL);
  EXPECT_EQ(SimConnect_MenuDeleteSubItem(nullptr, 6, 8), E_FAIL);
  EXPECT_EQ(SimConnect_MenuDeleteItem(nullptr, 6), E_FAIL);
  EXPECT_EQ(SimConnect_AddToDataDefinition(nullptr, 1, "X", "Bool", SIMCONNECT_DATATYPE_INT32, 0, 0), E_FAIL);
  EXPECT_EQ(SimConnect_RequestDataOnSimObject(nullptr, 1, 1, 0, SIMCONNECT_PERIOD_SECOND, 1, 0, 0, 0), E_FAIL);
  EXPECT_EQ(SimConnect_ClearDataDefinition(nullptr, 1), E_FAIL);
  EXPECT_EQ(SimConnect_RequestSystemState(nullptr, 0, "AircraftLoaded"), E_FAIL);
  char text[4] = "abc";
  EXPECT_EQ(SimConnect_Text(nullptr, 0x102, 1.0f, 4, 4, text), E_FAIL);
  DWORD id = 77;
  EXPECT_EQ(SimConnect_GetLastSentPacketID(nullptr, &id), E_FAIL);
  EXPECT_EQ(id, 77u);
  EXPECT_EQ(SimConnect_Open(nullptr, "Nimbra_Bridge", nullptr, 0, nullptr, 0), E_INVALIDARG);
}

TEST(ClientCallsWithoutConnection, OpenWithNoSimulatorFailsAndLeavesTheHandleNull) {
  OwnPipe pipe;
  pipe.PointAtNothing();
  HANDLE handle = reinterpret_cast<HANDLE>(0x1234);
  EXPECT_EQ(SimConnect_Open(&handle, "Nimbra_Bridge", nullptr, 0, nullptr, 0), E_FAIL);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(simlink::CClient::LiveCClients(), 0);
}

TEST(ClientCallsWithoutConnection, OpenWithAnOverlongNameFailsAndClosesTheConnection) {
  OwnPipe pipe;
  simhost::SimHost host(pipe.HostOptions());
  host.Start();
  HANDLE handle = reinterpret_cast<HANDLE>(0x1234);
  const std::string name(256, 'n');
  EXPECT_EQ(SimConnect_Open(&handle, name.c_str(), nullptr, 0, nullptr, 0), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(handle, nullptr);
  EXPECT_TRUE(host.WaitForConnections(1, 3s));
  EXPECT_TRUE(host.WaitForDisconnect(3s));
  EXPECT_EQ(host.MessageCount(), 0u);
  EXPECT_TRUE(WaitForNoConnections());
}

}  // namespace
