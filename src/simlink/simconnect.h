// The simulator link's public face: the SimConnect client calls under their
// published names, the constants and the layouts of the messages the simulator
// sends. Everything above the link talks to the simulator through this header.
#pragma once

#include <cstdint>

#ifdef _WIN32
// Spelled as the system headers spell them, so both may meet in one file.
typedef long HRESULT;
typedef unsigned long DWORD;
typedef void* HANDLE;
typedef struct HWND__* HWND;
#else
typedef std::int32_t HRESULT;
typedef std::uint32_t DWORD;
typedef void* HANDLE;
typedef void* HWND;
#endif
static_assert(sizeof(DWORD) == 4, "DWORD must be 32 bits");
static_assert(sizeof(HRESULT) == 4, "HRESULT must be 32 bits");

// ---- Result codes --------------------------------------------------------
#ifndef S_OK
#define S_OK ((HRESULT)0)
#endif
#ifndef E_FAIL
#define E_FAIL ((HRESULT)0x80004005L)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ((HRESULT)0x80070057L)
#endif
#ifndef E_ABORT
#define E_ABORT ((HRESULT)0x80004004L)
#endif
#ifndef E_OUTOFMEMORY
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#endif
#ifndef STRSAFE_E_INSUFFICIENT_BUFFER
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#endif

// Transport loss statuses (NTSTATUS values), returned by the calls once lost.
inline constexpr std::uint32_t STATUS_UNSUCCESSFUL_CODE = 0xC0000001u;  // a failure the system did not name
inline constexpr std::uint32_t STATUS_BUFFER_OVERFLOW_CODE = 0x80000005u;
inline constexpr std::uint32_t STATUS_CANCELLED_CODE = 0xC0000120u;
inline constexpr std::uint32_t STATUS_REMOTE_DISCONNECT_CODE = 0xC000013Cu;
inline constexpr std::uint32_t STATUS_LINK_FAILED_CODE = 0xC000013Eu;
inline constexpr std::uint32_t STATUS_PIPE_BROKEN_CODE = 0xC000014Bu;
inline constexpr std::uint32_t STATUS_CONNECTION_RESET_CODE = 0xC000020Du;

// ---- Published constants -------------------------------------------------
inline constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
inline constexpr DWORD SIMCONNECT_OBJECT_ID_USER = 0;
inline constexpr DWORD SIMCONNECT_TEXT_TYPE_PRINT_RED = 0x102;

enum SIMCONNECT_DATATYPE : DWORD {
  SIMCONNECT_DATATYPE_INVALID = 0,
  SIMCONNECT_DATATYPE_INT32 = 1,
  SIMCONNECT_DATATYPE_INT64 = 2,
  SIMCONNECT_DATATYPE_FLOAT32 = 3,
  SIMCONNECT_DATATYPE_FLOAT64 = 4,
  SIMCONNECT_DATATYPE_STRING8 = 5,
  SIMCONNECT_DATATYPE_STRING32 = 6,
  SIMCONNECT_DATATYPE_STRING64 = 7,
  SIMCONNECT_DATATYPE_STRING128 = 8,
  SIMCONNECT_DATATYPE_STRING256 = 9,
  SIMCONNECT_DATATYPE_STRING260 = 10,
  SIMCONNECT_DATATYPE_STRINGV = 11,
};

enum SIMCONNECT_PERIOD : DWORD {
  SIMCONNECT_PERIOD_NEVER = 0,
  SIMCONNECT_PERIOD_ONCE = 1,
  SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
  SIMCONNECT_PERIOD_SIM_FRAME = 3,
  SIMCONNECT_PERIOD_SECOND = 4,
};

inline constexpr DWORD SIMCONNECT_DATA_REQUEST_FLAG_DEFAULT = 0;
inline constexpr DWORD SIMCONNECT_DATA_REQUEST_FLAG_CHANGED = 1;
inline constexpr DWORD SIMCONNECT_DATA_REQUEST_FLAG_TAGGED = 2;

