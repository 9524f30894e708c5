// `nimbra-profile which`: where the bridge looks for a device's LOCAL profile
// for one reported aircraft, what it finds there and what it would load. It
// runs the bridge's own lookup, so what it prints is what the bridge does.
#include "profile_lookup.h"
#include "which_report.h"

namespace nimbra_profile {
namespace {

const char* KindText(CandidateKind kind) {
  switch (kind) {
    case CandidateKind::AircraftFolder:
      return "aircraft's folder";
    case CandidateKind::OwnFolder:
      return "own folder";
    case CandidateKind::Package:
      return "package";
  }
  return "";
}

}  // namespace

std::string WhichReport(const std::string* aircraft, const std::string& bridgeFolder, const std::string& unitName) {
  const ProfileLookup choice = LookUpProfile(aircraft, bridgeFolder, unitName);
  std::string report = "aircraft: " + (aircraft != nullptr ? "\"" + *aircraft + "\"" : std::string("none")) + "\n";
  std::string keys;
  for (const std::string& key : choice.keys) keys += (keys.empty() ? "" : ", ") + key;
  report += "keys: " + (keys.empty() ? std::string("none") : keys) + "\n";
  std::string roots;
  for (const std::string& root : choice.packageRoots) roots += (roots.empty() ? "" : ", ") + root;
  report += "package roots: " + (roots.empty() ? std::string("none") : roots) + "\n";
  for (const std::string& root : choice.refusedRoots) {
    report += "not searched: " + root + " (the system's code page cannot hold its name)\n";
  }
  report += "LOCAL " + choice.fileName + ", in lookup order:\n";
  for (const ProfileCandidate& candidate : choice.candidates) {
    const bool found = !candidate.found.empty();
    report += std::string(found ? "  found   " : "  absent  ") + KindText(candidate.kind) + ": " +
              (found ? candidate.found : candidate.path) + "\n";
  }
  if (choice.local) return report + "loads: LOCAL " + choice.path + "\n";
  return report + "loads: GLOBAL " + choice.path + (choice.exists ? "" : " (absent: the bridge will say so in a box)") +
         "\n";
}

}  // namespace nimbra_profile
