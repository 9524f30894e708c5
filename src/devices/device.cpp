// What every device has: its identity, the profile settings a reload stores,
// and the menu sub-items and reload marker it gives back when destroyed.
#include "devices/device.h"

#include <utility>

#include "app/process_state.h"
#include "simlink/simconnect.h"

namespace {

std::int32_t TypeIdOf(std::int32_t vendorId, std::int32_t productId, UnitIds supported) {
  return UnitIds{vendorId, productId} == supported ? kSupportedUnitTypeId : 0;
}

}  // namespace

Device::Device(std::int32_t vendorId, std::int32_t productId, std::string name, UnitIds supported)
    : vendorId(vendorId),
      productId(productId),
      name(std::move(name)),
      typeId(TypeIdOf(vendorId, productId, supported)),
      writeMutexName("Global\\" + this->name + "_Write"),
      readMutexName("Global\\" + this->name + "_Read") {}

Device::~Device() {
  if (simHandle != nullptr) {
    SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, ReloadItemId(typeId));
    SimConnect_MenuDeleteSubItem(simHandle, kMenuTopEventId, ShowHideItemId(typeId));
  }
  if (readMutex != platform::kNoMarker) {
    platform::CloseMarker(readMutex);
    readMutex = platform::kNoMarker;
  }
}

std::uint32_t Device::BindingCount() const { return 0; }
void Device::Initialise() {}
void Device::LoadBindings(const rapidjson::Value&) {}
void Device::AllLedsOff() {}
void Device::RefreshLeds() {}
void Device::ClearBindings() {}
