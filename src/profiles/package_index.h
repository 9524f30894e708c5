// The packages of a package folder (a root's "Community", "Official\OneStore",
// ...) indexed by the aircraft folders they hold. Pilots keep thousands of
// packages, and listing each one on every aircraft load (which MSFS 2024
// reports even while the pilot browses its menus) stalls the main thread;
// with the index a reload asks the disk only about the packages that hold
// the aircraft's folder. A folder's index is kept while the folder's
// modification time stays, so a package installed or removed is seen at the
// next lookup. What the index keeps is only a shortlist: the profile file
// itself is always looked for afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class PackageIndex {
 public:
  // How long after a folder's last change its time is trusted to show the
  // next one: longer than the file system's clock step.
  static constexpr std::int64_t kSettleNanoseconds = 2'000'000'000;

  explicit PackageIndex(std::int64_t settleNanoseconds = kSettleNanoseconds) : settle_(settleNanoseconds) {}

  // The packages of `folder` (their names, in lookup order: by name without
  // regard to case, then exactly) that hold the folder path `folders` (from
  // "SimObjects" on, matched without regard to case) down to its third
  // piece. Every package that holds the whole path is among them. An empty
  // list when the folder does not exist or cannot be read.
  std::vector<std::string> PackagesHolding(const std::string& folder, const std::vector<std::string>& folders);

  // How many times a folder was listed afresh (the first lookup, then after
  // each change); what the tests and the benchmark watch.
  std::size_t Listings() const { return listings_; }

 private:
  struct FolderIndex {
    std::int64_t modified = 0;
    bool settled = false;                 // listed long enough after its last change to trust the time
    std::vector<std::string> packages;    // in lookup order
    // Folded "simobjects", "simobjects\airplanes", "simobjects\airplanes\jet"
    // to the positions in `packages` of the packages holding them.
    std::map<std::string, std::vector<std::size_t>> holders;
  };

  const FolderIndex& Current(const std::string& folder);

  std::int64_t settle_;
  std::map<std::string, FolderIndex> folders_;
  std::size_t listings_ = 0;
};
