#include "input/reader.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/text_file.hpp"

namespace tcsum {

bool DataFile::refill() {
  next_ = 0;
  end_ =
      static_cast<std::size_t>(in_.sgetn(block_.data(), static_cast<std::streamsize>(kBlockSize)));
  return end_ > 0;
}

Record DataFile::next(const char* expecting) {
  Record record;
  record.text.fill(' ');
  // The common case here: the whole line and its LF lie ahead in the block,
  // and the line is no longer than a record.
  const char* from = block_.data() + next_;
  const std::size_t reach = std::min(end_ - next_, record.text.size() + 1);
  const auto* lf = static_cast<const char*>(std::memchr(from, '\n', reach));
  if (lf != nullptr) {
    const auto line = static_cast<std::size_t>(lf - from);
    // A CR ending the line belongs to the line end, not to the record.
    std::memcpy(record.text.data(), from, line > 0 && lf[-1] == '\r' ? line - 1 : line);
    next_ += line + 1;
  } else {
    readAcrossBlocks(record, expecting);
  }
  record.number = ++records_;
  if (observer_) observer_(record, expecting);
  return record;
}

void DataFile::readAcrossBlocks(Record& record, const char* expecting) {
  std::size_t length = 0;  // bytes of the line so far, of which the first columns are kept
  char last = 0;           // the line's last byte before its LF
  bool any = false;
  // Pieces of the line up to its LF or the end of the file, one per block.
  while (next_ < end_ || refill()) {
    any = true;
    const char* from = block_.data() + next_;
    const std::size_t left = end_ - next_;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', left));
    const std::size_t piece = lf != nullptr ? static_cast<std::size_t>(lf - from) : left;
    if (length < record.text.size()) {
      const std::size_t kept = std::min(piece, record.text.size() - length);
      std::copy(from, from + kept, record.text.data() + length);
    }
    if (piece > 0) last = from[piece - 1];
    length += piece;
    next_ += piece;
    // No data file has a line this long: a device such as /dev/zero or a
    // binary file, which is not read on.
    if (length > kLongestDataFileLine) {
      dataFileFault("record too long", "record " + std::to_string(records_ + 1) + " runs past " +
                                           std::to_string(kLongestDataFileLine) +
                                           " characters without a line end: not a data file");
    }
    if (lf != nullptr) {
      ++next_;
      break;
    }
  }
  if (!any) {
    dataFileFault("end-of-file during read",
                  "after record " + std::to_string(records_) + ", expecting " + expecting);
  }
  // The CR ending a line that fits a record, as above.
  if (last == '\r' && length <= record.text.size()) record.text[length - 1] = ' ';
}

int32_t DataFile::firstNonBlankRecord() {
  int32_t record = records_ + 1;
  while (next_ < end_ || refill()) {
    for (; next_ < end_; ++next_) {
      const char c = block_[next_];
      if (c == '\n') {
        ++record;
      } else if (c != ' ' && c != '\r' && c != '\t') {
        return record;
      }
    }
  }
  return 0;
}

namespace {
// A list that runs past the store's capacity; its last record has been
// converted first, so a bad field in it is reported as such.
[[noreturn]] void refuseBeyondStore(const Record& r, int32_t capacity, const char* records) {
  dataFileFault(
      "index beyond the data store",
      "record " + std::to_string(r.number) + ", more than " + std::to_string(capacity) + records);
}
}  // namespace

void readEfficiencyBlock(DataFile& file, Store& s) {
  using namespace layout;
  Record first = file.next("the first record of the efficiency block");
  s.EFF(1, 1) = readReal(first, kEffEnergy);
  s.EFF(2, 1) = readReal(first, kEffTotal);
  s.EFF(3, 1) = readReal(first, kEffPeak);
  s.KDET1 = readInteger(first, kDetectorDigit1);
  s.KDET = readInteger(first, kDetectorDigit2);
  std::string_view text = first.columns(kDetectorText.first, kDetectorText.last);
  std::copy(text.begin(), text.end(), s.DETTXT.begin());

  for (int32_t i = 2;; ++i) {
    Record r = file.next("an efficiency record");
    float reals[3];
    readReals(r, kEffReals, reals);
    int32_t continuation = readInteger(r, kContinuation);
    if (i > kEffPoints) refuseBeyondStore(r, kEffPoints, " records in the efficiency block");
    s.EFF(1, i) = reals[0];
    s.EFF(2, i) = reals[1];
    s.EFF(3, i) = reals[2];
    if (continuation == 0) {
      s.NEFF = i - 1;
      return;
    }
  }
}

void readHeader(DataFile& file, Store& s) {
  using namespace layout;
  Record r = file.next("a data-set header");
  std::string_view name = r.columns(kName.first, kName.last);
  std::string_view mode = r.columns(kDecayMode.first, kDecayMode.last);
  float ex = readReal(r, kXrayEnergy);
  float omegak = readReal(r, kOmegaK);
  std::copy(name.begin(), name.end(), s.DSNAME.begin());
  std::copy(mode.begin(), mode.end(), s.DECMODE.begin());
  s.EX = ex;
  s.OMEGAK = omegak;
  s.headerRecord = r.number;
}

void readLevelRecords(DataFile& file, std::vector<LevelRecord>& levels) {
  using namespace layout;
  for (int32_t i = 1;; ++i) {
    Record r = file.next("a level record");
    float reals[3];
    readReals(r, kLevelReals, reals);
    if (i > kLevels) refuseBeyondStore(r, kLevels, " level records");
    levels.push_back({reals[0], reals[1], reals[2]});
    if (i > 1 && reals[0] == 0.0f) return;
  }
}

void storeLevels(std::span<const LevelRecord> levels, Store& s) {
  int32_t i = 0;
  for (const LevelRecord& l : levels) {
    ++i;
    s.ELEV(i) = l.energy;
    s.FEED(i) = l.feeding;
    s.PK(i) = l.fraction;
  }
  s.NLEV = i - 1;
}

void readLevels(DataFile& file, Store& s) {
  std::vector<LevelRecord> levels;
  readLevelRecords(file, levels);
  storeLevels(levels, s);
}

void readTransitionRecords(DataFile& file, std::vector<TransitionRecord>& transitions) {
  using namespace layout;
  for (;;) {
    Record r = file.next("a transition record");
    int32_t levels[2];
    readIntegers(r, kLevelNumbers, levels);
    float reals[4];
    readReals(r, kTransitionReals, reals);
    const int32_t upper = levels[0];
    const int32_t lower = levels[1];
    auto checkLevelNumber = [&r](const Field& field, int32_t number) {
      if (number < 1 || number > kLevels) {
        dataFileFault(
            "index beyond the data store",
            describeField(r, field) + ", level number outside 1 ... " + std::to_string(kLevels));
      }
    };
    checkLevelNumber(kUpperLevel, upper);
    checkLevelNumber(kLowerLevel, lower);
    transitions.push_back({upper, lower, reals[0], reals[1], reals[2], reals[3], r.number});
    // Upper level 33, the last row of the store, ends the list.
    if (upper == kLevels) return;
  }
}

void storeTransitions(std::span<const TransitionRecord> transitions, Store& s) {
  s.transitionRecord.fill(0);
  s.replaced.clear();
  for (const TransitionRecord& t : transitions) {
    s.EGAM(t.upper, t.lower) = t.energy;
    s.XTR(t.upper, t.lower) = t.intensity;
    s.ALPHA(t.upper, t.lower) = t.ALPHA;
    s.ALPHAK(t.upper, t.lower) = t.ALPHAK;
    // Where each transition was read, and the records a later one replaced.
    int32_t& where = s.transitionRecord(t.upper, t.lower);
    if (where != 0) s.replaced.push_back({t.upper, t.lower, where, t.record});
    where = t.record;
  }
}

void readTransitions(DataFile& file, Store& s) {
  std::vector<TransitionRecord> transitions;
  readTransitionRecords(file, transitions);
  storeTransitions(transitions, s);
}

// The sub-level scheme of electron capture holds two sub-levels per level.
void checkCaptureLevels(const Store& s) {
  if (isElectronCapture(s) && 2 * s.NLEV > kSubLevels) {
    dataFileFault("index beyond the data store",
                  "electron-capture data set " + quoted({s.DSNAME.data(), s.DSNAME.size()}) +
                      " has " + std::to_string(s.NLEV) + " levels, at most " +
                      std::to_string(kSubLevels / 2) + " can be computed");
  }
}

}  // namespace tcsum
