// POSIX port of the overlapped I/O seam, on standalone Asio.
//
// One process-wide I/O thread runs an io_context. It is started by the first
// successful OpenPipe/ConnectTcp, kept running by a work guard, and stopped and
// joined at process exit by a static object's destructor.
//
// A handle is a small integer naming a channel in a process-wide map (guarded
// by a mutex). A channel owns one socket: a Unix stream socket in Linux's
// abstract namespace (the "named pipe") or a TCP socket. Handles are never
// reused. The calling thread creates and connects a socket synchronously and
// then registers it; from then on only the I/O thread touches it: reads,
// writes and closing are all run there as posted jobs (TCP_NODELAY is the one
// exception, see SetTcpNoDelay).
// Completion handlers never touch a channel directly; when they need it again
// (the next step of a write) they look it up by its handle.
//
// Completion results (platform/io_status.h) from Asio's error codes:
//   success                          Success, with the byte count
//   end of stream on TCP             Success, with 0 bytes
//   end of stream on a pipe, EPIPE   PipeBroken
//   ECONNRESET                       ConnectionReset
//   cancelled (the handle closed)    Cancelled
//   anything else, and a request
//   whose handle was already closed
//   when it was to start             Other
#include "platform/io.h"

#include <asio.hpp>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

namespace platform {
namespace {

using PipeSocket = asio::local::stream_protocol::socket;
using TcpSocket = asio::ip::tcp::socket;

struct Channel {
  template <typename Socket>
  Channel(Socket&& s, IoCompletionRoutine r) : socket(std::forward<Socket>(s)), routine(r) {}

  bool isPipe() const { return std::holds_alternative<PipeSocket>(socket); }

  std::variant<PipeSocket, TcpSocket> socket;
  IoCompletionRoutine routine;
};

struct IoService {
  asio::io_context context{1};

  std::mutex mutex;  // guards everything below
  std::map<IoHandle, std::unique_ptr<Channel>> channels;
  IoHandle nextHandle = 1;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> guard;
  std::thread thread;
  bool stopped = false;  // the process is exiting: the I/O thread is gone
};

// The service is never destroyed: calls made while other static objects are
// destroyed after the I/O thread was joined must still find it (they then see
// no channels and fail harmlessly). It stays reachable through this pointer.
IoService& Service() {
  static IoService* const service = new IoService();
  return *service;
}

// Stops and joins the I/O thread at process exit, then closes every channel
// still open. Pending completions are not delivered any more.
struct ThreadJoiner {
  ThreadJoiner() = default;
  ThreadJoiner(const ThreadJoiner&) = delete;
  ThreadJoiner& operator=(const ThreadJoiner&) = delete;
  ~ThreadJoiner() {
    IoService& s = Service();
    std::thread thread;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      s.stopped = true;
      s.guard.reset();
      thread = std::move(s.thread);
    }
    s.context.stop();
    if (thread.joinable()) {
      if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();  // exit() called from a completion routine
        return;
      }
      thread.join();
    }
    std::map<IoHandle, std::unique_ptr<Channel>> channels;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      channels.swap(s.channels);
    }
    for (auto& entry : channels) {
      std::visit(
          [](auto& socket) {
            asio::error_code ignored;
            socket.close(ignored);
          },
          entry.second->socket);
    }
  }
};

// Starts the I/O thread once. Called with the service mutex held.
void StartThreadLocked(IoService& s) {
  if (s.thread.joinable() || s.stopped) return;
  s.guard.emplace(s.context.get_executor());
  s.thread = std::thread([&s] { s.context.run(); });
  static ThreadJoiner joiner;  // destroyed at exit, before anything that used I/O earlier
}

// Looks a channel up. On the I/O thread the pointer stays valid until the
// current job or handler returns: only the I/O thread erases channels.
Channel* FindChannel(IoService& s, IoHandle handle) {
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.channels.find(handle);
  return it == s.channels.end() ? nullptr : it->second.get();
}

bool Register(std::unique_ptr<Channel> channel, IoHandle* out) {
  IoService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.stopped) return false;
  StartThreadLocked(s);
  const IoHandle handle = s.nextHandle++;
  s.channels.emplace(handle, std::move(channel));
  *out = handle;
  return true;
}

