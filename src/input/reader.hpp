#pragma once
// The data-file reader: the record kinds of the data file, field by field,
// and where each value lands in the data store.
#include <cstddef>
#include <functional>
#include <istream>
#include <span>
#include <vector>

#include "core/store.hpp"
#include "input/fields.hpp"

namespace tcsum {

// The data file as a sequence of records (lines). A record ends at LF; one CR
// right before the LF, or at the end of a last line without LF, is dropped;
// every other byte is data. Columns beyond those any record kind reads are
// not kept.
//
// The file is read ahead in blocks of fixed size, so memory stays the same
// however long a line is; the run reads the file in order, one DataFile per
// stream.
class DataFile {
 public:
  explicit DataFile(std::istream& in) : in_(*in.rdbuf()) {}

  // The next record. At the end of the file the run stops with
  // "end-of-file during read"; EXPECTING says what the read was for.
  Record next(const char* expecting);

  // Called with every record that next() returns and what it was read as
  // (the listing of the check mode).
  using Observer = std::function<void(const Record&, const char* expecting)>;
  void observe(Observer observer) { observer_ = std::move(observer); }

  // The number of the first record after those read that holds anything but
  // blanks (a line end included), or 0 when there is none; reads the rest of
  // the file.
  int32_t firstNonBlankRecord();

 private:
  // Reads the next block of the file; false at its end.
  bool refill();
  // The next record into RECORD (blank-filled) piece by piece, where its
  // line runs past the block read or is longer than a record.
  void readAcrossBlocks(Record& record, const char* expecting);

  static constexpr std::size_t kBlockSize = 1 << 16;
  std::streambuf& in_;
  std::vector<char> block_ = std::vector<char>(kBlockSize);
  std::size_t next_ = 0;  // the bytes next_ ... end_ - 1 of the block are still to be read
  std::size_t end_ = 0;
  int32_t records_ = 0;
  Observer observer_;
};

// Reads the efficiency block into EFF, NEFF, KDET1, KDET and DETTXT. The
// record whose continuation digit is 0 (or blank) ends the block and is
// stored in column NEFF + 1.
void readEfficiencyBlock(DataFile& file, Store& s);

// Reads a data-set header into DSNAME, DECMODE, EX and OMEGAK, and its record
// number into headerRecord. The whole record is converted, the end marker
// included.
void readHeader(DataFile& file, Store& s);

// A level record as read.
struct LevelRecord {
  float energy;
  float feeding;
  float fraction;  // K-capture fraction
};

// A transition record as read.
struct TransitionRecord {
  int32_t upper;
  int32_t lower;
  float energy;
  float intensity;
  float ALPHA;
  float ALPHAK;
  int32_t record;  // line number in the data file
};

// Reads the level records into ELEV, FEED and PK, and sets NLEV. The first
// record is always a level; the first later record with energy 0 ends the
// list and is stored in slot NLEV + 1.
void readLevels(DataFile& file, Store& s);

// Reads transition records into EGAM, XTR, ALPHA and ALPHAK at (upper,
// lower), in any order; a later record for the same pair replaces the earlier
// (noted in Store::replaced). The record with upper level 33 ends the list
// and is stored like the others. Notes each record in Store::transitionRecord.
void readTransitions(DataFile& file, Store& s);

// The same in two steps, so that a data set can be read ahead of computing
// it: the records are appended to a list as read, with the same checks (a
// fault leaves the records before it in the list), and are stored later.
void readLevelRecords(DataFile& file, std::vector<LevelRecord>& levels);
void readTransitionRecords(DataFile& file, std::vector<TransitionRecord>& transitions);
void storeLevels(std::span<const LevelRecord> levels, Store& s);
void storeTransitions(std::span<const TransitionRecord> transitions, Store& s);

// Stops the run when an electron-capture data set has more levels than its
// sub-level scheme can hold.
void checkCaptureLevels(const Store& s);

}  // namespace tcsum
