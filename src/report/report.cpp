#include "report/report.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "core/destination.hpp"
#include "core/fatal.hpp"

namespace tcsum {

namespace {

// The process's file-creation mask, for a temporary file that mkstemp
// creates with mode 0600 and that becomes the report.
mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

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
  if (fd_ >= 0) {
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
  const Destination destination =
      (path_.empty() || path_ == "-") ? Destination{} : destinationOf(path_);
  if (path_ == "-") {
    fd_ = STDOUT_FILENO;
  } else if (destination.kind == Destination::Kind::stream) {
    // A device or pipe takes the records as they come: renaming over it
    // would destroy it.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) reportFault("cannot create report file", errno);
  } else if (!path_.empty() && existing_ == Existing::replace) {
    // A temporary file in the same folder as the file it replaces (a link
    // is followed, never replaced), so the final rename stays on one file
    // system and is atomic.
    if (destination.error != 0) reportFault("cannot create report file", destination.error);
    target_ = destination.path;
    temporary_ = target_ + ".XXXXXX";
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0) reportFault("cannot create report file", errno);
    ::fchmod(fd_, 0666 & ~currentUmask());
  } else if (!path_.empty()) {
    // Create-exclusive: an existing file, directory or link (even a dangling
    // one) makes the open fail without touching it.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      if (errno == EEXIST) reportFault("cannot overwrite existing file", 0);
      reportFault("cannot create report file", errno);
    }
  }
  open_ = true;
}

void Report::committed() {
  if (fd_ >= 0 && buffer_.size() >= kFlushBytes) writeOut();
}

void Report::append(std::string_view records) {
  // A large group goes to the file as it stands, without a copy.
  if (fd_ >= 0 && buffer_.empty() && records.size() >= kFlushBytes / 2) {
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
  std::size_t done = 0;
  while (done < records.size()) {
    ssize_t n = ::write(fd_, records.data() + done, records.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      // The file takes no more (disk full, size limit): cut it back to the
      // end of the last whole record, so no half record is left, and close
      // it, so the fault is reported once.
      std::size_t keep = 0;
      if (done > 0) {
        const std::size_t lastEnd = records.rfind('\n', done - 1);
        if (lastEnd != std::string::npos) keep = lastEnd + 1;
      }
      if (::ftruncate(fd_, static_cast<off_t>(onDisk_ + keep)) != 0) {
        // The write fault is the one to report; a failed cut changes nothing in it.
      }
      if (fd_ != STDOUT_FILENO) ::close(fd_);
      fd_ = -1;
      buffer_.clear();
      if (!temporary_.empty()) finish(false);
      reportFault("cannot write report", error);
    }
    done += static_cast<std::size_t>(n);
  }
  onDisk_ += records.size();
}

void Report::close(bool runEnded) {
  if (fd_ < 0) return;
  writeOut();
  int fd = fd_;
  fd_ = -1;
  if (fd == STDOUT_FILENO) return;
  if (::close(fd) != 0) {
    const int error = errno;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    reportFault("cannot write report", error);
  }
  if (!temporary_.empty()) finish(runEnded);
}

void Report::finish(bool runEnded) {
  const std::string temporary = std::exchange(temporary_, {});
  if (runEnded) {
    if (::rename(temporary.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      ::unlink(temporary.c_str());
      reportFault("cannot create report file", error);
    }
    return;
  }
  // A stopped run: its records go where no file is in the way (a hard link
  // fails on an existing name), else they are dropped and the old report
  // stays as it was.
  if (::link(temporary.c_str(), target_.c_str()) != 0) {
    // Nothing to report: the old report is intact, which is the point.
  }
  ::unlink(temporary.c_str());
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
