// The named pipe on POSIX: a Unix stream socket in Linux's abstract namespace
// whose name is the whole pipe path text, as the link's POSIX side expects.
#ifndef _WIN32

#include <utility>

#include "listener.h"

namespace simhost {
namespace {

using Local = asio::local::stream_protocol;

class LocalConnection : public StreamConnection<Local::socket> {
 public:
  using StreamConnection::StreamConnection;

 protected:
  bool ShutdownSend() override {
    std::error_code ec;
    stream_.shutdown(Local::socket::shutdown_send, ec);
    return !ec;
  }
};

class LocalPipeListener : public Listener {
 public:
  LocalPipeListener(asio::io_context& io, const std::string& name) : path_(PipePath(name)), acceptor_(io) {
    Local::endpoint endpoint(std::string("\0", 1) + path_);
    acceptor_.open(endpoint.protocol());
    acceptor_.bind(endpoint);
    acceptor_.listen();
  }

  void Start(OnAccept onAccept) override {
    onAccept_ = std::move(onAccept);
    Accept();
  }

  void Stop() override {
    std::error_code ignored;
    acceptor_.close(ignored);
  }

  std::string Describe() const override { return "pipe " + path_; }

 private:
  void Accept() {
    acceptor_.async_accept([this](const std::error_code& ec, Local::socket socket) {
      if (!acceptor_.is_open()) return;
      if (!ec) onAccept_(std::make_shared<LocalConnection>(std::move(socket), "pipe " + path_));
      Accept();
    });
  }

  std::string path_;
  Local::acceptor acceptor_;
  OnAccept onAccept_;
};

}  // namespace

std::unique_ptr<Listener> MakePipeListener(asio::io_context& io, const std::string& name) {
  return std::make_unique<LocalPipeListener>(io, name);
}

}  // namespace simhost

#endif  // !_WIN32
