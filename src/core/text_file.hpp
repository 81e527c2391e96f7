#pragma once
// The one way a whole input file is read: with bounds, so that a directory, a
// device that never ends (/dev/zero), a file far larger than any such input
// or a line longer than any record is refused with one line and never read
// on. The data file of a run is read record by record (input/reader.hpp),
// bounded by kLongestDataFileLine.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace tcsum {

// "FILE:LINE: reason" or "FILE: reason": one line for the user.
class InputFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The longest line any input of the program has a use for: records are 80
// to 82 columns, table rows and TOML lines far shorter.
inline constexpr std::size_t kLongestInputLine = 4096;

struct TextLimits {
  std::size_t maxBytes = 1 << 20;
  std::size_t maxLineLength = kLongestInputLine;
};

// An ENSDF file of one mass number is some 10 MB at most.
inline constexpr TextLimits kEnsdfFileLimits{std::size_t{64} << 20, kLongestInputLine};

// The data file is read record by record in memory of fixed size, columns
// beyond a record's ignored; a line longer than this has no line end in
// sight (a device such as /dev/zero, a binary file) and stops the run.
inline constexpr std::size_t kLongestDataFileLine = std::size_t{1} << 20;

// The bytes of PATH. Throws InputFileError when it cannot be read, is a
// directory, is longer than the limits allow or holds a NUL byte; nothing
// beyond MAXBYTES is read.
std::string readTextFile(const std::string& path, const TextLimits& limits = {});

}  // namespace tcsum
