// The transport logic shared by every platform: connecting, the one read and
// one write in flight, cutting the byte stream into messages, recording the
// loss of the connection, and the reference count.
#include "simlink/cclient.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>


namespace simlink {
namespace {

std::atomic<int> liveCClients{0};

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string PipeName(const std::string& address, const std::string& port) {
  const std::string host = address.empty() ? "." : address;
  std::string name = port.empty() ? "\\\\" + host + "\\pipe\\Microsoft Flight Simulator\\SimConnect"
                                  : "\\\\" + host + "\\pipe\\" + port;
  if (name.size() > 255) name.resize(255);
  return name;
}

}  // namespace

Loss LossOf(platform::IoResult failure) {
  switch (failure.status) {
    case platform::IoStatus::Cancelled:
      return {LossReason::Cancelled, static_cast<HRESULT>(STATUS_CANCELLED_CODE)};
    case platform::IoStatus::PipeBroken:
      return {LossReason::PeerGone, static_cast<HRESULT>(STATUS_PIPE_BROKEN_CODE)};
    case platform::IoStatus::ConnectionReset:
      return {LossReason::PeerGone, static_cast<HRESULT>(STATUS_CONNECTION_RESET_CODE)};
    case platform::IoStatus::RemoteDisconnect:
      return {LossReason::PeerGone, static_cast<HRESULT>(STATUS_REMOTE_DISCONNECT_CODE)};
    case platform::IoStatus::BufferOverflow:  // on TCP
      return {LossReason::OtherError, static_cast<HRESULT>(STATUS_BUFFER_OVERFLOW_CODE)};
    case platform::IoStatus::Success:  // never a failure; counted as an unnamed one
    case platform::IoStatus::Other:
      break;
  }
  const std::uint32_t code = failure.systemCode != 0 ? failure.systemCode : STATUS_UNSUCCESSFUL_CODE;
  return {LossReason::OtherError, static_cast<HRESULT>(code)};
}

CClient::CClient(TransportKind kind) : kind_(kind) { ++liveCClients; }

CClient::~CClient() {
  // Events made by a reset after the last orderly disconnect.
  platform::CloseIoEvent(readRequest_.event);
  platform::CloseIoEvent(writeRequest_.event);
  --liveCClients;
}

int CClient::LiveCClients() { return liveCClients.load(); }

bool CClient::Connect(platform::AddressFamily family, const std::string& address, const std::string& port,
                      std::uint32_t maxReceiveSize, bool disableNagle) {
  platform::IoHandle handle = platform::kInvalidIoHandle;
  const bool opened = kind_ == TransportKind::Pipe
                          ? platform::OpenPipe(PipeName(address, port), &OnIoCompleted, &handle)
                          : platform::ConnectTcp(family, address, port, &OnIoCompleted, &handle);
  if (!opened) return false;
  Attach(handle, maxReceiveSize, disableNagle);
  ResetConnection();
  PostRead();
  return true;
}

void CClient::Attach(platform::IoHandle handle, std::uint32_t maxReceiveSize, bool disableNagle) {
  handle_ = handle;
  maxReceiveSize_ = maxReceiveSize;
  disableNagle_ = disableNagle;
  receiveBuffer_.reset(new (std::nothrow) std::uint8_t[kReceiveBufferStep]);
  receiveCapacity_ = receiveBuffer_ ? kReceiveBufferStep : 0;
  lossReason_ = LossReason::None;
  readRequest_ = IoRequest{};
  readRequest_.owner = this;
  readRequest_.isWrite = false;
  writeRequest_ = IoRequest{};
  writeRequest_.owner = this;
  writeRequest_.isWrite = true;
  writing_ = DataBlock{};
  state_ = ConnectionState::NotConnected;
  holder_ = DataBlock{};
  holderCapacity_ = 0;
}

ConnectionState CClient::state() const {
  std::lock_guard<std::mutex> lock(objectLock_);
  return state_;
}

void CClient::SetConnected() {
  std::lock_guard<std::mutex> lock(objectLock_);
  state_ = ConnectionState::Connected;
}

void CClient::ResetConnection() {
  // After an orderly disconnect there is nothing left to set up, and what is
  // still in flight (a write's block, a read's receive positions) belongs to
  // its completion until the last reference goes.
  if (handle_ == platform::kInvalidIoHandle) return;
  {
    std::lock_guard<std::mutex> lock(sendQueueLock_);
    sendQueue_.clear();
  }
  {
    std::lock_guard<std::mutex> lock(objectLock_);
    writing_ = DataBlock{};
    writeInFlight_ = false;
  }
  readPos_ = 0;
  writePos_ = 0;
  if (kind_ == TransportKind::Pipe) {
    for (IoRequest* request : {&writeRequest_, &readRequest_}) {
      platform::CloseIoEvent(request->event);
      std::uint32_t error = 0;
      request->event = platform::CreateIoEvent(&error);
      if (request->event == nullptr) std::printf("CreateEvent failed with %d.\n", static_cast<int>(error));
    }
  }
}

void CClient::Disconnect(LossReason reason, HRESULT code) {
  {
    std::lock_guard<std::mutex> lock(objectLock_);
    const ConnectionState was = state_;
    state_ = ConnectionState::NotConnected;
    if (was == ConnectionState::Connected) {
      if (reason != LossReason::None) lossCode_ = code;
      if (kind_ == TransportKind::Tcp) {
        platform::CloseSocket(handle_);
      } else {
        platform::ClosePipe(handle_);
        platform::CloseIoEvent(readRequest_.event);
        platform::CloseIoEvent(writeRequest_.event);
        readRequest_.event = nullptr;
        writeRequest_.event = nullptr;
      }
      handle_ = platform::kInvalidIoHandle;
    }
  }
  lossReason_ = reason;
}

void CClient::OnMessage(DataBlock&) {}

bool CClient::IsLost(HRESULT* code) const {
  if (lossReason_.load() == LossReason::None) return false;
  if (code != nullptr) *code = lossCode_.load();
  return true;
}

void CClient::AddRef() { refCount_.fetch_add(1); }

void CClient::Release() {
  if (refCount_.fetch_sub(1) == 1) delete this;
}

void CClient::PostRead() {
  platform::IoStart start;
  {
    // Held while the read starts, so that a disconnect cannot close the
    // handle or its event in between.
    std::lock_guard<std::mutex> lock(objectLock_);
    if (state_ != ConnectionState::Connected) return;
    readRequest_.length = receiveCapacity_ - writePos_;
    readRequest_.data = receiveBuffer_.get() + writePos_;
    platform::ResetOverlapped(&readRequest_.overlapped, readRequest_.event);
    AddRef();
    start = platform::StartRead(handle_, kind_ == TransportKind::Pipe, &readRequest_.overlapped, readRequest_.data,
                                readRequest_.length);
  }
  if (!start.started) {
    Release();
    // Nothing more can arrive (a pipe broken before the read started fails
    // at once, with no completion): the connection is lost.
    LoseFor(start.failure);
  }
}

bool CClient::EnqueueSend(DataBlock block) {
  std::optional<platform::IoResult> failure;
  {
    std::lock_guard<std::mutex> lock(objectLock_);
    if (state_ != ConnectionState::Connected) return false;  // the block is freed here
    {
      std::lock_guard<std::mutex> queueLock(sendQueueLock_);
      sendQueue_.push_back(std::move(block));
    }
    failure = SendNext(false);
  }
  if (failure) LoseFor(*failure);
  return true;
}

// Called with the object lock held. Returns why a write could not be started
// (nothing otherwise); the caller then records the loss once it has let go of
// the lock.
std::optional<platform::IoResult> CClient::SendNext(bool force) {
  if (!force && writeInFlight_) return std::nullopt;
  writing_ = DataBlock{};
  DataBlock next;
  {
    std::lock_guard<std::mutex> queueLock(sendQueueLock_);
    if (!sendQueue_.empty()) {
      next = std::move(sendQueue_.front());
      sendQueue_.pop_front();
    }
  }
  if (!next.data) {
    if (force) writeInFlight_ = false;
    return std::nullopt;
  }
  writing_ = std::move(next);
  writeRequest_.length = writing_.length;
  writeRequest_.data = writing_.data.get();
  platform::ResetOverlapped(&writeRequest_.overlapped, writeRequest_.event);
  AddRef();
  const platform::IoStart start = platform::StartWrite(handle_, kind_ == TransportKind::Pipe,
                                                       &writeRequest_.overlapped, writeRequest_.data,
                                                       writeRequest_.length);
  if (!start.started) {
    // No completion will come: nothing is in flight, and the block goes.
    Release();
    writing_ = DataBlock{};
    writeInFlight_ = false;
    return start.failure;
  }
  writeInFlight_ = true;
  return std::nullopt;
}

void OnIoCompleted(platform::IoResult result, std::uint32_t bytes, platform::OverlappedStorage* overlapped) {
  if (overlapped == nullptr) return;
  auto* request = reinterpret_cast<IoRequest*>(overlapped);
  request->owner->Complete(result, bytes, request);
}

void CClient::Complete(platform::IoResult result, std::uint32_t bytes, IoRequest* request) {
  // A pipe read that took part of a message is a success: the rest comes next.
  const bool success = result.status == platform::IoStatus::Success ||
                       (result.status == platform::IoStatus::BufferOverflow && kind_ == TransportKind::Pipe);
  if (!success) {
    LoseFor(result);
  } else if (bytes == 0) {
    Disconnect(LossReason::ZeroTransfer, static_cast<HRESULT>(STATUS_LINK_FAILED_CODE));
  } else if (request->isWrite) {
    std::optional<platform::IoResult> failure;
    {
      std::lock_guard<std::mutex> lock(objectLock_);
      if (state_ == ConnectionState::Connected) failure = SendNext(true);
    }
    if (failure) LoseFor(*failure);
  } else {
    CompleteRead(bytes);
  }
  Release();
}

void CClient::LoseFor(platform::IoResult failure) {
  const Loss loss = LossOf(failure);
  Disconnect(loss.reason, loss.code);
}

void CClient::CompleteRead(std::uint32_t bytes) {
  writePos_ += bytes;
  ExtractResult result;
  while ((result = ExtractMessage()) == ExtractResult::MessageReady) {
    OnMessage(holder_);
    if (!holder_.data) holderCapacity_ = 0;  // the message moved on with its block
  }
  switch (result) {
    case ExtractResult::TooLarge:
      Disconnect(LossReason::TooLarge, E_ABORT);
      break;
    case ExtractResult::Malformed:
      Disconnect(LossReason::Malformed, E_ABORT);
      break;
    case ExtractResult::NoMemory:
      Disconnect(LossReason::NoMemory, E_OUTOFMEMORY);
      break;
    case ExtractResult::NeedMore:
    case ExtractResult::MessageReady:
      if (!HoldReading()) PostRead();
      break;
  }
}

ExtractResult CClient::ExtractMessage() {
  std::uint8_t* const buffer = receiveBuffer_.get();
  if (buffer == nullptr) return ExtractResult::NoMemory;
  const std::uint32_t available = writePos_ - readPos_;
  ExtractResult result;
  if (available < 4) {
    result = ExtractResult::NeedMore;
  } else {
    const std::uint32_t size = ReadLe32(buffer + readPos_);
    // Beyond the largest receive buffer a message could never be assembled.
    if (size > maxReceiveSize_ || size > kReceiveBufferLimit) return ExtractResult::TooLarge;
    if (size < 4) {
      result = ExtractResult::Malformed;
    } else {
      if (size > holderCapacity_) {
        holder_.data.reset();
        holder_.data.reset(new (std::nothrow) std::uint8_t[size]);
        holderCapacity_ = holder_.data ? size : 0;
      }
      holder_.length = size;
      if (!holder_.data) {
        result = ExtractResult::NoMemory;
      } else if (available < size) {
        result = ExtractResult::NeedMore;
      } else {
        std::memcpy(holder_.data.get(), buffer + readPos_, size);
        readPos_ += size;
        if (readPos_ == writePos_) readPos_ = writePos_ = 0;
        result = ExtractResult::MessageReady;
      }
    }
  }

  // Housekeeping: keep room after W for the next read.
  const std::uint32_t rest = writePos_ - readPos_;
  if (result == ExtractResult::MessageReady && rest >= 4 && ReadLe32(buffer + readPos_) <= rest) return result;
  if (writePos_ < receiveCapacity_) return result;
  if (readPos_ > 0) {
    std::memmove(buffer, buffer + readPos_, rest);
    readPos_ = 0;
    writePos_ = rest;
    return result;
  }
  if (result != ExtractResult::NeedMore) return result;
  // The buffer is full with one incomplete message.
  if (receiveCapacity_ >= kReceiveBufferLimit) return ExtractResult::TooLarge;
  const std::uint32_t grown = receiveCapacity_ + kReceiveBufferStep;
  std::unique_ptr<std::uint8_t[]> bigger(new (std::nothrow) std::uint8_t[grown]);
  if (!bigger) return ExtractResult::NoMemory;
  std::memcpy(bigger.get(), buffer, receiveCapacity_);
  receiveBuffer_ = std::move(bigger);
  readPos_ = 0;
  writePos_ = receiveCapacity_;
  receiveCapacity_ = grown;
  return result;
}

}  // namespace simlink
