#pragma once
// The SHA-256 digest of a file, so results can be traced to the exact input.
#include <optional>
#include <string>

namespace tcsum {

// Lower-case hexadecimal; nothing when the file cannot be read.
std::optional<std::string> sha256OfFile(const std::string& path);

}  // namespace tcsum