enum SIMCONNECT_RECV_ID : DWORD {
  SIMCONNECT_RECV_ID_NULL = 0,
  SIMCONNECT_RECV_ID_EXCEPTION = 1,
  SIMCONNECT_RECV_ID_OPEN = 2,
  SIMCONNECT_RECV_ID_QUIT = 3,
  SIMCONNECT_RECV_ID_EVENT = 4,
  SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
  SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
  SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
  SIMCONNECT_RECV_ID_WEATHER_OBSERVATION = 10,
  SIMCONNECT_RECV_ID_CLOUD_STATE = 11,
  SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID = 12,
  SIMCONNECT_RECV_ID_RESERVED_KEY = 13,
  SIMCONNECT_RECV_ID_CUSTOM_ACTION = 14,
  SIMCONNECT_RECV_ID_SYSTEM_STATE = 15,
  SIMCONNECT_RECV_ID_CLIENT_DATA = 16,
};

enum SIMCONNECT_EXCEPTION : DWORD {
  SIMCONNECT_EXCEPTION_NONE = 0,
  SIMCONNECT_EXCEPTION_ERROR = 1,
  SIMCONNECT_EXCEPTION_SIZE_MISMATCH = 2,
  SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
  SIMCONNECT_EXCEPTION_UNOPENED = 4,
  SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
  SIMCONNECT_EXCEPTION_TOO_MANY_GROUPS = 6,
  SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
  SIMCONNECT_EXCEPTION_TOO_MANY_EVENT_NAMES = 8,
  SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE = 9,
  SIMCONNECT_EXCEPTION_TOO_MANY_MAPS = 10,
  SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS = 11,
  SIMCONNECT_EXCEPTION_TOO_MANY_REQUESTS = 12,
  SIMCONNECT_EXCEPTION_WEATHER_INVALID_PORT = 13,
  SIMCONNECT_EXCEPTION_WEATHER_INVALID_METAR = 14,
  SIMCONNECT_EXCEPTION_WEATHER_UNABLE_TO_GET_OBSERVATION = 15,
  SIMCONNECT_EXCEPTION_WEATHER_UNABLE_TO_CREATE_STATION = 16,
  SIMCONNECT_EXCEPTION_WEATHER_UNABLE_TO_REMOVE_STATION = 17,
  SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE = 18,
  SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE = 19,
  SIMCONNECT_EXCEPTION_DATA_ERROR = 20,
  SIMCONNECT_EXCEPTION_INVALID_ARRAY = 21,
  SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED = 22,
  SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED = 23,
  SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OJBECT_TYPE = 24,
  SIMCONNECT_EXCEPTION_ILLEGAL_OPERATION = 25,
  SIMCONNECT_EXCEPTION_ALREADY_SUBSCRIBED = 26,
  SIMCONNECT_EXCEPTION_INVALID_ENUM = 27,
  SIMCONNECT_EXCEPTION_DEFINITION_ERROR = 28,
  SIMCONNECT_EXCEPTION_DUPLICATE_ID = 29,
  SIMCONNECT_EXCEPTION_DATUM_ID = 30,
  SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS = 31,
  SIMCONNECT_EXCEPTION_ALREADY_CREATED = 32,
  SIMCONNECT_EXCEPTION_OBJECT_OUTSIDE_REALITY_BUBBLE = 33,
  SIMCONNECT_EXCEPTION_OBJECT_CONTAINER = 34,
  SIMCONNECT_EXCEPTION_OBJECT_AI = 35,
  SIMCONNECT_EXCEPTION_OBJECT_ATC = 36,
  SIMCONNECT_EXCEPTION_OBJECT_SCHEDULE = 37,
  SIMCONNECT_EXCEPTION_BLOCK_TIMEOUT = 38,
};

