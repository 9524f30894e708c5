// The simulation variables' values kept by simhost, and the rule by which a
// value counts as changed for a request with the CHANGED flag.
#include "value_store.h"

#include <cctype>
#include <cmath>

#include "known_variables.h"
#include "words.h"

namespace simhost {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string ValueKey(const std::string& name, const std::string& unit) {
  return IsLocalName(name) ? Upper(name) + '\n' : Upper(name) + '\n' + Upper(unit);
}

// A name as the simulator compares it: without regard to case or outer blanks.
std::string NameKey(const std::string& name) { return Upper(Trimmed(name)); }

bool IsFloatType(std::uint32_t type) { return type == wire::kDataTypeFloat32 || type == wire::kDataTypeFloat64; }

}  // namespace

bool IsLocalName(const std::string& name) { return name.size() >= 2 && (name[0] == 'L' || name[0] == 'l') && name[1] == ':'; }

void ValueStore::Set(const std::string& name, const std::string& unit, double value) {
  values_[ValueKey(name, unit)] = value;
  if (IsLocalName(name)) localNames_.emplace(Upper(name), name);
}

std::optional<double> ValueStore::Get(const std::string& name, const std::string& unit) const {
  auto it = values_.find(ValueKey(name, unit));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void ValueStore::Registered(const std::string& name, const std::string& unit) {
  if (!IsLocalName(name)) return;
  values_.emplace(ValueKey(name, unit), 0.0);
  localNames_.emplace(Upper(name), name);
}

std::vector<std::string> ValueStore::LocalVariables() const {
  std::vector<std::string> names;
  for (const auto& [key, name] : localNames_) names.push_back(name);
  return names;
}

void ValueStore::Reject(const std::string& name) {
  rejected_.insert(NameKey(name));
  accepted_.erase(NameKey(name));
}

void ValueStore::Accept(const std::string& name) {
  rejected_.erase(NameKey(name));
  accepted_.insert(NameKey(name));
}

std::uint32_t ValueStore::RefusedParameter(const std::string& name, const std::string& unit) const {
  const std::string key = NameKey(name);
  if (rejected_.count(key) != 0) return wire::kIndexName;
  if (!checkCatalogue_ || IsLocalName(key) || accepted_.count(key) != 0) return 0;
  return UnknownToCatalogue(name, unit);
}

Bytes ValueStore::Encode(const std::vector<Datum>& datums, std::vector<double>* current) const {
  Bytes data;
  for (const Datum& d : datums) {
    current->push_back(Get(d.name, d.unit).value_or(0.0));
    Bytes one = EncodeDatum(d.type, current->back());
    data.insert(data.end(), one.begin(), one.end());
  }
  return data;
}

bool Changed(const std::vector<Datum>& datums, const std::vector<double>& before, const std::vector<double>& now) {
  if (before.size() != now.size()) return true;
  for (std::size_t i = 0; i < now.size(); ++i) {
    const std::uint32_t type = i < datums.size() ? datums[i].type : 0;
    if (i < datums.size() && IsFloatType(type) && datums[i].epsilon > 0) {
      if (std::fabs(now[i] - before[i]) > datums[i].epsilon) return true;
    } else if (EncodeDatum(type, now[i]) != EncodeDatum(type, before[i])) {
      return true;
    }
  }
  return false;
}

}  // namespace simhost
