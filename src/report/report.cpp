#include "report/report.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "driver/fatal.hpp"

namespace tcsum {

namespace {

// Records are written to disk once this much is buffered.
constexpr std::size_t kFlushBytes = 1 << 16;

[[noreturn]] void reportFault(const char* message, int error) {
  std::string diagnostic =
      std::string(message) + ", unit " + std::to_string(kReportUnit) + ", file " + kReportFile;
  if (error != 0) diagnostic += std::string(": ") + std::strerror(error);
  fatal(diagnostic);
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
      close();
    } catch (const RunStop&) {
      // A destructor cannot report; close() is called explicitly on every
      // path that can.
    }
  }
}

void Report::open() {
  if (open_) return;
  if (!path_.empty()) {
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

void Report::writeOut() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      // The file takes no more (disk full, size limit): cut it back to the
      // end of the last whole record, so no half record is left, and close
      // it, so the fault is reported once.
      std::size_t keep = 0;
      if (done > 0) {
        const std::size_t lastEnd = buffer_.rfind('\n', done - 1);
        if (lastEnd != std::string::npos) keep = lastEnd + 1;
      }
      if (::ftruncate(fd_, static_cast<off_t>(onDisk_ + keep)) != 0) {
        // The write fault is the one to report; a failed cut changes nothing in it.
      }
      ::close(fd_);
      fd_ = -1;
      buffer_.clear();
      reportFault("cannot write report", error);
    }
    done += static_cast<std::size_t>(n);
  }
  onDisk_ += buffer_.size();
  buffer_.clear();
}

void Report::close() {
  if (fd_ < 0) return;
  writeOut();
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) reportFault("cannot write report", errno);
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

void writeDetectorHeading(Report& report, const DetectorHeading& h) {
  report.records()
      .X(9)
      .text("SUMMATIONSKORREKTIONEN FUER DETEKTOR G ")
      .I(1, h.KDET1)
      .I(1, h.KDET)
      .X(40)
      .A(chars(h.DETTXT))
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

void writeEfficiencyTable(Report& report, const EffTable& EFF, int32_t NEFF) {
  RecordWriter r = report.records();
  r.X(10).text(" WERTE FUER NACHWEISWAHRSCHEINLICHKEITEN(*10**3):").end().end();
  r.X(17).text("E       EPST      EPS").end().end();
  for (int32_t k = 1; k <= NEFF; ++k) {
    r.X(10).F(10, 1, EFF(1, k)).F(10, 3, EFF(2, k)).F(10, 3, EFF(3, k)).end();
  }
  r.end();
  report.committed();
}

void writeLevelList(Report& report, int32_t NLEV, const LevelVec& ELEV, const LevelVec& FEED,
                    const LevelVec& PK) {
  RecordWriter r = report.records();
  r.end().end().X(10).text("ENERGIENIVEAUS(KEV)").end().end();
  for (int32_t j = 1; j <= NLEV; ++j) {
    r.X(18).I(2, j).F(16, 2, ELEV(j)).F(16, 5, FEED(j)).text(" %").F(16, 5, PK(j)).end();
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

void writeTransitionRow(Report& report, int32_t J, int32_t I, float EGAM, float XIN, float ALPHA,
                        float ALPHAK, float EPSTG, float EPSG) {
  report.records()
      .X(10)
      .I(4, J)
      .text(" -> ")
      .I(2, I)
      .F(15, 3, EGAM)
      .F(19, 6, XIN)
      .F(19, 6, ALPHA)
      .F(19, 6, ALPHAK)
      .X(3)
      .E(12, 3, EPSTG)
      .E(12, 3, EPSG)
      .end();
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
  report.records().X(20).F(15, 3, energy).F(19, 4, count).F(19, 4, factor).end();
  report.committed();
}

}  // namespace tcsum
