// The SimConnect client calls: each builds exactly one message in the
// connection's send buffer and hands it to the transport at once.
#include <cstring>

#include "simlink/client_client.h"
#include "simlink/simconnect.h"
#include "simlink/transport_choice.h"

using simlink::ClientClient;
using simlink::ReserveResult;

namespace {

// Writes the fields of one reserved message.
class MessageWriter {
 public:
  explicit MessageWriter(std::uint8_t* message) : message_(message) {}

  void U32(std::uint32_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) message_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void F32(std::uint32_t offset, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    U32(offset, bits);
  }
  // A 256-byte string field; false when the text does not fit with its zero.
  bool String(std::uint32_t offset, const char* text) {
    if (text == nullptr) return true;
    const std::size_t length = strnlen(text, kStringFieldSize);
    if (length >= kStringFieldSize) return false;
    std::memcpy(message_ + offset, text, length);
    return true;
  }
  void Bytes(std::uint32_t offset, const void* data, std::uint32_t length) {
    if (data != nullptr) std::memcpy(message_ + offset, data, length);
  }

 private:
  std::uint8_t* message_;
};

HRESULT LossCode(ClientClient* client) {
  HRESULT code = 0;
  client->IsLost(&code);
  return code < 0 ? code : E_FAIL;  // lost without a recorded code still fails
}

// Reserves, stamps the header and lets `fill` write the payload; a payload
// that does not fit gives its room back. Does not flush.
template <typename Fill>
HRESULT BuildMessage(ClientClient* client, std::uint32_t type, std::uint64_t length, Fill fill) {
  if (client == nullptr) return E_FAIL;
  std::uint8_t* message = nullptr;
  switch (client->Reserve(length, &message)) {
    case ReserveResult::Lost:
      return LossCode(client);
    case ReserveResult::NoRoom:
      return E_FAIL;
    case ReserveResult::Ok:
      break;
  }
  MessageWriter writer(message);
  writer.U32(0, static_cast<std::uint32_t>(length));
  writer.U32(4, kSendProtocolVersion);
  writer.U32(8, type);
  if (!fill(writer)) {
    client->Unreserve(message, static_cast<std::uint32_t>(length));
    return STRSAFE_E_INSUFFICIENT_BUFFER;
  }
  return S_OK;
}

template <typename Fill>
HRESULT SendMessage(HANDLE handle, std::uint32_t type, std::uint64_t length, Fill fill) {
  auto* client = static_cast<ClientClient*>(handle);
  const HRESULT result = BuildMessage(client, type, length, fill);
  if (result == S_OK) client->Flush();
  return result;
}

}  // namespace

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex) {
  if (phSimConnect == nullptr) return E_INVALIDARG;
  *phSimConnect = nullptr;
  ClientClient* client = nullptr;
  switch (simlink::ChooseAndConnect(ConfigIndex, &client)) {
    case simlink::ChooseResult::NoSection:
      return E_INVALIDARG;
    case simlink::ChooseResult::Failed:
      return E_FAIL;
    case simlink::ChooseResult::Connected:
      break;
  }
  client->window = hWnd;
  client->windowMessage = UserEventWin32;
  client->event = hEventHandle;
  client->defaultDispatch = nullptr;

  HRESULT result = BuildMessage(client, kSendOpen, 296, [&](MessageWriter& w) {
    if (!w.String(16, szName)) return false;
    w.U32(272, 0);
    const std::uint8_t version[4] = {0x00, 0x48, 0x4B, 0x00};
    w.Bytes(276, version, 4);
    w.U32(280, 11);
    w.U32(284, 0);
    w.U32(288, 62651);
    w.U32(292, 3);
    return true;
  });
  if (result == S_OK && !client->Flush()) result = E_FAIL;
  if (result != S_OK) {
    simlink::CloseConnection(client);
    return result;
  }
  *phSimConnect = client;
  return S_OK;
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, DWORD EventID, const char* SystemEventName) {
  return SendMessage(hSimConnect, kSendSubscribeToSystemEvent, 276, [&](MessageWriter& w) {
    w.U32(16, EventID);
    return w.String(20, SystemEventName);
  });
}

HRESULT SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem, DWORD MenuEventID, DWORD dwData) {
  return SendMessage(hSimConnect, kSendMenuAddItem, 280, [&](MessageWriter& w) {
    if (!w.String(16, szMenuItem)) return false;
    w.U32(272, MenuEventID);
    w.U32(276, dwData);
    return true;
  });
}

