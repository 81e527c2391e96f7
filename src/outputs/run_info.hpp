#pragma once
// What the outputs say about the run itself: the program and its version,
// and the data file it read with its SHA-256 (none where it could not be read).
#include <optional>
#include <string>

namespace tcsum {

struct RunInfo {
  std::string program;
  std::string version;
  std::string inputPath;
  std::optional<std::string> inputSha256;
};

}  // namespace tcsum
