// One accepted client connection, whatever carries it (TCP socket, Unix
// socket standing in for a named pipe, Win32 named pipe). Every member is
// called on the host's I/O thread only.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <asio.hpp>

namespace simhost {

class Connection {
 public:
  struct Events {
    std::function<void(const std::uint8_t* data, std::size_t size)> onData;
    std::function<void(const std::string& reason)> onEnd;  // once, after which nothing more arrives
  };

  virtual ~Connection() = default;
  // Starts reading; received bytes and the end go to `events`.
  virtual void Start(Events events) = 0;
  // Queues bytes for writing, in order; `pauseBefore` delays this write after
  // the previous one has completed (for split-message fault tests).
  // `onWritten` runs once these bytes are written (never when the connection
  // ends first), so that a sender can keep exactly one write in hand.
  virtual void Send(std::vector<std::uint8_t> bytes, std::chrono::milliseconds pauseBefore = {},
                    std::function<void()> onWritten = {}) = 0;
  // Orderly close once everything queued was written.
  virtual void Close() = 0;
  // Abortive close, now; what is queued is dropped.
  virtual void Reset() = 0;
  // "tcp4 127.0.0.1:50123", "pipe \\.\pipe\...".
  virtual std::string Describe() const = 0;
};

// The common part for every Asio stream: a read loop and a write queue.
// The transport supplies its own ways of closing: `ShutdownSend` (sockets
// half-close, then the rest of the client's bytes is read and dropped until it
// closes too, so that unread bytes never turn the close into a reset) and
// `CloseStream`.
template <class Stream>
class StreamConnection : public Connection, public std::enable_shared_from_this<StreamConnection<Stream>> {
 public:
  StreamConnection(Stream stream, std::string description)
      : stream_(std::move(stream)), timer_(stream_.get_executor()), description_(std::move(description)) {}

  void Start(Events events) override {
    events_ = std::move(events);
    Read();
  }

  void Send(std::vector<std::uint8_t> bytes, std::chrono::milliseconds pauseBefore,
            std::function<void()> onWritten) override {
    if (ended_ || closing_) return;
    queue_.push_back({std::move(bytes), pauseBefore, std::move(onWritten)});
    if (!writing_) WriteNext();
  }

  void Close() override {
    if (ended_ || closing_) return;
    closing_ = true;
    if (!writing_) Finish(false, "closed by the host");
  }

  void Reset() override {
    if (ended_) return;
    Finish(true, "reset by the host");
  }

  std::string Describe() const override { return description_; }

 protected:
  // Sends the end of stream, keeping the receiving side open; false when the
  // transport has no such thing.
  virtual bool ShutdownSend() { return false; }
  virtual void CloseStream(bool abortive) {
    (void)abortive;
    std::error_code ignored;
    stream_.close(ignored);
  }
  Stream stream_;

 private:
  struct Pending {
    std::vector<std::uint8_t> bytes;
    std::chrono::milliseconds pause;
    std::function<void()> written;
  };
  static constexpr std::chrono::seconds kDrainLimit{3};

  void Read() {
    auto self = this->shared_from_this();
    stream_.async_read_some(asio::buffer(buffer_), [self](const std::error_code& ec, std::size_t n) {
      if (self->closed_) return;
      if (self->ended_) {  // draining after a half-close: drop the bytes, wait for the end
        if (ec) {
          self->closed_ = true;
          self->timer_.cancel();
          self->CloseStream(false);
        } else {
          self->Read();
        }
        return;
      }
      if (n > 0 && self->events_.onData) self->events_.onData(self->buffer_.data(), n);
      if (self->ended_) {  // onData closed or reset it
        if (!self->closed_) self->Read();
        return;
      }
      if (ec) {
        self->Finish(false, ec == asio::error::eof ? std::string("end of stream") : ec.message());
        if (!self->closed_) {  // the client's side has ended already: nothing to drain
          self->closed_ = true;
          self->timer_.cancel();
          self->CloseStream(false);
        }
        return;
      }
      self->Read();
    });
  }

  void WriteNext() {
    if (queue_.empty()) {
      writing_ = false;
      if (closing_) Finish(false, "closed by the host");
      return;
    }
    writing_ = true;
    auto self = this->shared_from_this();
    if (queue_.front().pause.count() > 0) {
      timer_.expires_after(queue_.front().pause);
      queue_.front().pause = {};
      timer_.async_wait([self](const std::error_code& ec) {
        if (self->ended_ || ec) return;
        self->WriteNext();
      });
      return;
    }
    asio::async_write(stream_, asio::buffer(queue_.front().bytes), [self](const std::error_code& ec, std::size_t) {
      if (self->ended_) return;
      if (ec) {
        self->Finish(false, "write failed: " + ec.message());
        return;
      }
      auto written = std::move(self->queue_.front().written);
      self->queue_.pop_front();
      if (written) written();
      if (self->ended_) return;  // the callback closed or reset it
      self->WriteNext();
    });
  }

  void Finish(bool abortive, const std::string& reason) {
    if (ended_) return;
    ended_ = true;
    writing_ = false;
    queue_.clear();
    timer_.cancel();
    if (!abortive && ShutdownSend()) {
      auto self = this->shared_from_this();
      timer_.expires_after(kDrainLimit);
      timer_.async_wait([self](const std::error_code& ec) {
        if (ec || self->closed_) return;
        self->closed_ = true;
        self->CloseStream(false);
      });
    } else {
      closed_ = true;
      CloseStream(abortive);
    }
    auto onEnd = std::move(events_.onEnd);
    events_ = {};
    if (onEnd) onEnd(reason);
  }

  asio::steady_timer timer_;
  std::string description_;
  Events events_;
  std::array<std::uint8_t, 4096> buffer_{};
  std::deque<Pending> queue_;
  bool writing_ = false;
  bool closing_ = false;
  bool ended_ = false;   // the host is done with it
  bool closed_ = false;  // the stream is closed
};

}  // namespace simhost
