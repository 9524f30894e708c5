// The unit's life: opened once at start-up by its first matching HID
// interface, dark and closed at shutdown. A unit that is absent or fails to
// open is not looked for again; the device then works without sending.
#include "devices/hid_device.h"

#include <utility>

#include "app/process_state.h"
#include "app/report_message.h"
#include "devices/unit_record.h"

bool hidInitialised = false;

HidDevice::HidDevice(std::int32_t vendorId, std::int32_t productId, std::string name, LedLimits limits,
                     UnitIds supported)
    : Device(vendorId, productId, std::move(name), supported),
      lastByteIndex(limits.lastByteIndex),
      lastByteMaxBit(limits.lastByteMaxBit) {}

HidDevice::~HidDevice() {
  if (hidHandle != nullptr) {
    ledReport.fill(0);
    SendReport();
    hid_close(hidHandle);
    hidHandle = nullptr;
  }
  // The application does not shorten its list while destroying it, so with
  // several devices the library is left to the end of the process.
  if (devices.size() <= 1) {
    hid_exit();
    hidInitialised = false;
  }
  gateBinding.reset();
  for (auto& binding : bindings) binding.reset();
  bindings.clear();
}

void HidDevice::Initialise() {
  if (!hidInitialised) {
    if (hid_init() != 0) {
      ReportMessage("Failed to Initialize Main HID Interface (thus inoperative)", "NimbraBridge|HidDevice", true);
      return;
    }
    hidInitialised = true;
  }
  const auto vendor = static_cast<unsigned short>(vendorId & 0xFFFF);
  const auto product = static_cast<unsigned short>(productId & 0xFFFF);
  hid_device_info* list = hid_enumerate(vendor, product);
  hid_device* opened = nullptr;
  const hid_device_info* record = UnitRecord(list, {vendorId, productId});
  if (record != nullptr && record->path != nullptr) opened = hid_open_path(record->path);
  hid_free_enumeration(list);
  hidHandle = opened;
}

void HidDevice::SendReport() {
  // A failed send is neither retried nor reported; the next change catches up.
  if (hidHandle != nullptr) hid_send_feature_report(hidHandle, ledReport.data(), ledReport.size());
}
