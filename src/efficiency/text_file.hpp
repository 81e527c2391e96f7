#pragma once
// A hand-written input file read whole, with bounds: a directory, a device
// that never ends (/dev/zero), a file far larger than any such input or a
// line longer than any record is refused with one line, never read on.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace tcsum::efficiency {

// "FILE:LINE: reason" or "FILE: reason": one line for the user.
class InputFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TextLimits {
  std::size_t maxBytes = 1 << 20;
  std::size_t maxLineLength = 4096;
};

// The bytes of PATH. Throws InputFileError when it cannot be read, is a
// directory, is longer than the limits allow or holds a NUL byte.
std::string readTextFile(const std::string& path, const TextLimits& limits = {});

}  // namespace tcsum::efficiency
