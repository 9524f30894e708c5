// The hidapi calls in memory: attached interfaces, scripted failures, and a
// record of every call and of every report that reached the unit.
#include "virtual_unit.h"

#include <hidapi.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

// hidapi leaves the handle type to its back ends; this is ours.
struct hid_device_ {
  int number = 0;
};

namespace virtual_unit {

namespace {

constexpr std::size_t kCallKinds = 5;
constexpr std::size_t kReportSize = 65;

struct State {
  std::mutex lock;
  std::vector<Interface> interfaces;
  std::array<unsigned, kCallKinds> failFrom{};  // 0: never
  std::array<std::size_t, kCallKinds> count{};
  std::vector<std::string> calls;
  std::vector<Report> reports;
  std::vector<std::uint8_t> current = std::vector<std::uint8_t>(kReportSize, 0);
  std::set<const hid_device*> open;  // since the last Reset
  // Every handle ever made. None is freed, so that a handle used after its
  // close can never pass for a newer one at the same address.
  std::vector<std::unique_ptr<hid_device>> allocated;
  std::set<const hid_device_info*> lists;
  int nextHandle = 1;
  bool recording = true;
  Observer observer;
};

State& TheState() {
  static State* state = new State;  // never destroyed: calls may come during process exit
  return *state;
}

std::size_t Index(Call call) { return static_cast<std::size_t>(call); }

// Counts the call and tells whether it is to fail. Lock held.
bool CountAndDecide(State& state, Call call) {
  const std::size_t n = ++state.count[Index(call)];
  const unsigned from = state.failFrom[Index(call)];
  return from != 0 && n >= from;
}

// Records one call line (and the report that reached the unit, if any). Lock held.
void Record(State& state, const std::string& line, const Report* report) {
  if (state.recording) {
    state.calls.push_back(line);
    if (report != nullptr) state.reports.push_back(*report);
  }
  if (state.observer) state.observer(line, report);
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", value & 0xFFFFu);
  return text;
}

// hid_init and hid_exit: 0, or -1 when scripted to fail.
int LibraryCall(Call call, const char* name) {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  const int result = CountAndDecide(state, call) ? -1 : 0;
  Record(state, std::string(name) + "() = " + std::to_string(result), nullptr);
  return result;
}

// A malloc'd copy, as hidapi's records hold their paths.
char* CopyText(const std::string& text) {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

void Reset() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.interfaces.clear();
  state.failFrom.fill(0);
  state.count.fill(0);
  state.calls.clear();
  state.reports.clear();
  state.current.assign(kReportSize, 0);
  state.open.clear();
  state.lists.clear();
  state.nextHandle = 1;
}

void Attach(std::uint16_t vendorId, std::uint16_t productId, const std::vector<std::optional<std::string>>& paths) {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  for (const auto& path : paths) state.interfaces.push_back({vendorId, productId, path});
}

void FailCall(Call call, unsigned fromNth) {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.failFrom[Index(call)] = fromNth;
}

std::vector<std::string> Calls() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.calls;
}

std::size_t CallCount(Call call) {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.count[Index(call)];
}

std::vector<Report> Reports() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.reports;
}

std::vector<std::uint8_t> CurrentReport() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.current;
}

std::size_t OpenHandles() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.open.size();
}

std::size_t UnfreedEnumerations() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.lists.size();
}

void SetRecording(bool on) {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.recording = on;
}

void SetObserver(Observer observer) {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.observer = std::move(observer);
}

}  // namespace virtual_unit

using virtual_unit::Call;
using virtual_unit::TheState;

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) { return virtual_unit::LibraryCall(Call::Init, "hid_init"); }

int HID_API_EXPORT HID_API_CALL hid_exit(void) { return virtual_unit::LibraryCall(Call::Exit, "hid_exit"); }

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                   unsigned short product_id) {
  auto& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  const std::string call = "hid_enumerate(" + virtual_unit::Hex4(vendor_id) + ", " + virtual_unit::Hex4(product_id) + ")";
  if (virtual_unit::CountAndDecide(state, Call::Enumerate)) {
    virtual_unit::Record(state, call + " = failed", nullptr);
    return nullptr;
  }
  // As in hidapi, 0 stands for any identifier.
  hid_device_info* head = nullptr;
  hid_device_info** tail = &head;
  std::size_t records = 0;
  for (const virtual_unit::Interface& unit : state.interfaces) {
    if (vendor_id != 0 && unit.vendorId != vendor_id) continue;
    if (product_id != 0 && unit.productId != product_id) continue;
    auto* record = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    if (record == nullptr) break;
    record->vendor_id = unit.vendorId;
    record->product_id = unit.productId;
    record->interface_number = static_cast<int>(records);
    if (unit.path) record->path = virtual_unit::CopyText(*unit.path);
    *tail = record;
    tail = &record->next;
    ++records;
  }
  if (head != nullptr) state.lists.insert(head);
  virtual_unit::Record(state, call + " = " + std::to_string(records) + " records", nullptr);
  return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
  auto& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.lists.erase(devs);
  while (devs != nullptr) {
    hid_device_info* next = devs->next;
    std::free(devs->path);
    std::free(devs);
    devs = next;
  }
  virtual_unit::Record(state, "hid_free_enumeration()", nullptr);
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
  auto& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  const std::string name = path != nullptr ? path : "";
  const std::string call = "hid_open_path(\"" + name + "\")";
  bool attached = false;
  for (const virtual_unit::Interface& unit : state.interfaces) attached = attached || (unit.path && *unit.path == name);
  if (virtual_unit::CountAndDecide(state, Call::Open) || !attached) {
    virtual_unit::Record(state, call + " = failed", nullptr);
    return nullptr;
  }
  state.allocated.push_back(std::make_unique<hid_device>());
  hid_device* handle = state.allocated.back().get();
  handle->number = state.nextHandle++;
  state.open.insert(handle);
  virtual_unit::Record(state, call + " = handle " + std::to_string(handle->number), nullptr);
  return handle;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length) {
  auto& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  const bool known = state.open.count(dev) != 0;
  const std::string call = "hid_send_feature_report(handle " + std::to_string(known ? dev->number : 0) + ", " +
                           std::to_string(length) + " bytes)";
  if (virtual_unit::CountAndDecide(state, Call::Send) || !known || data == nullptr || length == 0) {
    virtual_unit::Record(state, call + " = -1", nullptr);
    return -1;
  }
  virtual_unit::Report report{dev->number, std::vector<std::uint8_t>(data, data + length)};
  state.current = report.bytes;  // as sent, so that a wrong length shows
  virtual_unit::Record(state, call + " = " + std::to_string(length), &report);
  return static_cast<int>(length);
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
  auto& state = TheState();
  std::lock_guard<std::mutex> guard(state.lock);
  const bool known = state.open.erase(dev) != 0;
  virtual_unit::Record(state, "hid_close(handle " + std::to_string(known ? dev->number : 0) + ")", nullptr);
}

}  // extern "C"
