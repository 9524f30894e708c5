// Overlapped I/O on a named pipe or a Winsock socket, completed on the system
// thread pool through BindIoCompletionCallback. The request's NTSTATUS (or
// Wine's Win32 code for it) is translated into the seam's result here.
// ntstatus.h names the statuses; windows.h must leave them to it.
#define WIN32_NO_STATUS
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#undef WIN32_NO_STATUS
#include <ntstatus.h>
#include <winternl.h>

#include <atomic>
#include <cstring>

#include "platform/io.h"
#include "platform/win32/io_results.h"

namespace platform {
namespace {

static_assert(sizeof(OVERLAPPED) <= sizeof(OverlappedStorage), "OverlappedStorage too small");
static_assert(alignof(OVERLAPPED) <= alignof(OverlappedStorage), "OverlappedStorage under-aligned");
static_assert(sizeof(IoHandle) == sizeof(HANDLE) && sizeof(IoHandle) == sizeof(SOCKET));
static_assert(static_cast<IoHandle>(INVALID_SOCKET) == kInvalidIoHandle);

// Every handle is bound to the same routine; it is kept here for the trampoline.
std::atomic<IoCompletionRoutine> g_routine{nullptr};

constexpr DWORD Code(NTSTATUS status) { return static_cast<DWORD>(status); }

IoStart StartedOr(DWORD error) { return error == ERROR_IO_PENDING ? IoStart{} : NotStarted(error); }

VOID CALLBACK CompletionTrampoline(DWORD status, DWORD bytes, LPOVERLAPPED overlapped) {
  const IoCompletionRoutine routine = g_routine.load();
  if (routine != nullptr) routine(ResultOfStatus(status), bytes, reinterpret_cast<OverlappedStorage*>(overlapped));
}

HANDLE AsHandle(IoHandle handle) { return reinterpret_cast<HANDLE>(handle); }
SOCKET AsSocket(IoHandle handle) { return static_cast<SOCKET>(handle); }
OVERLAPPED* AsOverlapped(OverlappedStorage* storage) { return reinterpret_cast<OVERLAPPED*>(storage); }

}  // namespace

// The one translation of a completion status into the seam's result.
// Windows' thread pool hands the routine the request's NTSTATUS unchanged.
// Wine (8.0) converts it to a Win32 error code first (RtlNtStatusToDosError),
// e.g. 995 for STATUS_CANCELLED. A Win32 code is a small number that no
// failure NTSTATUS can be (those have the top bit set), so both are read
// here; on Windows the Win32 cases never apply. Any other value is Other and
// kept as it came.
IoResult ResultOfStatus(std::uint32_t status) {
  switch (status) {
    case Code(STATUS_SUCCESS):
      return {IoStatus::Success};
    case Code(STATUS_BUFFER_OVERFLOW):
    case ERROR_MORE_DATA:  // 234
      return {IoStatus::BufferOverflow};
    case Code(STATUS_CANCELLED):
    case ERROR_OPERATION_ABORTED:  // 995
      return {IoStatus::Cancelled};
    case Code(STATUS_PIPE_BROKEN):
    case ERROR_BROKEN_PIPE:  // 109
      return {IoStatus::PipeBroken};
    case Code(STATUS_CONNECTION_RESET):
    case ERROR_NETNAME_DELETED:  // 64, also from the disconnect statuses
      return {IoStatus::ConnectionReset};
    case Code(STATUS_REMOTE_DISCONNECT):
      return {IoStatus::RemoteDisconnect};
    case ERROR_PIPE_NOT_CONNECTED:  // 233
      return {IoStatus::Other, Code(STATUS_PIPE_DISCONNECTED)};
    case ERROR_CONNECTION_ABORTED:  // 1236
      return {IoStatus::Other, Code(STATUS_CONNECTION_ABORTED)};
    default:
      return {IoStatus::Other, status};
  }
}

// Why a read or write did not start, from the error its call left. A plain
// error code that names none of the statuses above stands for no status of
// its own.
IoStart NotStarted(std::uint32_t error) {
  if (error == WSAECONNRESET) return {false, {IoStatus::ConnectionReset}};
  IoResult result = ResultOfStatus(error);
  if (result.status == IoStatus::Success) result = {IoStatus::Other};
  if (result.status == IoStatus::Other && static_cast<NTSTATUS>(result.systemCode) >= 0) result.systemCode = 0;
  return {false, result};
}

bool OpenPipe(const std::string& name, IoCompletionRoutine routine, IoHandle* out) {
  HANDLE pipe;
  for (;;) {
    pipe = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                       nullptr);
    if (pipe != INVALID_HANDLE_VALUE) break;
    if (GetLastError() != ERROR_PIPE_BUSY) return false;
    if (!WaitNamedPipeA(name.c_str(), 5000)) return false;
  }
  g_routine.store(routine);
  if (!BindIoCompletionCallback(pipe, CompletionTrampoline, 0)) {
    CloseHandle(pipe);
    return false;
  }
  *out = reinterpret_cast<IoHandle>(pipe);
  return true;
}

