// The simulator's variable and unit names as the checker knows them: the
// 2020 documentation's simulation variables (documented unit, its dimension,
// whether the name takes an index) and the unit names by dimension. Later
// simulator versions add names and move units, so what it says is advice.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace nimbra_profile {

struct CatalogueVariable {
  std::string name;       // as documented, upper case
  std::string unit;       // the documented unit; may be empty
  std::string dimension;  // of that unit; may be empty
  bool indexed = false;   // takes ":N"
};

class Catalogue {
 public:
  // Reads the two tables in their CSV form: '#' lines are comments, the
  // first other line is the header, fields are separated by commas and
  // hold none. Malformed lines are passed over.
  static Catalogue Parse(const std::string& simvarsCsv, const std::string& unitsCsv);
  // The catalogue built into the checker.
  static const Catalogue& BuiltIn();

  // Names and units compare without regard to case and outer blanks.
  const CatalogueVariable* FindVariable(const std::string& name) const;
  // The unit's dimension, or null for a unit not in the catalogue.
  const std::string* UnitDimension(const std::string& unit) const;
  // Whether the unit measures `dimension`: its own, or that of its singular
  // when the name is a plural of a listed one (the table files "meters"
  // under Torque, for newton meters, while "meter" is a Length).
  bool UnitMeasures(const std::string& unit, const std::string& dimension) const;
  const std::vector<std::string>& VariableNames() const { return variableNames_; }
  const std::vector<std::string>& UnitNames() const { return unitNames_; }

 private:
  std::map<std::string, CatalogueVariable> variables_;  // by upper-case name
  std::map<std::string, std::string> unitDimensions_;   // by upper-case unit
  std::vector<std::string> variableNames_;              // in file order
  std::vector<std::string> unitNames_;                  // in file order, as written
};

}  // namespace nimbra_profile
