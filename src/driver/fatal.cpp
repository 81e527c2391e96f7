#include "driver/fatal.hpp"

namespace tcsum {

void fatal(const std::string& diagnostic) {
  throw RunStop(diagnostic);
}

}  // namespace tcsum