// The one translation of Asio's error codes into the seam's results.
IoResult ResultOf(const asio::error_code& ec, bool isPipe) {
  if (!ec) return {IoStatus::Success};
  if (ec == asio::error::eof) return {isPipe ? IoStatus::PipeBroken : IoStatus::Success};
  if (ec == asio::error::broken_pipe) return {IoStatus::PipeBroken};
  if (ec == asio::error::connection_reset) return {IoStatus::ConnectionReset};
  if (ec == asio::error::operation_aborted) return {IoStatus::Cancelled};
  return {IoStatus::Other};
}

void Deliver(IoCompletionRoutine routine, IoStatus status, std::size_t bytes, OverlappedStorage* overlapped) {
  if (routine != nullptr) routine({status}, static_cast<std::uint32_t>(bytes), overlapped);
}

void Deliver(IoCompletionRoutine routine, const asio::error_code& ec, bool isPipe, std::size_t bytes,
             OverlappedStorage* overlapped) {
  if (routine != nullptr) routine(ResultOf(ec, isPipe), static_cast<std::uint32_t>(bytes), overlapped);
}

// The one reason a request cannot start here: its handle is not (or no longer) open.
constexpr IoStart kHandleGone{false, {IoStatus::Other}};

// When `handle` is open, posts the job that makeJob(the handle's routine)
// returns to the I/O thread. Returns false when the handle is not open.
template <typename MakeJob>
bool PostForHandle(IoHandle handle, MakeJob&& makeJob) {
  IoService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.channels.find(handle);
  if (s.stopped || it == s.channels.end()) return false;
  asio::post(s.context, makeJob(it->second->routine));
  return true;
}

// ---- jobs and handlers, all on the I/O thread ------------------------------

void RunRead(IoHandle handle, IoCompletionRoutine routine, OverlappedStorage* overlapped, void* data,
             std::uint32_t length) {
  Channel* channel = FindChannel(Service(), handle);
  if (channel == nullptr) {
    Deliver(routine, IoStatus::Other, 0, overlapped);
    return;
  }
  const bool isPipe = channel->isPipe();
  std::visit(
      [&](auto& socket) {
        socket.async_read_some(asio::buffer(data, length),
                               [routine, overlapped, isPipe](const asio::error_code& ec, std::size_t bytes) {
                                 Deliver(routine, ec, isPipe, ec ? 0 : bytes, overlapped);
                               });
      },
      channel->socket);
}

// A whole-block write: async_write_some until every byte is written. Each
// step looks the channel up again, so that a channel closed between two steps
// is never touched; the write then completes as cancelled.
struct WriteState {
  IoHandle handle;
  IoCompletionRoutine routine;
  OverlappedStorage* overlapped;
  const std::uint8_t* data;
  std::uint32_t length;
  std::uint32_t written;
};

void WriteStep(const WriteState& state, bool first) {
  Channel* channel = FindChannel(Service(), state.handle);
  if (channel == nullptr) {
    Deliver(state.routine, first ? IoStatus::Other : IoStatus::Cancelled, state.written, state.overlapped);
    return;
  }
  const bool isPipe = channel->isPipe();
  std::visit(
      [&](auto& socket) {
        socket.async_write_some(
            asio::buffer(state.data + state.written, state.length - state.written),
            [next = state, isPipe](const asio::error_code& ec, std::size_t bytes) mutable {
              next.written += static_cast<std::uint32_t>(bytes);
              if (ec || bytes == 0 || next.written >= next.length) {
                Deliver(next.routine, ec, isPipe, next.written, next.overlapped);
                return;
              }
              WriteStep(next, false);
            });
      },
      channel->socket);
}

void RunClose(IoHandle handle, bool shutdownFirst) {
  IoService& s = Service();
  std::unique_ptr<Channel> channel;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.channels.find(handle);
    if (it == s.channels.end()) return;
    channel = std::move(it->second);
    s.channels.erase(it);
  }
  std::visit(
      [shutdownFirst](auto& socket) {
        asio::error_code ignored;
        if (shutdownFirst) socket.shutdown(asio::socket_base::shutdown_both, ignored);
        socket.close(ignored);  // pending operations complete with operation_aborted
      },
      channel->socket);
}

// "\\host\..." with host "." is the only reachable form.
bool IsLocalPipeName(const std::string& name) { return name.rfind("\\\\.\\", 0) == 0; }

}  // namespace

