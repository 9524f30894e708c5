// Each registrable "A:" variable held against the catalogue. A suggestion is
// always a whole reference with the one change applied, so that an author
// can paste it over the old one.
#include "catalogue_findings.h"

#include <cctype>

#include "closest_names.h"

namespace nimbra_profile {
namespace {

struct Parts {
  std::string name;         // without its index
  std::string index;        // the digits after the last ':', or empty
  std::string unitWritten;  // the reference after its first comma, as written
};

Parts Split(const CheckedVariable& variable) {
  Parts parts;
  parts.name = variable.datum.name;
  const std::size_t colon = parts.name.rfind(':');
  if (colon != std::string::npos && colon + 1 < parts.name.size()) {
    const std::string digits = parts.name.substr(colon + 1);
    bool allDigits = true;
    for (char c : digits) allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c)) != 0;
    if (allDigits) {
      parts.index = digits;
      parts.name.erase(colon);
    }
  }
  parts.unitWritten = variable.reference.substr(variable.reference.find(',') + 1);
  return parts;
}

std::string Reference(const std::string& name, const std::string& index, const std::string& unit) {
  return "A:" + name + (index.empty() ? "" : ":" + index) + "," + unit;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void CheckOne(CheckedVariable& variable, const Catalogue& catalogue) {
  const Parts parts = Split(variable);
  const std::string unit = Trimmed(variable.datum.unit);
  const CatalogueVariable* known = catalogue.FindVariable(parts.name);
  if (known == nullptr) {
    Finding finding{kUnknownVariable, false,
                    "\"" + parts.name + "\" is not a simulation variable of the catalogue (the 2020 documentation); "
                    "unless a later simulator added it, the simulator rejects it",
                    {}};
    for (const std::string& name : ClosestNames(parts.name, catalogue.VariableNames())) {
      finding.suggestions.push_back(Reference(name, parts.index, parts.unitWritten));
    }
    variable.findings.push_back(std::move(finding));
  } else if (!parts.index.empty() && !known->indexed) {
    variable.findings.push_back(Finding{kIndexNotTaken, false,
                                        "\"" + known->name + "\" takes no index (\":" + parts.index + "\")",
                                        {Reference(parts.name, "", parts.unitWritten)}});
  }

  const std::string* dimension = catalogue.UnitDimension(unit);
  if (dimension == nullptr) {
    Finding finding{kUnknownUnit, false, "\"" + unit + "\" is not a unit name the simulator knows", {}};
    for (const std::string& name : ClosestNames(unit, catalogue.UnitNames())) {
      finding.suggestions.push_back(Reference(parts.name, parts.index, name));
    }
    variable.findings.push_back(std::move(finding));
  } else if (known != nullptr && !known->dimension.empty() && !known->unit.empty() &&
             !catalogue.UnitMeasures(unit, known->dimension)) {
    variable.findings.push_back(Finding{kUnitDimension, false,
                                        "\"" + unit + "\" is a unit of " + *dimension + ", but \"" + known->name +
                                            "\" is documented in \"" + known->unit + "\" (" + known->dimension + ")",
                                        {Reference(parts.name, parts.index, known->unit)}});
  }
}

}  // namespace

void AddCatalogueFindings(ProfileCheck& check, const Catalogue& catalogue) {
  for (CheckedVariable& variable : check.variables) {
    if (!variable.datum.registrable || IsLocalReference(variable.reference)) continue;
    CheckOne(variable, catalogue);
  }
}

}  // namespace nimbra_profile
