// The values of the simulation variables as simhost holds them, and the
// names the host answers with NAME_UNRECOGNIZED. One store serves every
// client; whoever uses it from several threads guards it with one lock.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "protocol.h"

namespace simhost {

struct Datum {
  std::string name;
  std::string unit;
  std::uint32_t type = 0;  // wire::kDataType...
  float epsilon = 0;
  std::uint32_t datumId = 0;
  std::uint32_t sendId = 0;  // of the AddToDataDefinition message
};

// A local variable's name: "L:NAME".
bool IsLocalName(const std::string& name);

class ValueStore {
 public:
  // Names and units without regard to case; a local variable ("L:NAME") has
  // one value whatever unit it is asked in, as most local variables of the
  // simulator ignore the unit.
  void Set(const std::string& name, const std::string& unit, double value);
  std::optional<double> Get(const std::string& name, const std::string& unit) const;
  // A datum was registered: an unknown local variable comes into being with
  // 0, as the simulator creates it without an exception.
  void Registered(const std::string& name, const std::string& unit);
  // The local variables set or registered so far, each as first written.
  std::vector<std::string> LocalVariables() const;

  // Which names are refused. By default those the catalogue does not know
  // (known_variables.h); `reject` refuses one more, `accept` lets one pass
  // (each undoing the other), and with `checkCatalogue` off only rejected
  // names are refused. Local variables pass unless rejected.
  void Reject(const std::string& name);
  void Accept(const std::string& name);
  void CheckCatalogue(bool on) { checkCatalogue_ = on; }
  // 0 when a datum with this name and unit registers; else the parameter at
  // fault (wire::kIndexName, wire::kIndexUnit) for NAME_UNRECOGNIZED.
  std::uint32_t RefusedParameter(const std::string& name, const std::string& unit) const;

  // The data of one definition with the current values (unknown ones 0);
  // `current` receives the values.
  Bytes Encode(const std::vector<Datum>& datums, std::vector<double>* current) const;

 private:
  std::map<std::string, double> values_;
  std::map<std::string, std::string> localNames_;  // upper case -> as first written
  std::set<std::string> rejected_;  // upper case, trimmed
  std::set<std::string> accepted_;  // upper case, trimmed
  bool checkCatalogue_ = true;
};

// Whether a value moved by more than its datum's epsilon (any change that
// shows in the encoded bytes for an epsilon of 0 or a non-float type).
bool Changed(const std::vector<Datum>& datums, const std::vector<double>& before, const std::vector<double>& now);

}  // namespace simhost
