// The one registry of watched simulation variables that every condition of
// every device shares. A variable is registered with the simulator when its
// first holder acquires it and unregistered when its last holder lets go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/simconnect.h"
#include "variables/value_type.h"

// What the registry needs of one condition: the reference text that names
// its variable, and the type its value is kept as.
struct VariableUse {
  std::string_view reference;
  ValueType valueType = ValueType::Number;
};

struct SimVariable {
  ValueType valueType = ValueType::Number; // Bool or Number
  std::unique_ptr<std::int32_t> intValue;  // present for Bool
  std::unique_ptr<double> floatValue;      // present for Number
  std::int32_t refCount = 1;
  std::int32_t defineId = 0;               // also the data request identifier
  std::uint32_t addSendId = 0;
  std::uint32_t requestSendId = 0;
};

class VariableRegistry {
 public:
  // Registers over the process's simulator connection, `simHandle`.
  VariableRegistry();
  // Registers over the connection held in `*link`, for a program with a
  // connection of its own; `link` outlives the registry.
  explicit VariableRegistry(const HANDLE* link);
  // Registrations are held once: a registry moves, it is never copied.
  VariableRegistry(const VariableRegistry&) = delete;
  VariableRegistry& operator=(const VariableRegistry&) = delete;
  VariableRegistry(VariableRegistry&&) = default;
  VariableRegistry& operator=(VariableRegistry&&) = default;

  // `localVariables`: the uses come from a profile that opted into "L:"
  // references. A set without it neither takes nor gives back a local
  // variable, even one that another device's profile holds. Acquiring holds
  // every use's variable once more, or, when an exception passes, none.
  void AcquireVariables(const std::vector<VariableUse>& uses, bool localVariables = false);
  void ReleaseVariables(const std::vector<VariableUse>& uses, bool localVariables = false);
  // The variable stored under exactly this reference text, or null.
  const SimVariable* FindVariable(const std::string& reference) const;
  // `data` holds the `size` bytes the simulator sent from dwData on; fewer
  // bytes than the variable's value needs change nothing. A local variable
  // always arrives as FLOAT64; a Bool one keeps that value rounded toward
  // zero (0.5 gives 0, NaN 0, beyond the 32-bit range its nearest end).
  void StoreValue(std::uint32_t requestId, const std::uint8_t* data, std::size_t size);
  // Drops, with a message box, the variable whose registration or request
  // carried this send identifier (the simulator rejected it).
  void RemoveBySendId(std::uint32_t sendId);

  struct Registration {
    std::int32_t defineId = 0;
    std::uint32_t addSendId = 0;
    std::uint32_t requestSendId = 0;
  };
  // Adds the data definition and its request for a reference that DatumOf
  // accepts; true when both were accepted for sending.
  bool RegisterVariable(std::string_view reference, ValueType valueType, Registration* out,
                        bool localVariables = false);
  // Stops the request and clears the definition of an identifier in use.
  void UnregisterVariable(std::int32_t defineId);

  using Entries = std::map<std::string, std::unique_ptr<SimVariable>, std::less<>>;
  const Entries& entries() const { return entries_; }
  const std::vector<std::int32_t>& usedDefineIds() const { return usedDefineIds_; }

 private:
  // True when the use now holds its variable.
  bool AcquireVariable(const VariableUse& use, bool localVariables);
  // Allocates nothing, so that it can undo an acquisition that ran out of memory.
  void ReleaseVariable(std::string_view reference);

  const HANDLE* link_;
  Entries entries_;
  std::vector<std::int32_t> usedDefineIds_;
};
