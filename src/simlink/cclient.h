// The transport of the simulator link: one connection over a named pipe or a
// TCP socket. It writes queued send blocks one at a time, cuts the incoming
// byte stream into messages by their leading size field, records why the
// connection was lost, and lives until the last I/O request it issued has
// completed (reference count).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/io.h"
#include "simlink/simconnect.h"

namespace simlink {

enum class TransportKind { Tcp, Pipe };
enum class ConnectionState { NotConnected, Connected };

// Why a connection was lost; None while it is not.
enum class LossReason : std::uint32_t {
  None = 0,
  TooLarge,      // a size field above MaxReceiveSize, or an oversized buffer
  Malformed,     // a size field below 4
  NoMemory,      // no heap block for a message
  ZeroTransfer,  // a read or write completed with 0 bytes
  PeerGone,      // the peer closed or reset the connection
  Cancelled,     // the request was cancelled
  OtherError,    // any other completion status
};

// A loss: its reason and the code the client calls return after it.
struct Loss {
  LossReason reason;
  HRESULT code;
};

// The loss a failed request stands for: the one place where the I/O seam's
// results become the link's loss codes. The peer-gone and cancelled statuses
// and a TCP buffer overflow keep their own codes; any other failure keeps the
// system's status where it named one, else STATUS_UNSUCCESSFUL.
Loss LossOf(platform::IoResult failure);

inline constexpr std::uint32_t kDefaultMaxReceiveSize = 41088;
inline constexpr std::uint32_t kReceiveBufferStep = 2048;
inline constexpr std::uint32_t kReceiveBufferLimit = 1048576;

// One heap block with its length: a message to send, or one received.
struct DataBlock {
  std::unique_ptr<std::uint8_t[]> data;
  std::uint32_t length = 0;
};

class CClient;

// An overlapped request. The overlapped record must stay the first member.
struct IoRequest {
  platform::OverlappedStorage overlapped{};
  CClient* owner = nullptr;
  bool isWrite = false;
  std::uint32_t length = 0;   // buffer descriptor: length ...
  std::uint8_t* data = nullptr;  // ... and data
  platform::IoEvent event = nullptr;
};

// Results of cutting one message out of the receive buffer.
enum class ExtractResult { MessageReady, NeedMore, TooLarge, Malformed, NoMemory };

class CClient {
 public:
  explicit CClient(TransportKind kind);
  CClient(const CClient&) = delete;
  CClient& operator=(const CClient&) = delete;

  // Connects a newly created object; true when connected and the first read is posted.
  bool Connect(platform::AddressFamily family, const std::string& address, const std::string& port,
               std::uint32_t maxReceiveSize, bool disableNagle);

  // Takes ownership of the block; false (block freed) when not connected.
  bool EnqueueSend(DataBlock block);

  // True once lost; *code receives the recorded loss code (0 when none was recorded).
  bool IsLost(HRESULT* code) const;

  void AddRef();
  void Release();

  TransportKind kind() const { return kind_; }
  ConnectionState state() const;
  LossReason lossReason() const { return lossReason_.load(); }
  std::uint32_t receiveCapacity() const { return receiveCapacity_.load(); }

  // Process-wide counts of live objects.
  static int LiveCClients();

 protected:
  virtual ~CClient();

  virtual void ResetConnection();
  virtual void Disconnect(LossReason reason, HRESULT code);
  virtual void OnMessage(DataBlock& holder);
  // Asked after a read was cut into messages: true holds the next read back
  // (the owner then calls ResumeReading). The base class never holds.
  virtual bool HoldReading() { return false; }
  // Posts the read that HoldReading held back.
  void ResumeReading() { PostRead(); }

  friend void CloseConnection(class ClientClient* client);

 private:
  friend void OnIoCompleted(platform::IoResult result, std::uint32_t bytes, platform::OverlappedStorage* overlapped);
  friend class TransportProbe;  // the testing library

  void Attach(platform::IoHandle handle, std::uint32_t maxReceiveSize, bool disableNagle);
  void PostRead();
  std::optional<platform::IoResult> SendNext(bool force);
  void Complete(platform::IoResult result, std::uint32_t bytes, IoRequest* request);
  void LoseFor(platform::IoResult failure);
  void CompleteRead(std::uint32_t bytes);
  ExtractResult ExtractMessage();
  void FreeWrittenBlock();

  const TransportKind kind_;
  std::atomic<platform::IoHandle> handle_{platform::kInvalidIoHandle};
  ConnectionState state_ = ConnectionState::NotConnected;
  std::atomic<HRESULT> lossCode_{0};

  // Send queue.
  std::mutex sendQueueLock_;
  std::deque<DataBlock> sendQueue_;
  bool writeInFlight_ = false;
  DataBlock writing_;  // the block being written

  // Receive buffer: bytes [R, W) are received but not yet cut into messages.
  std::unique_ptr<std::uint8_t[]> receiveBuffer_;
  std::atomic<std::uint32_t> receiveCapacity_{0};
  std::uint32_t writePos_ = 0;  // W, as an offset from the buffer start
  std::uint32_t readPos_ = 0;   // R

  mutable std::mutex objectLock_;

  DataBlock holder_;  // the message being cut out
  std::uint32_t holderCapacity_ = 0;

  IoRequest readRequest_;
  IoRequest writeRequest_;

  bool disableNagle_ = false;
  std::uint32_t maxReceiveSize_ = kDefaultMaxReceiveSize;
  std::atomic<LossReason> lossReason_{LossReason::None};
  std::atomic<std::int32_t> refCount_{1};

 protected:
  platform::IoHandle handle() const { return handle_; }
  bool disableNagle() const { return disableNagle_; }
  void SetConnected();
};

// The completion routine every handle is bound to.
void OnIoCompleted(platform::IoResult result, std::uint32_t bytes, platform::OverlappedStorage* overlapped);

}  // namespace simlink
