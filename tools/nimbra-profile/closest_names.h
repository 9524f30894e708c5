// The known names closest to a misspelled one, for the checker's "did you
// mean" suggestions. Letters compare without regard to case; a swap of two
// neighbouring characters counts as one edit, like a missing, extra or
// wrong one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nimbra_profile {

// Edits between a and b (optimal string alignment distance).
std::size_t EditDistance(const std::string& a, const std::string& b);

// Up to `most` names of `known` nearest to `word`, nearest first (ties in
// the order of `known`); only names within a third of the word's length in
// edits (at least two) count, so a word like none of them gets none.
std::vector<std::string> ClosestNames(const std::string& word, const std::vector<std::string>& known,
                                      std::size_t most = 3);

}  // namespace nimbra_profile
