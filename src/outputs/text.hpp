#pragma once
// Text of the data outputs (JSON, CSV): numbers as the shortest decimal that
// reads back to the same float, and the data file's text in UTF-8.
#include <string>
#include <string_view>

namespace tcsum {

// The shortest decimal that reads back to VALUE as a float ("0.4212",
// "1e-05", "-0"); "" for a value that is not finite.
std::string shortestDecimal(float value);
// The same appended to OUT; false, and nothing appended, when VALUE is not
// finite.
bool appendShortestDecimal(std::string& out, float value);

// Text of the data file, read as code page 437 (the report's own code page,
// where byte 148 is "ö"), in UTF-8.
std::string utf8FromCodePage437(std::string_view text);

}  // namespace tcsum
