// `nimbra-profile which`: where the bridge looks for a device's LOCAL profile
// for one reported aircraft, what it finds there and what it would load. It
// runs the bridge's own lookup, so what it prints is what the bridge does.
#include <cstdio>

#include "app/aircraft_dir.h"
#include "app/process_state.h"
#include "app/settings.h"
#include "platform/file_access.h"
#include "profiles/local_profile.h"
#include "report_text.h"

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
  SetAircraftProfileDir(aircraft != nullptr ? *aircraft : std::string());
  const BridgeSettings settings = ReadSettings(bridgeFolder + kSettingsFileName);
  const std::string fileName = unitName + "_Config.json";
  const LocalProfileQuery query{fileName, aircraftProfileDir, bridgeFolder, PackageRoots(settings.packagesPath)};

  std::string report = "aircraft: " + (aircraft != nullptr ? "\"" + *aircraft + "\"" : std::string("none")) + "\n";
  std::string keys;
  for (const std::string& key : AircraftKeys(AircraftFolderOf(aircraftProfileDir)))
    keys += (keys.empty() ? "" : ", ") + key;
  report += "keys: " + (keys.empty() ? std::string("none") : keys) + "\n";
  std::string roots;
  for (const std::string& root : query.packageRoots) roots += (roots.empty() ? "" : ", ") + root;
  report += "package roots: " + (roots.empty() ? std::string("none") : roots) + "\n";
  report += "LOCAL " + fileName + ", in lookup order:\n";
  std::string chosen;
  for (const ProfileCandidate& candidate : LocalProfileCandidates(query, false)) {
    const bool found = !candidate.found.empty();
    report += std::string(found ? "  found   " : "  absent  ") + KindText(candidate.kind) + ": " +
              (found ? candidate.found : candidate.path) + "\n";
    if (found && chosen.empty()) chosen = candidate.found;
  }
  if (!chosen.empty()) return report + "loads: LOCAL " + chosen + "\n";
  const std::string global = bridgeFolder + fileName;
  std::FILE* file = platform::OpenFileForReading(global);
  if (file != nullptr) std::fclose(file);
  return report + "loads: GLOBAL " + global + (file != nullptr ? "" : " (absent: the bridge will say so in a box)") +
         "\n";
}
