#pragma once
// The fixed-width texts of the data file as read: blank-padded, in code
// page 437, compared over all their characters.
#include <array>
#include <string>

namespace tcsum {

using Text8 = std::array<char, 8>;    // a data-set name, a decay mode
using Text32 = std::array<char, 32>;  // the detector text

// The data-set name as written in columns 1-8, trailing blanks removed.
std::string trimmedName(const Text8& name);
// "E" followed by seven blanks: the data-set name that ends the run.
bool isEndMarker(const Text8& name);

}  // namespace tcsum
