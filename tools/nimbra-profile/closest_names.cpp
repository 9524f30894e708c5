// Suggestions for misspelled names: a plain edit distance over every known
// name. The catalogue holds about 1,300 short names, so a full pass per
// unknown name costs nothing worth an index.
#include "closest_names.h"

#include <algorithm>
#include <cctype>

namespace nimbra_profile {
namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::size_t EditDistance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  // Three rows of the table: two back for swaps, one back, and this one.
  std::vector<std::size_t> before(m + 1), previous(m + 1), current(m + 1);
  for (std::size_t j = 0; j <= m; ++j) previous[j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= m; ++j) {
      const bool same = Upper(a[i - 1]) == Upper(b[j - 1]);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Upper(a[i - 1]) == Upper(b[j - 2]) && Upper(a[i - 2]) == Upper(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[m];
}

std::vector<std::string> ClosestNames(const std::string& word, const std::vector<std::string>& known,
                                      std::size_t most) {
  const std::size_t limit = std::max<std::size_t>(2, word.size() / 3);
  std::vector<std::pair<std::size_t, std::size_t>> near;  // distance, index in known
  for (std::size_t i = 0; i < known.size(); ++i) {
    const std::size_t distance = EditDistance(word, known[i]);
    if (distance <= limit) near.emplace_back(distance, i);
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> names;
  for (std::size_t i = 0; i < near.size() && names.size() < most; ++i) names.push_back(known[near[i].second]);
  return names;
}

}  // namespace nimbra_profile
