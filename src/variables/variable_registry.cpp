// Registration of watched variables with the simulator: one data definition
// with one datum per distinct reference, and a request that the simulator
// send the value once a second when it changed. The definition identifier is
// also the request identifier, so received values find their variable by it.
#include "variables/variable_registry.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "app/process_state.h"
#include "app/report_message.h"
#include "simlink/link_lost.h"
#include "simlink/simconnect.h"
#include "variables/value_type.h"
#include "variables/variable_datum.h"

namespace {

std::int32_t TowardZero(double value) {
  if (!(value == value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

VariableRegistry::VariableRegistry() : link_(&simHandle) {}

VariableRegistry::VariableRegistry(const HANDLE* link) : link_(link) {}

void VariableRegistry::AcquireVariables(const std::vector<VariableUse>& uses, bool localVariables) {
  // Which uses hold a variable now, so that an exception (out of memory)
  // part-way gives back exactly those before it passes on.
  std::vector<bool> held(uses.size(), false);
  std::size_t next = 0;
  try {
    for (; next < uses.size(); ++next) held[next] = AcquireVariable(uses[next], localVariables);
  } catch (...) {
    for (std::size_t i = 0; i < next; ++i) {
      if (!held[i]) continue;
      try {
        ReleaseVariable(uses[i].reference);
      } catch (...) {
        // The link could not take the unregistration; the entry is gone all the same.
      }
    }
    throw;
  }
}

bool VariableRegistry::AcquireVariable(const VariableUse& use, bool localVariables) {
  const auto found = entries_.find(use.reference);
  if (found != entries_.end() && (localVariables || !IsLocalReference(use.reference))) {
    ++found->second->refCount;
    return true;
  }
  Registration registration;
  if (!RegisterVariable(use.reference, use.valueType, &registration, localVariables)) {
    // After the link's end every registration fails; that end is reported
    // once and ends the bridge, so the variables are not blamed for it.
    if (!SimConnectLinkLost(*link_)) {
      ReportMessage("Could not add condition variable '" + std::string(use.reference) + "' to MSFS processing.",
                    "NimbraBridge", true);
    }
    return false;
  }
  try {
    auto variable = std::make_unique<SimVariable>();
    variable->valueType = use.valueType;
    if (use.valueType == ValueType::Bool) {
      variable->intValue = std::make_unique<std::int32_t>(0);
    } else {
      variable->floatValue = std::make_unique<double>(0.0);
    }
    variable->refCount = 1;
    variable->defineId = registration.defineId;
    variable->addSendId = registration.addSendId;
    variable->requestSendId = registration.requestSendId;
    entries_.emplace(std::string(use.reference), std::move(variable));
  } catch (...) {
    UnregisterVariable(registration.defineId);
    throw;
  }
  return true;
}

void VariableRegistry::ReleaseVariables(const std::vector<VariableUse>& uses, bool localVariables) {
  for (const VariableUse& use : uses) {
    if (!localVariables && IsLocalReference(use.reference)) continue;  // never taken
    ReleaseVariable(use.reference);
  }
}

void VariableRegistry::ReleaseVariable(std::string_view reference) {
  const auto found = entries_.find(reference);
  if (found == entries_.end()) return;
  if (--found->second->refCount > 0) return;
  const std::int32_t defineId = found->second->defineId;
  entries_.erase(found);
  UnregisterVariable(defineId);
}

bool VariableRegistry::RegisterVariable(std::string_view reference, ValueType valueType, Registration* out,
                                        bool localVariables) {
  const VariableDatum datum = DatumOf(reference, valueType, localVariables);
  if (!datum.registrable) return false;
  const std::string& datumName = datum.name;
  const std::string& unit = datum.unit;
  const SIMCONNECT_DATATYPE datumType = datum.type;

  // The smallest free identifier; it stays taken even if a call below fails.
  std::int32_t defineId = 1;
  while (std::find(usedDefineIds_.begin(), usedDefineIds_.end(), defineId) != usedDefineIds_.end()) ++defineId;
  usedDefineIds_.push_back(defineId);
  const auto id = static_cast<DWORD>(defineId);

  if (SimConnect_AddToDataDefinition(*link_, id, datumName.c_str(), unit.c_str(), datumType, 0.0f,
                                     SIMCONNECT_UNUSED) < 0) {
    return false;
  }
  DWORD addSendId = 0;
  SimConnect_GetLastSentPacketID(*link_, &addSendId);

  if (SimConnect_RequestDataOnSimObject(*link_, id, id, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND,
                                        SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0) < 0) {
    return false;
  }
  DWORD requestSendId = 0;
  SimConnect_GetLastSentPacketID(*link_, &requestSendId);

  out->defineId = defineId;
  out->addSendId = addSendId;
  out->requestSendId = requestSendId;
  return true;
}

void VariableRegistry::UnregisterVariable(std::int32_t defineId) {
  const auto used = std::find(usedDefineIds_.begin(), usedDefineIds_.end(), defineId);
  if (used == usedDefineIds_.end()) return;
  const auto id = static_cast<DWORD>(defineId);
  SimConnect_RequestDataOnSimObject(*link_, id, id, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_NEVER,
                                    SIMCONNECT_DATA_REQUEST_FLAG_DEFAULT, 0, 0, 0);
  SimConnect_ClearDataDefinition(*link_, id);
  usedDefineIds_.erase(used);
}

const SimVariable* VariableRegistry::FindVariable(const std::string& reference) const {
  const auto found = entries_.find(reference);
  return found == entries_.end() ? nullptr : found->second.get();
}

void VariableRegistry::StoreValue(std::uint32_t requestId, const std::uint8_t* data, std::size_t size) {
  for (auto& [reference, variable] : entries_) {
    if (static_cast<std::uint32_t>(variable->defineId) != requestId) continue;
    // A message too short for the value changes nothing.
    if (variable->intValue && IsLocalReference(reference)) {
      if (size >= sizeof(double)) {
        double value = 0.0;
        std::memcpy(&value, data, sizeof value);
        *variable->intValue = TowardZero(value);
      }
    } else if (variable->intValue) {
      if (size >= sizeof(std::int32_t)) std::memcpy(variable->intValue.get(), data, sizeof(std::int32_t));
    } else if (variable->floatValue) {
      if (size >= sizeof(double)) std::memcpy(variable->floatValue.get(), data, sizeof(double));
    }
    return;
  }
}

void VariableRegistry::RemoveBySendId(std::uint32_t sendId) {
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
    const SimVariable& variable = *entry->second;
    if (variable.addSendId != sendId && variable.requestSendId != sendId) continue;
    ReportMessage("There was problem with variable '" + entry->first + "'. It will be removed from further processing.",
                  "NimbraBridge|SimConnectException", true);
    UnregisterVariable(variable.defineId);
    entries_.erase(entry);
    return;
  }
}
