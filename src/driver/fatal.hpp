#pragma once
// The one path by which a run stops early: every run-stopping fault (input
// that cannot be read, a report that cannot be created, an index beyond the
// data store) ends up in fatal(), which throws RunStop. The driver's caller
// catches it, leaves the report complete on disk, prints the one-line
// diagnostic and exits with a non-zero status.
#include <stdexcept>
#include <string>

namespace tcsum {

// Exit status of a run stopped by a diagnostic (a normal end gives 0).
inline constexpr int kExitRunStopped = 1;

class RunStop : public std::runtime_error {
 public:
  explicit RunStop(const std::string& diagnostic) : std::runtime_error(diagnostic) {}
};

// Ends the run with the given one-line diagnostic.
[[noreturn]] void fatal(const std::string& diagnostic);

}  // namespace tcsum
