// simhost's TCP listeners on the loopback addresses (IPv4 and IPv6): each
// accepted socket becomes a connection of the shared stream kind, closed
// gracefully or with a reset as a script asks.
#include <utility>

#include "listener.h"

namespace simhost {
namespace {

class TcpConnection : public StreamConnection<asio::ip::tcp::socket> {
 public:
  using StreamConnection::StreamConnection;

 protected:
  bool ShutdownSend() override {
    std::error_code ec;
    stream_.shutdown(asio::ip::tcp::socket::shutdown_send, ec);
    return !ec;
  }
  void CloseStream(bool abortive) override {
    std::error_code ignored;
    if (abortive) stream_.set_option(asio::socket_base::linger(true, 0), ignored);  // close sends a reset
    stream_.close(ignored);
  }
};

class TcpListener : public Listener {
 public:
  TcpListener(asio::io_context& io, bool v6, std::uint16_t port) : v6_(v6), acceptor_(io) {
    asio::ip::tcp::endpoint endpoint(v6 ? asio::ip::address(asio::ip::address_v6::loopback())
                                        : asio::ip::address(asio::ip::address_v4::loopback()),
                                     port);
    acceptor_.open(endpoint.protocol());
    if (v6) acceptor_.set_option(asio::ip::v6_only(true));
#ifndef _WIN32
    // On Windows this option would let a second server take the same port.
    acceptor_.set_option(asio::socket_base::reuse_address(true));
#endif
    acceptor_.bind(endpoint);
    acceptor_.listen();
    port_ = acceptor_.local_endpoint().port();
  }

  void Start(OnAccept onAccept) override {
    onAccept_ = std::move(onAccept);
    Accept();
  }

  void Stop() override {
    std::error_code ignored;
    acceptor_.close(ignored);
  }

  std::string Describe() const override {
    return std::string(v6_ ? "tcp6 [::1]:" : "tcp4 127.0.0.1:") + std::to_string(port_);
  }
  std::uint16_t Port() const override { return port_; }

 private:
  void Accept() {
    acceptor_.async_accept([this](const std::error_code& ec, asio::ip::tcp::socket socket) {
      if (!acceptor_.is_open()) return;
      if (!ec) {
        std::error_code ignored;
        auto peer = socket.remote_endpoint(ignored);
        std::string description = (v6_ ? "tcp6 from [" : "tcp4 from ") + peer.address().to_string() +
                                  (v6_ ? "]:" : ":") + std::to_string(peer.port());
        onAccept_(std::make_shared<TcpConnection>(std::move(socket), description));
      }
      Accept();
    });
  }

  bool v6_;
  asio::ip::tcp::acceptor acceptor_;
  std::uint16_t port_ = 0;
  OnAccept onAccept_;
};

}  // namespace

std::unique_ptr<Listener> MakeTcpListener(asio::io_context& io, bool v6, std::uint16_t port) {
  return std::make_unique<TcpListener>(io, v6, port);
}

}  // namespace simhost
