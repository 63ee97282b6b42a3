// The known name nearest to a misspelt one, for "did you mean" hints.
#pragma once

#include <cstddef>
#include <string>

// Edit distance (insertions, deletions, substitutions; ASCII letters compared
// without case).
size_t EditDistance(const std::string& a, const std::string& b);

// The candidate nearest to word (the first of equals); null when there are none.
const char* NearestName(const std::string& word, const char* const* candidates, size_t count);
