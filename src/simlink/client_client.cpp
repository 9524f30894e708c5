// The connection object's sending side and receive queue, and the closing
// steps that end a connection.
#include "simlink/client_client.h"

#include <cstring>
#include <new>

#include "platform/notify.h"
#include "platform/sleep.h"
#include "simlink/socket_library.h"

namespace simlink {
namespace {

std::atomic<int> liveClientClients{0};

void WriteLe32(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}

}  // namespace

ClientClient::ClientClient(TransportKind kind) : CClient(kind) { ++liveClientClients; }

ClientClient::~ClientClient() { --liveClientClients; }

ClientClient* ClientClient::Create(TransportKind kind) { return new ClientClient(kind); }

int ClientClient::LiveClientClients() { return liveClientClients.load(); }

ReserveResult ClientClient::Reserve(std::uint64_t length, std::uint8_t** message) {
  if (IsLost(nullptr)) return ReserveResult::Lost;
  if (length > kSendBufferSize - sendWrite_) return ReserveResult::NoRoom;
  std::uint8_t* start = sendBuffer_.data() + sendWrite_;
  lastSendId_ = lastSendId_ == 0xFFFFFFFFu ? 1 : lastSendId_ + 1;
  WriteLe32(start + 12, lastSendId_);
  sendWrite_ += static_cast<std::uint32_t>(length);
  *message = start;
  return ReserveResult::Ok;
}

void ClientClient::Unreserve(std::uint8_t* message, std::uint32_t length) {
  std::memset(message, 0, length);
  sendWrite_ = static_cast<std::uint32_t>(message - sendBuffer_.data());
}

bool ClientClient::Flush() {
  if (sendWrite_ == 0) return false;
  DataBlock block;
  block.data.reset(new (std::nothrow) std::uint8_t[sendWrite_]);
  if (!block.data) return false;  // the bytes stay and go out with the next flush
  block.length = sendWrite_;
  std::memcpy(block.data.get(), sendBuffer_.data(), sendWrite_);
  std::memset(sendBuffer_.data(), 0, sendWrite_);
  sendWrite_ = 0;
  EnqueueSend(std::move(block));
  return true;
}

std::deque<DataBlock> ClientClient::TakeReceived() {
  std::deque<DataBlock> taken;
  bool resume = false;
  {
    std::lock_guard<std::mutex> lock(receiveQueueLock_);
    taken.swap(receiveQueue_);
    receiveQueueBytes_ = 0;
    resume = readingHeld_;
    readingHeld_ = false;
  }
  // No read is in flight while held; this one starts outside the queue's lock.
  if (resume) ResumeReading();
  return taken;
}

bool ClientClient::HoldReading() {
  std::lock_guard<std::mutex> lock(receiveQueueLock_);
  readingHeld_ = receiveQueue_.size() >= kReceiveQueueMessageLimit || receiveQueueBytes_ >= kReceiveQueueByteLimit;
  return readingHeld_;
}

std::size_t ClientClient::QueuedMessages() {
  std::lock_guard<std::mutex> lock(receiveQueueLock_);
  return receiveQueue_.size();
}

std::size_t ClientClient::QueuedBytes() {
  std::lock_guard<std::mutex> lock(receiveQueueLock_);
  return receiveQueueBytes_;
}

void ClientClient::ResetConnection() {
  CClient::ResetConnection();
  if (handle() == platform::kInvalidIoHandle) return;
  if (disableNagle() && kind() == TransportKind::Tcp) platform::SetTcpNoDelay(handle());
  SetConnected();
}

void ClientClient::Disconnect(LossReason reason, HRESULT code) {
  CClient::Disconnect(reason, code);
  if (reason != LossReason::None) Notify();
}

void ClientClient::OnMessage(DataBlock& holder) {
  DataBlock entry;
  entry.data = std::move(holder.data);
  entry.length = holder.length;
  holder.length = 0;
  {
    std::lock_guard<std::mutex> lock(receiveQueueLock_);
    receiveQueueBytes_ += entry.length;
    receiveQueue_.push_back(std::move(entry));
  }
  Notify();
}

void ClientClient::Notify() {
  platform::NotifyTargets(window, windowMessage, event);
}

void CloseConnection(ClientClient* client) {
  platform::SleepMilliseconds(100);
  CClient* connection = client;
  connection->Disconnect(LossReason::None, 0);
  connection->ResetConnection();
  connection->Release();
  if (ClientClient::LiveClientClients() != 0) return;
  for (int i = 0; i < 20 && CClient::LiveCClients() != 0; ++i) platform::SleepMilliseconds(250);
  StopSocketLibrary();
}

}  // namespace simlink
