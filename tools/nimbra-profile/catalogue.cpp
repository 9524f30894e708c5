// Reading the catalogue's two tables. They are built into the checker as
// text and read once, on first use; the checker owns no data files.
#include "catalogue.h"

#include <cctype>
#include <sstream>

#include "catalogue_data.h"

namespace nimbra_profile {
namespace {

std::string Key(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t\r");
  std::string key = text.substr(first, last - first + 1);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

// The data lines of a table, each split at its commas; the header goes.
std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (header) {
      header = false;
      continue;
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = line.find(',', start);
      fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    rows.push_back(std::move(fields));
  }
  return rows;
}

}  // namespace

Catalogue Catalogue::Parse(const std::string& simvarsCsv, const std::string& unitsCsv) {
  Catalogue catalogue;
  for (const auto& row : Rows(simvarsCsv)) {
    if (row.size() != 4 || Key(row[0]).empty() || (row[3] != "0" && row[3] != "1")) continue;
    CatalogueVariable variable{Key(row[0]), row[1], row[2], row[3] == "1"};
    if (catalogue.variables_.emplace(variable.name, variable).second) catalogue.variableNames_.push_back(variable.name);
  }
  for (const auto& row : Rows(unitsCsv)) {
    if (row.size() != 2 || Key(row[0]).empty()) continue;
    if (catalogue.unitDimensions_.emplace(Key(row[0]), row[1]).second) catalogue.unitNames_.push_back(row[0]);
  }
  return catalogue;
}

const Catalogue& Catalogue::BuiltIn() {
  static const Catalogue builtIn = Parse(kSimvarsCsv, kUnitsCsv);
  return builtIn;
}

const CatalogueVariable* Catalogue::FindVariable(const std::string& name) const {
  const auto found = variables_.find(Key(name));
  return found == variables_.end() ? nullptr : &found->second;
}

const std::string* Catalogue::UnitDimension(const std::string& unit) const {
  const auto found = unitDimensions_.find(Key(unit));
  return found == unitDimensions_.end() ? nullptr : &found->second;
}

bool Catalogue::UnitMeasures(const std::string& unit, const std::string& dimension) const {
  const std::string* own = UnitDimension(unit);
  if (own != nullptr && *own == dimension) return true;
  const std::string key = Key(unit);
  if (key.size() < 2 || key.back() != 'S') return false;
  const std::string* singular = UnitDimension(key.substr(0, key.size() - 1));
  return singular != nullptr && *singular == dimension;
}

}  // namespace nimbra_profile
