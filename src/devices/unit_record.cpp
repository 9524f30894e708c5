// The first record with the pair decides.
#include "devices/unit_record.h"

const hid_device_info* UnitRecord(const hid_device_info* list, UnitIds unit) {
  for (const hid_device_info* record = list; record != nullptr; record = record->next) {
    if (record->vendor_id == unit.vendorId && record->product_id == unit.productId) return record;
  }
  return nullptr;
}