bool ConnectTcp(AddressFamily family, const std::string& address, const std::string& port,
                IoCompletionRoutine routine, IoHandle* out) {
  addrinfo hints{};
  hints.ai_flags = 0;
  hints.ai_family = family == AddressFamily::IPv4 ? AF_INET : AF_INET6;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* results = nullptr;
  if (getaddrinfo(address.c_str(), port.c_str(), &hints, &results) != 0 || results == nullptr) {
    if (results != nullptr) freeaddrinfo(results);
    return false;
  }
  // Only the first result is tried.
  const addrinfo* first = results;
  SOCKET s = socket(first->ai_family, first->ai_socktype, first->ai_protocol);
  bool ok = s != INVALID_SOCKET;
  if (ok) ok = connect(s, first->ai_addr, static_cast<int>(first->ai_addrlen)) == 0;
  if (ok) {
    g_routine.store(routine);
    ok = BindIoCompletionCallback(reinterpret_cast<HANDLE>(s), CompletionTrampoline, 0) != FALSE;
  }
  if (!ok && s != INVALID_SOCKET) closesocket(s);
  freeaddrinfo(results);
  if (!ok) return false;
  *out = static_cast<IoHandle>(s);
  return true;
}

bool SetTcpNoDelay(IoHandle socket) {
  const BOOL on = TRUE;
  return setsockopt(AsSocket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on)) == 0;
}

void ResetOverlapped(OverlappedStorage* overlapped, IoEvent event) {
  OVERLAPPED* ov = AsOverlapped(overlapped);
  std::memset(ov, 0, sizeof(*ov));
  ov->hEvent = static_cast<HANDLE>(event);
}

IoStart StartRead(IoHandle handle, bool isPipe, OverlappedStorage* overlapped, void* data, std::uint32_t length) {
  if (isPipe) {
    if (ReadFile(AsHandle(handle), data, length, nullptr, AsOverlapped(overlapped))) return {};
    return StartedOr(GetLastError());
  }
  WSABUF buffer;
  buffer.len = length;
  buffer.buf = static_cast<CHAR*>(data);
  DWORD flags = 0;
  if (WSARecv(AsSocket(handle), &buffer, 1, nullptr, &flags, AsOverlapped(overlapped), nullptr) == 0) return {};
  return StartedOr(static_cast<DWORD>(WSAGetLastError()));
}

IoStart StartWrite(IoHandle handle, bool isPipe, OverlappedStorage* overlapped, const void* data,
                   std::uint32_t length) {
  if (isPipe) {
    if (WriteFile(AsHandle(handle), data, length, nullptr, AsOverlapped(overlapped))) return {};
    return StartedOr(GetLastError());
  }
  WSABUF buffer;
  buffer.len = length;
  buffer.buf = static_cast<CHAR*>(const_cast<void*>(data));
  if (WSASend(AsSocket(handle), &buffer, 1, nullptr, 0, AsOverlapped(overlapped), nullptr) == 0) return {};
  return StartedOr(static_cast<DWORD>(WSAGetLastError()));
}

void CloseSocket(IoHandle socket) {
  const SOCKET s = AsSocket(socket);
  shutdown(s, SD_BOTH);
  CancelIo(reinterpret_cast<HANDLE>(s));
  closesocket(s);
}

void ClosePipe(IoHandle pipe) { CloseHandle(AsHandle(pipe)); }

IoEvent CreateIoEvent(std::uint32_t* error) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr && error != nullptr) *error = GetLastError();
  return event;
}

void CloseIoEvent(IoEvent event) {
  if (event != nullptr) CloseHandle(static_cast<HANDLE>(event));
}

bool StartSocketLibrary() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

void CleanupSocketLibrary() { WSACleanup(); }

}  // namespace platform
