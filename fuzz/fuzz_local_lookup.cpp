// The LOCAL profile lookup over a folder tree the input makes. The first
// line is the aircraft's path as a simulator reports it ('@' at its start
// stands for the tree, as a simulator under wine names it); every further
// line is a file to create in the tree (a line ending in '/' a folder). The
// pilot's own folder is the tree's "own/", the package roots its "pkgA" (as a
// POSIX path) and "pkgB" (as a Windows path). Whatever the input:
// the aircraft folder's candidate is the reported folder itself; every other
// candidate lies under the pilot's own folder or a package root with no ".."
// piece after it; and a file found is one that exists.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "app/aircraft_dir.h"
#include "app/process_state.h"
#include "fuzz_support.h"
#include "profiles/folder_path.h"
#include "profiles/local_profile.h"

namespace {

namespace fs = std::filesystem;

constexpr char kFileName[] = "Velk_Throttle_Config.json";
constexpr std::size_t kMaxEntries = 24;
constexpr std::size_t kMaxPieces = 10;

using fuzzworld::Require;

// The file system's own form of a path the bridge built: a Windows path
// loses its drive and takes '/'.
std::string Native(std::string path) {
  if (path.find('\\') == std::string::npos) return path;
  if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path.erase(0, 2);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string Windows(const std::string& posix) {
  std::string out = "Z:" + posix;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// `path` lies under `base` and nothing after `base` steps out of it.
bool Under(const std::string& path, const std::string& base) {
  if (path.compare(0, base.size(), base) != 0) return false;
  for (const std::string& piece : SplitPieces(path.substr(base.size())))
    if (piece == "..") return false;
  return true;
}

// Makes one entry of the tree; pieces that could leave it are passed over.
void Make(const fs::path& tree, const std::string& line) {
  const std::vector<std::string> pieces = SplitPieces(line);
  if (pieces.empty() || pieces.size() > kMaxPieces) return;
  fs::path at = tree;
  for (const std::string& piece : pieces) {
    if (piece == "." || piece == ".." || piece.size() > 64 || piece.find('\0') != std::string::npos) return;
    at /= piece;
  }
  std::error_code ec;
  if (IsPathSeparator(line.back())) {
    fs::create_directories(at, ec);
    return;
  }
  fs::create_directories(at.parent_path(), ec);
  std::ofstream(at) << "{}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path tree = fuzzworld::ScratchPath("nimbra-fuzz-lookup");
  static const struct Cleanup {
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(tree, ec);
    }
  } cleanup;
  fuzzworld::SweepDeadScratch();
  std::error_code ec;
  fs::remove_all(tree, ec);
  fs::create_directories(tree / "own", ec);

  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at <= input.size() && lines.size() <= kMaxEntries;) {
    std::size_t end = input.find('\n', at);
    if (end == std::string::npos) end = input.size();
    lines.push_back(input.substr(at, end - at));
    at = end + 1;
  }
  std::string reported = lines.empty() ? std::string() : lines[0];
  if (!reported.empty() && reported[0] == '@') reported = Windows(tree.string()) + reported.substr(1);
  for (std::size_t i = 1; i < lines.size(); ++i)
    if (!lines[i].empty()) Make(tree, lines[i]);

  SetAircraftProfileDir(reported);
  LocalProfileQuery query;
  query.fileName = kFileName;
  query.aircraftProfileDir = aircraftProfileDir;
  query.ownFolderBase = tree.string() + "/own/";
  query.packageRoots = {tree.string() + "/pkgA", Windows(tree.string() + "/pkgB")};

  for (bool firstOnly : {true, false}) {
    const std::vector<ProfileCandidate> candidates = LocalProfileCandidates(query, firstOnly);
    Require(!candidates.empty());
    for (const ProfileCandidate& c : candidates) {
      switch (c.kind) {
        case CandidateKind::AircraftFolder:
          Require(c.path == query.aircraftProfileDir + kFileName);
          Require(c.found.empty() || c.found == c.path);
          continue;
        case CandidateKind::OwnFolder:
          Require(Under(c.path, query.ownFolderBase));
          Require(c.found.empty() || Under(c.found, query.ownFolderBase));
          break;
        case CandidateKind::Package: {
          bool inRoot = false;
          for (const std::string& root : query.packageRoots)
            inRoot = inRoot || (Under(c.path, root) && (c.found.empty() || Under(c.found, root)));
          Require(inRoot);
          break;
        }
      }
      if (!c.found.empty()) Require(fs::is_regular_file(Native(c.found), ec));
    }
  }
  return 0;
}
