// The LOCAL profile lookup. The aircraft's own folder is tried exactly as
// the reported path gives it; the two further places are walked piece by
// piece, each piece matched to a folder entry without regard to case (the
// simulators report paths in any case, and Linux file systems keep case),
// and a piece that could leave the folder refuses its candidate.
#include "profiles/local_profile.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/ascii_case.h"
#include "platform/file_access.h"
#include "platform/simulator_folders.h"
#include "profiles/folder_path.h"
#include "profiles/package_index.h"

namespace {

// The package folders below a root, Community ones first; a folder that does
// not exist on this simulator is simply absent.
constexpr const char* const kPackageFolders[] = {"Community",       "Community2024", "Official\\OneStore",
                                           "Official\\Steam", "Official2024",  "Official2020"};

using platform::EqualNoCase;

// A piece that names an entry of the folder it is looked up in, and nothing else.
bool SafePiece(const std::string& piece) {
  return !piece.empty() && piece != "." && piece != ".." && piece.find(':') == std::string::npos &&
         std::none_of(piece.begin(), piece.end(), IsPathSeparator);
}

// The folders of the reported path from its `SimObjects` piece on (the last
// `SimObjects` counts); without one, the folders of the whole path. The file
// itself is dropped; a path ending in a separator has no file.
std::vector<std::string> AircraftFolders(const std::string& reportedFile, bool* fromSimObjects) {
  std::vector<std::string> pieces = SplitPieces(reportedFile);
  if (!pieces.empty() && !reportedFile.empty() && !IsPathSeparator(reportedFile.back())) pieces.pop_back();
  *fromSimObjects = false;
  for (std::size_t i = pieces.size(); i-- > 0;) {
    if (EqualNoCase(pieces[i], "SimObjects")) {
      pieces.erase(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(i));
      *fromSimObjects = true;
      break;
    }
  }
  return pieces;
}

// The entry of `folder` named `piece`: the exact name when there is one,
// else the first that matches without regard to case.
bool FindEntry(const std::vector<platform::FolderEntry>& entries, const std::string& piece, bool wantFolder,
               std::string* name) {
  const platform::FolderEntry* match = nullptr;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.isFolder != wantFolder || !EqualNoCase(entry.name, piece)) continue;
    if (entry.name == piece) {
      match = &entry;
      break;
    }
    if (match == nullptr) match = &entry;
  }
  if (match == nullptr) return false;
  *name = match->name;
  return true;
}

// Walks the folders `pieces` below `base` and gives the last one's path as
// it is on disk; false when a piece is missing or could leave the folder.
bool ResolveFolder(const std::string& base, const std::vector<std::string>& pieces, std::string* path) {
  std::string at = base;
  std::vector<platform::FolderEntry> entries;
  for (const std::string& piece : pieces) {
    std::string name;
    if (!SafePiece(piece) || !platform::ListFolder(at, &entries) || !FindEntry(entries, piece, true, &name)) {
      return false;
    }
    at = JoinPath(at, name);
  }
  *path = at;
  return true;
}

// The file `pieces` (folders, then the file's name) below `base`, as it is
// on disk; false when it is missing, could lie outside `base`, or does not open.
bool ResolveFile(const std::string& base, std::vector<std::string> pieces, std::string* path) {
  if (pieces.empty()) return false;
  const std::string fileName = pieces.back();
  pieces.pop_back();
  std::string folder;
  std::vector<platform::FolderEntry> entries;
  std::string name;
  if (!ResolveFolder(base, pieces, &folder) || !SafePiece(fileName) || !platform::ListFolder(folder, &entries) ||
      !FindEntry(entries, fileName, false, &name)) {
    return false;
  }
  const std::string file = JoinPath(folder, name);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(platform::OpenFileForReading(file), &std::fclose);
  if (!opened) return false;
  *path = file;
  return true;
}

std::string JoinAll(std::string folder, const std::vector<std::string>& pieces) {
  for (const std::string& piece : pieces) folder = JoinPath(folder, piece);
  return folder;
}

}  // namespace

