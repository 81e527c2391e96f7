#include "report/report.hpp"

#include <cstring>
#include <string_view>
#include <utility>

#include "core/fatal.hpp"

namespace tcsum {

namespace {

// Records are written to disk once this much is buffered.
constexpr std::size_t kFlushBytes = 1 << 16;

[[noreturn]] void reportFault(const char* message, int error) {
  fatal({message, kReportUnit, error != 0 ? std::strerror(error) : ""});
}

std::string_view chars(const Text8& t) {
  return {t.data(), t.size()};
}
std::string_view chars(const Text32& t) {
  return {t.data(), t.size()};
}

}  // namespace

Report::~Report() {
  if (file_) {
    try {
      close(false);
    } catch (const RunStop&) {
      // A destructor cannot report; close() is called explicitly on every
      // path that can.
    }
  }
}

void Report::open() {
  if (open_) return;
  if (!path_.empty()) {
    // Without --force the report is created in place, so a stopped run
    // leaves its records on disk; with it, written beside the file it
    // replaces and put there when the run ends.
    const SafeFile::Mode mode = existing_ == Existing::replace ? SafeFile::Mode::besideReplace
                                                               : SafeFile::Mode::inPlace;
    try {
      file_.emplace(path_, mode);
    } catch (const SafeFile::Fault& fault) {
      if (fault.error == 0) reportFault("cannot overwrite existing file", 0);
      reportFault("cannot create report file", fault.error);
    }
  }
  open_ = true;
}

void Report::committed() {
  if (file_ && buffer_.size() >= kFlushBytes) writeOut();
}

void Report::append(std::string_view records) {
  // A large group goes to the file as it stands, without a copy.
  if (file_ && buffer_.empty() && records.size() >= kFlushBytes / 2) {
    writeOut(records);
    return;
  }
  buffer_ += records;
  committed();
}

void Report::writeOut() {
  writeOut(buffer_);
  buffer_.clear();
}

void Report::writeOut(std::string_view records) {
  try {
    file_->write(records);
  } catch (const SafeFile::Fault& fault) {
    // The file takes no more (disk full, size limit): cut it back to the
    // end of the last whole record, so no half record is left, and close
    // it, so the fault is reported once.
    std::size_t keep = 0;
    if (fault.written > 0) {
      const std::size_t lastEnd = records.rfind('\n', fault.written - 1);
      if (lastEnd != std::string::npos) keep = lastEnd + 1;
    }
    file_->abandon(onDisk_ + keep);
    file_.reset();
    buffer_.clear();
    reportFault("cannot write report", fault.error);
  }
  onDisk_ += records.size();
}

void Report::close(bool runEnded) {
  if (!file_) return;
  writeOut();
  using Step = SafeFile::Fault::Step;
  try {
    file_->commit(runEnded);
  } catch (const SafeFile::Fault& fault) {
    file_.reset();
    // After a stopped run the records go only where no file is in the way;
    // that they could not is no fault: the old report is intact.
    if (fault.step == Step::place && !runEnded) return;
    reportFault(fault.step == Step::write ? "cannot write report" : "cannot create report file",
                fault.error);
  }
  file_.reset();
}

void writeDateHeading(Report& report, int32_t day, int32_t month, int32_t year) {
  report.records()
      .end()
      .end()
      .X(107)
      .text("Rechendatum: ")
      .I(2, day)
      .text(".")
      .I(2, month)
      .text(".")
      .I(4, year)
      .end()
      .end();
  report.committed();
}

void writeDetectorHeading(Report& report, const DetectorResult& d, const DataSetResult& h) {
  report.records()
      .X(9)
      .text("SUMMATIONSKORREKTIONEN FUER DETEKTOR G ")
      .I(1, d.KDET1)
      .I(1, d.KDET)
      .X(40)
      .A(chars(d.DETTXT))
      .end()
      .X(9)
      .text(std::string(41, '-'))
      .end()
      .end()
      .X(10)
      .A(chars(h.DSNAME))
      .X(5)
      .A(chars(h.DECMODE))
      .X(5)
      .text("E(X)=")
      .F(7, 3, h.EX)
      .X(4)
      .text("OMEGAK=")
      .F(5, 3, h.OMEGAK)
      .X(4)
      .X(4)
      .text("EPST(E(X))=")
      .E(10, 2, h.EPSTX)
      .end()
      .X(72)
      .text("EPS(E(X)) =")
      .E(10, 2, h.EPSX)
      .X(30)
      .A(chars(h.DSNAME))
      .end()
      .end()
      .end();
  report.committed();
}

void writeEfficiencyTable(Report& report, const std::vector<EfficiencyPoint>& table) {
  {
    RecordWriter r = report.records();
    r.X(10).text(" WERTE FUER NACHWEISWAHRSCHEINLICHKEITEN(*10**3):").end().end();
    r.X(17).text("E       EPST      EPS").end().end();
    for (const EfficiencyPoint& p : table)
      r.X(10).F(10, 1, p.energy).F(10, 3, p.total).F(10, 3, p.peak).end();
    r.end();
  }
  report.committed();
}

void writeLevelList(Report& report, const std::vector<LevelResult>& levels) {
  {
    RecordWriter r = report.records();
    r.end().end().X(10).text("ENERGIENIVEAUS(KEV)").end().end();
    for (const LevelResult& l : levels)
      r.X(18).I(2, l.number).F(16, 2, l.energy).F(16, 5, l.feeding).text(" %").F(16, 5, l.PK).end();
  }
  report.committed();
}

void writeTransitionHeading(Report& report) {
  report.records()
      .end()
      .end()
      .X(11)
      .text("UEBERGANG")
      .X(6)
      .text("ENERGIE(KEV)")
      .X(2)
      .text("INTENSITAET(%)")
      .X(11)
      .text("ALPHA")
      .X(13)
      .text("ALPHAK")
      .X(10)
      .text("EPST")
      .X(10)
      .text("EPS")
      .end()
      .end();
  report.committed();
}

void writeBalanceWarning(Report& report) {
  report.records().end().X(5).text("WARNUNG!    Zerfallsdaten inkonsistent.").end().end();
  report.committed();
}

void writeBalanceLevel(Report& report, int32_t level, float PIN, float POUT) {
  // "ö" is the single byte 148 (code pages 437 and 850).
  report.records()
      .X(10)
      .text("Niveau")
      .I(3, level)
      .text(" wird mit")
      .F(7, 2, PIN)
      .text(
          " % bev\x94"
          "lkert und mit")
      .F(7, 2, POUT)
      .text(
          " % entv\x94"
          "lkert")
      .end();
  report.committed();
}

void writeSeparator(Report& report) {
  report.records().end().end();
  report.committed();
}

namespace {

void transitionRow(RecordWriter& records, const TransitionResult& t) {
  records.X(10)
      .I(4, t.upper)
      .text(" -> ")
      .I(2, t.lower)
      .F(15, 3, t.energy)
      .F(19, 6, t.intensity)
      .F(19, 6, t.ALPHA)
      .F(19, 6, t.ALPHAK)
      .X(3)
      .E(12, 3, t.EPSTG)
      .E(12, 3, t.EPSG)
      .end();
}

void resultRow(RecordWriter& records, float energy, float count, float factor) {
  records.X(20).F(15, 3, energy).F(19, 4, count).F(19, 4, factor).end();
}

}  // namespace

void writeTransitionRow(Report& report, const TransitionResult& t) {
  {
    RecordWriter records = report.records();
    transitionRow(records, t);
  }
  report.committed();
}

void writeResultsHeading(Report& report) {
  report.records()
      .end()
      .end()
      .end()
      .X(43)
      .text("REL. IMPULSANZ.")
      .X(5)
      .text("KORR.FAKTOR")
      .end()
      .end();
  report.committed();
}

void writeResultRow(Report& report, float energy, float count, float factor) {
  {
    RecordWriter records = report.records();
    resultRow(records, energy, count, factor);
  }
  report.committed();
}

void writeOpening(Report& report, const DetectorResult& d, const DataSetResult& ds) {
  writeDateHeading(report, ds.IDAY, ds.IMONTH, ds.IYEAR);
  writeDetectorHeading(report, d, ds);
  writeEfficiencyTable(report, d.table);
}

void writeLevels(Report& report, const DataSetResult& ds) {
  writeLevelList(report, ds.levels);
  writeTransitionHeading(report);
}

void writeBalance(Report& report, const DataSetResult& ds) {
  if (!ds.balance.empty()) writeBalanceWarning(report);
  for (const BalanceFinding& f : ds.balance)
    writeBalanceLevel(report, f.level, f.PIN, f.POUT);
  writeSeparator(report);
}

void writeTransitions(Report& report, const DataSetResult& ds, std::size_t from) {
  {
    RecordWriter records = report.records();
    for (std::size_t k = from; k < ds.transitions.size(); ++k)
      transitionRow(records, ds.transitions[k]);
  }
  report.committed();
}

void writeResults(Report& report, const DataSetResult& ds) {
  writeResultsHeading(report);
  {
    RecordWriter records = report.records();
    for (const GammaLine& g : ds.gammas)
      resultRow(records, g.energy, g.RATE0, g.KORR);
    if (ds.xray) resultRow(records, ds.xray->energy, ds.xray->RATE0, ds.xray->KORR);
  }
  report.committed();
}

}  // namespace tcsum
