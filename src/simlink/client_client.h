// The connection object behind a simulator handle: the transport plus the
// sending side of the client calls (send buffer, send identifiers) and the
// receive queue that the dispatch call drains.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "simlink/cclient.h"

namespace simlink {

inline constexpr std::uint32_t kSendBufferSize = 41088;

// The most the receive queue holds before reading stops until the next
// dispatch takes it: a peer that sends faster than the caller dispatches
// then waits on a full pipe or socket instead of filling the heap.
inline constexpr std::size_t kReceiveQueueMessageLimit = 65536;
inline constexpr std::size_t kReceiveQueueByteLimit = 4u << 20;

// Outcome of reserving room for one message.
enum class ReserveResult { Ok, Lost, NoRoom };

class ClientClient : public CClient {
 public:
  // Created with one reference, the owner's; give it back with CloseConnection.
  static ClientClient* Create(TransportKind kind);

  // ---- sending side ----
  // Reserves `length` bytes at the write position and stamps the next send
  // identifier at offset 12. On success *message points at the zeroed space.
  ReserveResult Reserve(std::uint64_t length, std::uint8_t** message);
  // Gives back the latest reservation (its identifier stays used).
  void Unreserve(std::uint8_t* message, std::uint32_t length);
  // Hands the bytes between begin and write position to the transport as one
  // block. False when there was nothing to send or no memory for the block.
  bool Flush();

  std::uint32_t lastSendId() const { return lastSendId_; }

  // ---- dispatch ----
  DispatchProc defaultDispatch = nullptr;
  DispatchProc latestDispatch = nullptr;
  void* latestContext = nullptr;

  // Notification targets given to open (read by the I/O thread).
  std::atomic<HWND> window{nullptr};
  std::atomic<std::uint32_t> windowMessage{0};
  std::atomic<HANDLE> event{nullptr};

  // Takes the whole receive queue, leaving it empty, and reads on if the
  // queue's limit had stopped reading.
  std::deque<DataBlock> TakeReceived();
  // Messages and their bytes in the receive queue now.
  std::size_t QueuedMessages();
  std::size_t QueuedBytes();

  static int LiveClientClients();

 protected:
  explicit ClientClient(TransportKind kind);
  ~ClientClient() override;

  void ResetConnection() override;
  void Disconnect(LossReason reason, HRESULT code) override;
  void OnMessage(DataBlock& holder) override;
  bool HoldReading() override;

 private:
  friend class TransportProbe;  // the testing library
  void Notify();

  std::array<std::uint8_t, kSendBufferSize> sendBuffer_{};
  std::uint32_t sendWrite_ = 0;  // the buffer's begin is its first byte
  std::uint32_t lastSendId_ = 0;

  std::mutex receiveQueueLock_;
  std::deque<DataBlock> receiveQueue_;
  std::size_t receiveQueueBytes_ = 0;
  bool readingHeld_ = false;  // the queue's limit held the next read back
};

// The closing steps: a 100 ms pause, an orderly disconnect, reset, release of
// the owner's reference, and the socket library shutdown after the last one.
void CloseConnection(ClientClient* client);

}  // namespace simlink