bool OpenPipe(const std::string& name, IoCompletionRoutine routine, IoHandle* out) {
  if (!IsLocalPipeName(name)) return false;
  // A blocking connect to a Unix stream socket whose backlog is full waits
  // until the server accepts: the equivalent of Windows' busy-pipe wait.
  asio::error_code ec;
  PipeSocket socket(Service().context);
  try {
    const asio::local::stream_protocol::endpoint endpoint(std::string(1, '\0') + name);
    socket.connect(endpoint, ec);
  } catch (const std::system_error&) {
    return false;  // the name is too long for a socket address
  }
  if (ec) return false;
  return Register(std::make_unique<Channel>(std::move(socket), routine), out);
}

bool ConnectTcp(AddressFamily family, const std::string& address, const std::string& port,
                IoCompletionRoutine routine, IoHandle* out) {
  IoService& s = Service();
  asio::error_code ec;
  asio::ip::tcp::resolver resolver(s.context);
  const asio::ip::tcp protocol = family == AddressFamily::IPv4 ? asio::ip::tcp::v4() : asio::ip::tcp::v6();
  // Flags 0, the family, SOCK_STREAM, IPPROTO_TCP, as the Windows hints.
  const auto results = resolver.resolve(protocol, address, port, asio::ip::resolver_base::flags(), ec);
  if (ec || results.empty()) return false;
  const asio::ip::tcp::endpoint endpoint = results.begin()->endpoint();  // only the first result
  TcpSocket socket(s.context);
  socket.open(endpoint.protocol(), ec);
  if (ec) return false;
  socket.connect(endpoint, ec);
  if (ec) return false;
  return Register(std::make_unique<Channel>(std::move(socket), routine), out);
}

bool SetTcpNoDelay(IoHandle socket) {
  // Set at once on the calling thread, without waiting for the I/O thread
  // (the caller may hold a lock that a completion routine needs). Setting
  // TCP_NODELAY only reads the socket's descriptor, which changes only when
  // the socket is opened (before it is registered) and when it is closed
  // (after it left the map, under this mutex), so holding the mutex is enough.
  IoService& s = Service();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.channels.find(socket);
  if (it == s.channels.end()) return false;
  auto* tcp = std::get_if<TcpSocket>(&it->second->socket);
  if (tcp == nullptr) return false;
  asio::error_code ec;
  tcp->set_option(asio::ip::tcp::no_delay(true), ec);
  return !ec;
}

void ResetOverlapped(OverlappedStorage* overlapped, IoEvent /*event*/) {
  // Nothing of the record is used on POSIX; it only names the request.
  std::memset(overlapped->bytes, 0, sizeof(overlapped->bytes));
}

IoStart StartRead(IoHandle handle, bool /*isPipe*/, OverlappedStorage* overlapped, void* data,
                  std::uint32_t length) {
  const bool posted = PostForHandle(handle, [=](IoCompletionRoutine routine) {
    return [=] { RunRead(handle, routine, overlapped, data, length); };
  });
  return posted ? IoStart{} : kHandleGone;
}

IoStart StartWrite(IoHandle handle, bool /*isPipe*/, OverlappedStorage* overlapped, const void* data,
                   std::uint32_t length) {
  const bool posted = PostForHandle(handle, [=](IoCompletionRoutine routine) {
    const WriteState state{handle, routine, overlapped, static_cast<const std::uint8_t*>(data), length, 0};
    return [state] { WriteStep(state, true); };
  });
  return posted ? IoStart{} : kHandleGone;
}

void CloseSocket(IoHandle socket) {
  PostForHandle(socket, [socket](IoCompletionRoutine) { return [socket] { RunClose(socket, true); }; });
}

void ClosePipe(IoHandle pipe) {
  PostForHandle(pipe, [pipe](IoCompletionRoutine) { return [pipe] { RunClose(pipe, false); }; });
}

IoEvent CreateIoEvent(std::uint32_t* /*error*/) {
  // No event object is needed on POSIX: completions always go to the routine.
  // A non-null token stands for the event.
  static char token;
  return &token;
}

void CloseIoEvent(IoEvent /*event*/) {}

bool StartSocketLibrary() { return true; }

void CleanupSocketLibrary() {}

}  // namespace platform