// Operation codes of the messages the link sends.
enum SimConnectSendType : std::uint32_t {
  kSendOpen = 0xF0000001u,
  kSendAddToDataDefinition = 0xF000000Cu,
  kSendClearDataDefinition = 0xF000000Du,
  kSendRequestDataOnSimObject = 0xF000000Eu,
  kSendSubscribeToSystemEvent = 0xF0000017u,
  kSendMenuAddItem = 0xF0000031u,
  kSendMenuDeleteItem = 0xF0000032u,
  kSendMenuAddSubItem = 0xF0000033u,
  kSendMenuDeleteSubItem = 0xF0000034u,
  // Not among the published layouts; the next number of the family after the
  // menu calls, with the layout of its arguments: request id, state name.
  kSendRequestSystemState = 0xF0000035u,
  kSendText = 0xF0000040u,
};
inline constexpr std::uint32_t kSendProtocolVersion = 5;
inline constexpr std::uint32_t kSendHeaderSize = 16;
inline constexpr std::uint32_t kStringFieldSize = 256;

// ---- Received message layouts (no padding: every field is 4-byte aligned) --
#pragma pack(push, 1)
struct SIMCONNECT_RECV {
  DWORD dwSize;
  DWORD dwVersion;
  DWORD dwID;
};

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
  DWORD dwException;
  DWORD dwSendID;
  DWORD dwIndex;
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
  char szApplicationName[256];
  DWORD dwApplicationVersionMajor;
  DWORD dwApplicationVersionMinor;
  DWORD dwApplicationBuildMajor;
  DWORD dwApplicationBuildMinor;
  DWORD dwSimConnectVersionMajor;
  DWORD dwSimConnectVersionMinor;
  DWORD dwSimConnectBuildMajor;
  DWORD dwSimConnectBuildMinor;
  DWORD dwReserved1;
  DWORD dwReserved2;
};

struct SIMCONNECT_RECV_QUIT : SIMCONNECT_RECV {};

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
  DWORD uGroupID;
  DWORD uEventID;
  DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
  char szFileName[260];
  DWORD dwFlags;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwObjectID;
  DWORD dwDefineID;
  DWORD dwFlags;
  DWORD dwentrynumber;
  DWORD dwoutof;
  DWORD dwDefineCount;
  DWORD dwData;  // first 4 bytes of the data
};

struct SIMCONNECT_RECV_SYSTEM_STATE : SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwInteger;
  float fFloat;
  char szString[260];
};
#pragma pack(pop)

static_assert(sizeof(SIMCONNECT_RECV) == 12);
static_assert(sizeof(SIMCONNECT_RECV_EXCEPTION) == 24);
static_assert(sizeof(SIMCONNECT_RECV_OPEN) == 308);
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24);
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288);
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44);
static_assert(sizeof(SIMCONNECT_RECV_SYSTEM_STATE) == 284);
inline constexpr std::uint32_t kSimObjectDataOffset = 40;  // offset of dwData

// ---- The calls -----------------------------------------------------------
typedef void (*DispatchProc)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT SimConnect_Close(HANDLE hSimConnect);
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwSendID);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, DWORD EventID, const char* SystemEventName);
HRESULT SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem, DWORD MenuEventID, DWORD dwData);
HRESULT SimConnect_MenuAddSubItem(HANDLE hSimConnect, DWORD MenuEventID, const char* szMenuItem,
                                  DWORD SubMenuEventID, DWORD dwData);
HRESULT SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, DWORD MenuEventID, DWORD SubMenuEventID);
HRESULT SimConnect_MenuDeleteItem(HANDLE hSimConnect, DWORD MenuEventID);
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID, const char* DatumName,
                                       const char* UnitsName, SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                       DWORD DatumID);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID, DWORD ObjectID,
                                          SIMCONNECT_PERIOD Period, DWORD Flags, DWORD origin, DWORD interval,
                                          DWORD limit);
HRESULT SimConnect_ClearDataDefinition(HANDLE hSimConnect, DWORD DefineID);
// Asks for one system state ("AircraftLoaded", "Sim", "DialogMode",
// "FlightLoaded"); the answer is a SIMCONNECT_RECV_SYSTEM_STATE carrying
// RequestID.
HRESULT SimConnect_RequestSystemState(HANDLE hSimConnect, DWORD RequestID, const char* szState);
HRESULT SimConnect_Text(HANDLE hSimConnect, DWORD type, float fTimeSeconds, DWORD EventID, DWORD cbUnitSize,
                        void* pDataSet);
