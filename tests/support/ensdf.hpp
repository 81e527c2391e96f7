#pragma once
// Hand-written ENSDF records for the converter's tests: each field is placed
// at its first column in an 80-column record.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace tcsum::test {

using Placed = std::pair<int, std::string_view>;

inline std::string ensdfRecord(std::initializer_list<Placed> fields) {
  std::string r(80, ' ');
  for (const auto& [column, text] : fields)
    r.replace(static_cast<std::size_t>(column - 1), text.size(), text);
  return r + "\n";
}

}  // namespace tcsum::test
