// Building and keeping the package index. A folder is listed afresh when its
// modification time differs from the one seen at its listing, or when that
// listing came so soon after the folder's last change that a further change
// could still carry the same time (file-system clocks are coarse).
#include "profiles/package_index.h"

#include <algorithm>
#include <chrono>

#include "platform/ascii_case.h"
#include "platform/file_access.h"
#include "profiles/folder_path.h"

namespace {

using platform::EqualNoCase;
using platform::FoldCase;

// More package folders than any set of roots has; past it the index starts over.
constexpr std::size_t kMaxFolders = 64;
// How deep below a package the index looks: "SimObjects", category, aircraft.
constexpr std::size_t kDepth = 3;

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<platform::FolderEntry> entries;
  std::vector<std::string> names;
  if (!platform::ListFolder(folder, &entries)) return names;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.isFolder) names.push_back(entry.name);
  }
  return names;
}

// Adds the folder keys below `folder` (its path inside the package `key`) to
// `holders` for package `position`, down to kDepth pieces. Only "SimObjects"
// is followed at the first level: the lookup starts there.
void IndexBelow(const std::string& folder, const std::string& key, std::size_t depth, std::size_t position,
                std::map<std::string, std::vector<std::size_t>>* holders) {
  for (const std::string& name : FolderNames(folder)) {
    if (depth == 0 && !EqualNoCase(name, "SimObjects")) continue;
    std::string below = key;
    if (!below.empty()) below += '\\';
    below += Folded(name);
    std::vector<std::size_t>& packages = (*holders)[below];
    if (packages.empty() || packages.back() != position) packages.push_back(position);
    if (depth + 1 < kDepth) IndexBelow(JoinPath(folder, name), below, depth + 1, position, holders);
  }
}

std::int64_t NowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

const PackageIndex::FolderIndex& PackageIndex::Current(const std::string& folder) {
  const platform::FileStamp stamp = platform::QueryFileStamp(folder);
  const bool exists = stamp.kind == platform::FileStamp::Kind::Folder;
  const std::int64_t modified = stamp.modified;
  auto known = folders_.find(folder);
  if (known != folders_.end() && exists && known->second.settled && known->second.modified == modified) {
    return known->second;
  }
  if (known == folders_.end() && folders_.size() >= kMaxFolders) folders_.clear();
  FolderIndex& index = folders_[folder];
  index = FolderIndex();
  if (!exists) return index;
  ++listings_;
  index.modified = modified;
  index.settled = NowNanoseconds() - modified >= settle_;
  index.packages = FolderNames(folder);
  std::sort(index.packages.begin(), index.packages.end(), [](const std::string& a, const std::string& b) {
    const auto lowerLess = [](char x, char y) { return FoldCase(x) < FoldCase(y); };
    if (!EqualNoCase(a, b)) return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerLess);
    return a < b;
  });
  for (std::size_t i = 0; i < index.packages.size(); ++i) {
    IndexBelow(JoinPath(folder, index.packages[i]), std::string(), 0, i, &index.holders);
  }
  return index;
}

std::vector<std::string> PackageIndex::PackagesHolding(const std::string& folder,
                                                       const std::vector<std::string>& folders) {
  std::vector<std::string> packages;
  if (folders.empty()) return packages;
  const FolderIndex& index = Current(folder);
  std::string key;
  for (std::size_t i = 0; i < folders.size() && i < kDepth; ++i) {
    if (i != 0) key += '\\';
    key += Folded(folders[i]);
  }
  const auto holders = index.holders.find(key);
  if (holders == index.holders.end()) return packages;
  for (const std::size_t position : holders->second) packages.push_back(index.packages[position]);
  return packages;
}
