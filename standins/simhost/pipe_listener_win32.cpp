// The named pipe on Windows: a real Win32 named pipe, served with overlapped
// I/O on the host's completion port (ConnectNamedPipe through an Asio
// overlapped_ptr, ReadFile and WriteFile through an Asio stream handle).
#ifdef _WIN32

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <utility>

#include "listener.h"

namespace simhost {
namespace {

using Handle = asio::windows::stream_handle;

class PipeConnection : public StreamConnection<Handle> {
 public:
  using StreamConnection::StreamConnection;

 protected:
  // Closing the handle alone leaves what was written readable by the client,
  // which then sees a broken pipe; disconnecting first drops it (a reset).
  void CloseStream(bool abortive) override {
    std::error_code ignored;
    if (abortive && stream_.is_open()) DisconnectNamedPipe(stream_.native_handle());
    stream_.close(ignored);
  }
};

class Win32PipeListener : public Listener {
 public:
  Win32PipeListener(asio::io_context& io, const std::string& name) : io_(io), path_(PipePath(name)) {
    // The first instance claims the name now, so that a second server fails
    // here and clients can connect as soon as Start returns.
    HANDLE h = CreateInstance(true);
    if (h == INVALID_HANDLE_VALUE)
      throw std::system_error(std::error_code(int(GetLastError()), asio::system_category()), "CreateNamedPipeA");
    instance_ = std::make_shared<Handle>(io_);
    instance_->assign(h);
  }

  void Start(OnAccept onAccept) override {
    onAccept_ = std::move(onAccept);
    Accept();
  }

  void Stop() override {
    stopped_ = true;
    std::error_code ignored;
    if (instance_) instance_->close(ignored);  // completes the pending connect as aborted
    instance_.reset();
  }

  std::string Describe() const override { return "pipe " + path_; }

 private:
  HANDLE CreateInstance(bool first) {
    return CreateNamedPipeA(path_.c_str(),
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                            PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, nullptr);
  }

  void Accept() {
    if (stopped_) return;
    if (!instance_) {
      HANDLE h = CreateInstance(false);
      if (h == INVALID_HANDLE_VALUE) return;  // the name is gone; nothing more can connect
      instance_ = std::make_shared<Handle>(io_);
      instance_->assign(h);
    }
    std::shared_ptr<Handle> instance = instance_;
    asio::windows::overlapped_ptr op(io_, [this, instance](const std::error_code& ec, std::size_t) {
      if (stopped_ || !instance->is_open()) return;
      instance_.reset();
      if (ec) {  // e.g. the client came and went before the connect: try a fresh instance
        std::error_code ignored;
        instance->close(ignored);
      } else {
        onAccept_(std::make_shared<PipeConnection>(std::move(*instance), "pipe " + path_));
      }
      Accept();
    });
    BOOL ok = ConnectNamedPipe(instance->native_handle(), op.get());
    DWORD error = GetLastError();
    if (!ok && error == ERROR_PIPE_CONNECTED) {
      op.complete(std::error_code(), 0);  // connected between create and connect: no packet comes
    } else if (!ok && error != ERROR_IO_PENDING) {
      op.complete(std::error_code(int(error), asio::system_category()), 0);
    } else {
      op.release();  // the completion port delivers the result
    }
  }

  asio::io_context& io_;
  std::string path_;
  std::shared_ptr<Handle> instance_;
  OnAccept onAccept_;
  bool stopped_ = false;
};

}  // namespace

std::unique_ptr<Listener> MakePipeListener(asio::io_context& io, const std::string& name) {
  return std::make_unique<Win32PipeListener>(io, name);
}

}  // namespace simhost

#endif  // _WIN32
