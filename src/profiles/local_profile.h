// Where a device's LOCAL profile is looked for, in order: the folder of the
// aircraft's file as the simulator reports it, the pilot's own per-aircraft
// folder beside the executable, and the aircraft's folder inside each of the
// simulator's packages. Today's simulators report a path inside their
// virtual file system (or into a package the pilot cannot edit), so the
// first place alone finds nothing for them; the other two are where a pilot
// can keep a profile. Every file is looked for afresh on each reload; only
// the list of which packages hold which aircraft folders may be kept
// (profiles/package_index.h).
#pragma once

#include <string>
#include <vector>

class PackageIndex;

// The name of a per-aircraft profile folder, beside the aircraft's file and
// beside the executable alike.
inline constexpr char kAircraftProfilesFolder[] = "corvane_profiles";

// The names an aircraft is known by, most particular first: for a modular
// aircraft (`...\<airframe>\presets\<maker>\<preset>\config\aircraft.cfg`)
// the preset, then the airframe; otherwise the folder holding the file.
// Only the part from `SimObjects\` on counts (any case, either slash), so the
// relative and absolute forms of one aircraft give the same keys. Keys that
// could lead out of a folder (".", "..", a drive) are left out.
std::vector<std::string> AircraftKeys(const std::string& reportedFile);

// The aircraft's own profile folder, built from the path of its file as the
// simulator reports it, byte for byte: the folder of the file with its
// trailing backslash, then "corvane_profiles\". Only '\' separates folders;
// a path without one gives an empty folder.
std::string AircraftProfileDirOf(const std::string& aircraftFile);

// The aircraft's folder (with its trailing backslash) out of its profile
// folder; empty when the profile folder is empty or not one built from an
// aircraft's path.
std::string AircraftFolderOf(const std::string& aircraftProfileDir);

// Where one candidate file was looked for.
enum class CandidateKind { AircraftFolder, OwnFolder, Package };

struct ProfileCandidate {
  CandidateKind kind = CandidateKind::AircraftFolder;
  std::string path;   // as looked for (a package folder's candidate has "*" for the package)
  std::string found;  // the file that exists, in the case it has on disk; empty when absent
};

// What the lookup is given: all of it values, none read here.
// The aircraft is known by its profile folder alone (the folder of its file
// with "corvane_profiles\" appended, or empty): keys and the path inside a
// package come from the folders in it.
struct LocalProfileQuery {
  std::string fileName;                   // the device's profile file name
  std::string aircraftProfileDir;         // the aircraft's own profile folder, possibly empty
  std::string ownFolderBase;              // the executable's folder
  std::vector<std::string> packageRoots;  // the simulator's package roots, in order
  // Kept from one lookup to the next by the caller, so that packages are not
  // listed again while their folder is unchanged; null: listed afresh.
  PackageIndex* packageIndex = nullptr;
};

// The candidates in lookup order; with `firstOnly` the list ends at the
// first file found (what a reload needs), else every candidate is checked.
std::vector<ProfileCandidate> LocalProfileCandidates(const LocalProfileQuery& query, bool firstOnly);

// The package roots: `packagesPath` when the pilot set one, else the
// `InstalledPackagesPath` of each simulator found on this machine, each
// root once, as the file calls take it. A root those calls cannot name (on
// Windows, a character the code page lacks) goes to `refused` as written.
std::vector<std::string> PackageRoots(const std::string& packagesPath, std::vector<std::string>* refused = nullptr);
