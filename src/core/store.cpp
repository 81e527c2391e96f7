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

// The arrays that start every data set at zero. ELEV, FEED, PK and EGAM are
// overwritten by the reads and only used where XTR is set. Entries 34 ... 60
// of the sub-level arrays are not cleared: every electron-capture data set
// sets the same pattern of them (the capture and transition steps of its own
// levels) before reading them, and the others are never set, so stay 0.
void clearDataSet(Store& s) {
  for (int32_t I = 1; I <= kLevels; ++I) {
    s.XFEED(I) = 0.0f;
    s.XPOP(I) = 0.0f;
  }
  for (LevelVec* v : {&s.NBELOW, &s.NABOVE, &s.POP, &s.ECRATE0, &s.ECRATE})
    v->clear();
  for (LevelMat* m : {&s.ALPHA, &s.ALPHAK, &s.SUMPK, &s.BPEAK, &s.DMISS, &s.RATE, &s.RATE0,
                      &s.XRATE, &s.XRATE0, &s.XTR})
    m->clear();
  s.XTRANS.fillCorner(kLevels, 0.0f);
}

}  // namespace tcsum
