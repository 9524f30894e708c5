// Holding a datum against the catalogue. Units the catalogue does not list
// pass: the simulator knows more of them than the table, and a refusal the
// simulator would not give is worse for a test than one it would.
#include "known_variables.h"

#include <cctype>

#include "catalogue.h"
#include "wire.h"
#include "words.h"

namespace simhost {
namespace {

// The name without an index ":N".
std::string WithoutIndex(const std::string& name) {
  const std::size_t colon = name.rfind(':');
  if (colon == std::string::npos || colon + 1 == name.size()) return name;
  for (std::size_t i = colon + 1; i < name.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return name;
  return Trimmed(name.substr(0, colon));
}

}  // namespace

std::uint32_t UnknownToCatalogue(const std::string& name, const std::string& unit) {
  const nimbra_profile::Catalogue& catalogue = nimbra_profile::Catalogue::BuiltIn();
  const nimbra_profile::CatalogueVariable* known = catalogue.FindVariable(WithoutIndex(Trimmed(name)));
  if (known == nullptr) return wire::kIndexName;
  const std::string written = Trimmed(unit);
  if (written.empty() || known->dimension.empty() || catalogue.UnitDimension(written) == nullptr) return 0;
  return catalogue.UnitMeasures(written, known->dimension) ? 0 : wire::kIndexUnit;
}

}  // namespace simhost
