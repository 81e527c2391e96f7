#pragma once
// The report "result.out": the file itself and its record groups, each
// written by one operation that takes its values.
#include <cstdint>
#include <string>

#include "driver/store.hpp"
#include "report/format.hpp"

namespace tcsum {

inline constexpr int32_t kReportUnit = 6;
inline constexpr const char* kReportFile = "result.out";

// Records are collected in a buffer and written to the file in whole
// records. A report made without a path stays in memory.
class Report {
 public:
  Report() = default;  // in memory
  explicit Report(std::string path) : path_(std::move(path)) {}
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;
  ~Report();

  // The first call creates the file, which must not exist (an existing file
  // or link is never touched: the run stops with "cannot overwrite existing
  // file"); later calls keep writing to the same file.
  void open();
  bool isOpen() const { return open_; }

  // A writer for the records of one group; call committed() after the group.
  RecordWriter records() { return RecordWriter(buffer_); }
  void committed();

  // Writes every buffered record to the file and closes it. Failures end the
  // run with a diagnostic.
  void close();

  // Everything written so far, for a report kept in memory.
  const std::string& contents() const { return buffer_; }

 private:
  void writeOut();
  std::string path_;
  std::string buffer_;
  int fd_ = -1;
  std::size_t onDisk_ = 0;  // bytes written to the file, whole records only
  bool open_ = false;
};

// R1: two empty lines, the date line, one empty line.
void writeDateHeading(Report& report, int32_t day, int32_t month, int32_t year);

// R2: detector title, hyphens, the data-set lines with the efficiencies at E(X).
struct DetectorHeading {
  int32_t KDET1;
  int32_t KDET;
  const Text32& DETTXT;
  const Text8& DSNAME;
  const Text8& DECMODE;
  float EX;
  float OMEGAK;
  float EPSTX;
  float EPSX;
};
void writeDetectorHeading(Report& report, const DetectorHeading& h);

// R3: the efficiency table, points 1 ... NEFF, then an empty line.
void writeEfficiencyTable(Report& report, const EffTable& EFF, int32_t NEFF);

// R4: the level heading and one row per level 1 ... NLEV.
void writeLevelList(Report& report, int32_t NLEV, const LevelVec& ELEV, const LevelVec& FEED,
                    const LevelVec& PK);

// R5: the heading of the transition table.
void writeTransitionHeading(Report& report);

// R6: the balance warning (once per data set) and one line per inconsistent level.
void writeBalanceWarning(Report& report);
void writeBalanceLevel(Report& report, int32_t level, float PIN, float POUT);

// R7: two empty lines after the balance check.
void writeSeparator(Report& report);

// R8: one transition row.
void writeTransitionRow(Report& report, int32_t J, int32_t I, float EGAM, float XIN, float ALPHA,
                        float ALPHAK, float EPSTG, float EPSG);

// R9: the heading of the results table.
void writeResultsHeading(Report& report);

// R10: one result row: line energy, relative count without summing, correction factor.
void writeResultRow(Report& report, float energy, float count, float factor);

}  // namespace tcsum