HRESULT SimConnect_MenuAddSubItem(HANDLE hSimConnect, DWORD MenuEventID, const char* szMenuItem,
                                  DWORD SubMenuEventID, DWORD dwData) {
  return SendMessage(hSimConnect, kSendMenuAddSubItem, 284, [&](MessageWriter& w) {
    w.U32(16, MenuEventID);
    if (!w.String(20, szMenuItem)) return false;
    w.U32(276, SubMenuEventID);
    w.U32(280, dwData);
    return true;
  });
}

HRESULT SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, DWORD MenuEventID, DWORD SubMenuEventID) {
  return SendMessage(hSimConnect, kSendMenuDeleteSubItem, 24, [&](MessageWriter& w) {
    w.U32(16, MenuEventID);
    w.U32(20, SubMenuEventID);
    return true;
  });
}

HRESULT SimConnect_MenuDeleteItem(HANDLE hSimConnect, DWORD MenuEventID) {
  return SendMessage(hSimConnect, kSendMenuDeleteItem, 20, [&](MessageWriter& w) {
    w.U32(16, MenuEventID);
    return true;
  });
}

HRESULT SimConnect_RequestSystemState(HANDLE hSimConnect, DWORD RequestID, const char* szState) {
  return SendMessage(hSimConnect, kSendRequestSystemState, 276, [&](MessageWriter& w) {
    w.U32(16, RequestID);
    return w.String(20, szState);
  });
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID, const char* DatumName,
                                       const char* UnitsName, SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                       DWORD DatumID) {
  return SendMessage(hSimConnect, kSendAddToDataDefinition, 544, [&](MessageWriter& w) {
    w.U32(16, DefineID);
    if (!w.String(20, DatumName) || !w.String(276, UnitsName)) return false;
    w.U32(532, DatumType);
    w.F32(536, fEpsilon);
    w.U32(540, DatumID);
    return true;
  });
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID, DWORD ObjectID,
                                          SIMCONNECT_PERIOD Period, DWORD Flags, DWORD origin, DWORD interval,
                                          DWORD limit) {
  return SendMessage(hSimConnect, kSendRequestDataOnSimObject, 48, [&](MessageWriter& w) {
    w.U32(16, RequestID);
    w.U32(20, DefineID);
    w.U32(24, ObjectID);
    w.U32(28, Period);
    w.U32(32, Flags);
    w.U32(36, origin);
    w.U32(40, interval);
    w.U32(44, limit);
    return true;
  });
}

HRESULT SimConnect_ClearDataDefinition(HANDLE hSimConnect, DWORD DefineID) {
  return SendMessage(hSimConnect, kSendClearDataDefinition, 20, [&](MessageWriter& w) {
    w.U32(16, DefineID);
    return true;
  });
}

HRESULT SimConnect_Text(HANDLE hSimConnect, DWORD type, float fTimeSeconds, DWORD EventID, DWORD cbUnitSize,
                        void* pDataSet) {
  // Without data the bytes stay zero, as a null string gives an empty field.
  return SendMessage(hSimConnect, kSendText, 32ull + cbUnitSize, [&](MessageWriter& w) {
    w.U32(16, type);
    w.F32(20, fTimeSeconds);
    w.U32(24, EventID);
    w.U32(28, cbUnitSize);
    w.Bytes(32, pDataSet, cbUnitSize);
    return true;
  });
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwSendID) {
  if (hSimConnect == nullptr || pdwSendID == nullptr) return E_FAIL;
  *pdwSendID = static_cast<ClientClient*>(hSimConnect)->lastSendId();
  return S_OK;
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
  if (hSimConnect == nullptr) return E_FAIL;
  auto* client = static_cast<ClientClient*>(hSimConnect);
  DispatchProc routine = pfcnDispatch != nullptr ? pfcnDispatch : client->defaultDispatch;
  if (routine == nullptr) return E_FAIL;
  client->latestDispatch = routine;
  client->latestContext = pContext;
  // A loss seen before taking the queue comes after every message in it, so
  // everything received before the loss is delivered first.
  const bool lost = client->IsLost(nullptr);
  for (simlink::DataBlock& message : client->TakeReceived()) {
    if (message.length >= sizeof(SIMCONNECT_RECV) && message.data) {
      routine(reinterpret_cast<SIMCONNECT_RECV*>(message.data.get()), message.length, pContext);
    }
  }
  return lost ? LossCode(client) : S_OK;
}

HRESULT SimConnect_Close(HANDLE hSimConnect) {
  if (hSimConnect == nullptr) return E_FAIL;
  auto* client = static_cast<ClientClient*>(hSimConnect);
  client->Flush();
  simlink::CloseConnection(client);
  return S_OK;
}