std::vector<std::string> AircraftKeys(const std::string& reportedFile) {
  bool fromSimObjects = false;
  const std::vector<std::string> folders = AircraftFolders(reportedFile, &fromSimObjects);
  std::vector<std::string> keys;
  const auto add = [&keys](const std::string& key) {
    if (!SafePiece(key)) return;
    for (const std::string& known : keys) {
      if (EqualNoCase(known, key)) return;
    }
    keys.push_back(key);
  };
  // SimObjects, category, airframe, "presets", maker, preset, ...
  if (fromSimObjects && folders.size() >= 6 && EqualNoCase(folders[3], "presets")) {
    add(folders[5]);
    add(folders[2]);
  } else if (!folders.empty() && !(fromSimObjects && folders.size() == 1)) {
    add(folders.back());
  }
  return keys;
}

std::string AircraftProfileDirOf(const std::string& aircraftFile) {
  const std::size_t separator = aircraftFile.rfind('\\');
  if (separator == std::string::npos) return std::string();
  return aircraftFile.substr(0, separator + 1) + kAircraftProfilesFolder + "\\";
}

std::string AircraftFolderOf(const std::string& aircraftProfileDir) {
  // The trailing separator says that the text holds folders only.
  const std::string tail = std::string(kAircraftProfilesFolder) + "\\";
  const std::string& dir = aircraftProfileDir;
  if (dir.size() < tail.size() || dir.compare(dir.size() - tail.size(), tail.size(), tail) != 0) return std::string();
  return dir.substr(0, dir.size() - tail.size());
}

std::vector<ProfileCandidate> LocalProfileCandidates(const LocalProfileQuery& query, bool firstOnly) {
  std::vector<ProfileCandidate> candidates;
  const std::string aircraftFolder = AircraftFolderOf(query.aircraftProfileDir);
  const auto done = [&] { return firstOnly && !candidates.empty() && !candidates.back().found.empty(); };

  ProfileCandidate parts{CandidateKind::AircraftFolder, query.aircraftProfileDir + query.fileName, {}};
  if (std::FILE* file = platform::OpenFileForReading(parts.path)) {
    std::fclose(file);
    parts.found = parts.path;
  }
  candidates.push_back(parts);
  if (done()) return candidates;

  for (const std::string& key : AircraftKeys(aircraftFolder)) {
    const std::vector<std::string> pieces = {kAircraftProfilesFolder, key, query.fileName};
    ProfileCandidate own{CandidateKind::OwnFolder, JoinAll(query.ownFolderBase, pieces), {}};
    ResolveFile(query.ownFolderBase, pieces, &own.found);
    candidates.push_back(own);
    if (done()) return candidates;
  }

  bool fromSimObjects = false;
  std::vector<std::string> inPackage = AircraftFolders(aircraftFolder, &fromSimObjects);
  if (!fromSimObjects || !std::all_of(inPackage.begin(), inPackage.end(), SafePiece)) return candidates;
  // Without an index of its own the lookup lists every package, once.
  PackageIndex oneLookup;
  PackageIndex& index = query.packageIndex != nullptr ? *query.packageIndex : oneLookup;
  const std::vector<std::string> aircraftFolders = inPackage;
  inPackage.push_back(kAircraftProfilesFolder);
  inPackage.push_back(query.fileName);
  for (const std::string& root : query.packageRoots) {
    for (const char* packageFolder : kPackageFolders) {
      ProfileCandidate package{
          CandidateKind::Package, JoinAll(JoinPath(JoinAll(root, SplitPieces(packageFolder)), "*"), inPackage), {}};
      std::string folder;
      if (ResolveFolder(root, SplitPieces(packageFolder), &folder)) {
        for (const std::string& name : index.PackagesHolding(folder, aircraftFolders)) {
          if (ResolveFile(JoinPath(folder, name), inPackage, &package.found)) break;
        }
      }
      candidates.push_back(package);
      if (done()) return candidates;
    }
  }
  return candidates;
}

std::vector<std::string> PackageRoots(const std::string& packagesPath, std::vector<std::string>* refused) {
  if (!packagesPath.empty()) return {packagesPath};
  std::vector<std::string> roots;
  for (const platform::SimulatorFolder& place : platform::SimulatorFolders(platform::PathText::SystemCodePage)) {
    std::string named;
    std::string root;
    if (!platform::ReadInstalledPackagesPath(place.folder + platform::kUserCfgFileName, &named)) continue;
    if (!platform::PackageRootForFileCalls(place, named, &root)) {
      if (refused != nullptr) refused->push_back(named);
      continue;
    }
    // Two simulators may share one root; it is searched once.
    if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
  }
  return roots;
}
