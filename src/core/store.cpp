#include "core/store.hpp"

#include <string_view>

#include "core/fatal.hpp"

namespace tcsum {

void indexBeyondStore(int32_t index, int32_t limit, const SourceLocation& where) {
  std::string file = where.file_name();
  if (auto src = file.rfind("src/"); src != std::string::npos) file.erase(0, src);
  fatal({"index beyond the data store", 0,
         std::to_string(index) + " outside 1 ... " + std::to_string(limit) + " (" + file + ":" +
             std::to_string(where.line()) + ")"});
}

namespace {
bool equals(const Text8& field, std::string_view text) {
  return std::string_view(field.data(), field.size()) == text;
}
}  // namespace

bool isElectronCapture(const Store& s) {
  return equals(s.DECMODE, "EC      ");
}

std::string trimmedName(const Text8& name) {
  std::string_view text(name.data(), name.size());
  return std::string(text.substr(0, text.find_last_not_of(' ') + 1));
}

bool isEndMarker(const Text8& name) {
  return equals(name, "E       ");
}

}  // namespace tcsum
