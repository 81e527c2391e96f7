#include "driver/run.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>

#include "decay/decay.hpp"
#include "driver/fatal.hpp"
#include "efficiency/eps.hpp"
#include "input/reader.hpp"
#include "summing/summing.hpp"

namespace tcsum {

namespace {

// The arrays that start every data set at zero. ELEV, FEED, PK and EGAM are
// overwritten by the reads and only used where XTR is set. Entries 34 ... 60
// of the sub-level arrays are not cleared: every electron-capture data set
// sets the same pattern of them (the capture and transition steps of its own
// levels) before reading them, and the others are never set, so stay 0.
void clearDataSet(Store& s) {
  for (int32_t I = 1; I <= kLevels; ++I) {
    s.NBELOW(I) = 0.0f;
    s.NABOVE(I) = 0.0f;
    s.POP(I) = 0.0f;
    s.XFEED(I) = 0.0f;
    s.XPOP(I) = 0.0f;
    s.ECRATE0(I) = 0.0f;
    s.ECRATE(I) = 0.0f;
    for (int32_t K = 1; K <= kLevels; ++K) {
      s.ALPHA(I, K) = 0.0f;
      s.ALPHAK(I, K) = 0.0f;
      s.SUMPK(I, K) = 0.0f;
      s.BPEAK(I, K) = 0.0f;
      s.DMISS(I, K) = 0.0f;
      s.XTRANS(I, K) = 0.0f;
      s.RATE(I, K) = 0.0f;
      s.RATE0(I, K) = 0.0f;
      s.XRATE(I, K) = 0.0f;
      s.XRATE0(I, K) = 0.0f;
      s.XTR(I, K) = 0.0f;
    }
  }
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

}  // namespace

CalendarDate localDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

void run(Store& s, std::istream& data, Report& report, const std::function<CalendarDate()>& today,
         const DataSetHook& afterDataSet) {
  DataFile file(data);
  readEfficiencyBlock(file, s);
  buildLogTable(s);

  for (;;) {
    s.EPSTX = 0.0f;
    s.EPSX = 0.0f;
    s.EPSG = 0.0f;
    s.EPSTG = 0.0f;
    readHeader(file, s);
    const CalendarDate date = today();
    s.IDAY = date.day;
    s.IMONTH = date.month;
    s.IYEAR = date.year;
    if (isEndMarker(s.DSNAME)) return;

    s.EPSTX = EPS(s, s.EX, 1);
    s.EPSX = EPS(s, s.EX, 2);
    clearDataSet(s);

    report.open();
    writeDateHeading(report, s.IDAY, s.IMONTH, s.IYEAR);
    writeDetectorHeading(
        report, {s.KDET1, s.KDET, s.DETTXT, s.DSNAME, s.DECMODE, s.EX, s.OMEGAK, s.EPSTX, s.EPSX});
    writeEfficiencyTable(report, s.EFF, s.NEFF);

    readLevels(file, s);
    checkCaptureLevels(s);
    writeLevelList(report, s.NLEV, s.ELEV, s.FEED, s.PK);

    writeTransitionHeading(report);
    readTransitions(file, s);

    BALANCE(s, report);
    TRANSITIONS(s, report);

    writeResultsHeading(report);
    CASCADE(s);
    LINERATES(s);
    CORRECT(s, report);

    if (afterDataSet) afterDataSet(s);
  }
}

int runProgram() {
  // The store is large (some 100 KB); it lives on the heap for the run.
  auto store = std::make_unique<Store>();
  Report report(kReportFile);
  try {
    // A missing data file is created empty; the first read then finds its end.
    const int fd = ::open(kDataFile, O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    const int error = (fd < 0) ? errno : 0;
    if (fd >= 0) ::close(fd);
    std::ifstream data(kDataFile, std::ios::binary);
    if (fd < 0 || !data) {
      fatal(std::string("cannot open data file, unit ") + std::to_string(kDataUnit) + ", file " +
            kDataFile + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
    }
    run(*store, data, report);
    report.close();
    return 0;
  } catch (const std::exception& failure) {
    // A run stopped by a fault carries its diagnostic; anything else (such as
    // running out of memory) is said in one line too. Either way the records
    // written so far go to disk.
    if (dynamic_cast<const RunStop*>(&failure) == nullptr) std::cerr << "run stopped: ";
    std::cerr << failure.what() << '\n';
    try {
      report.close();
    } catch (const RunStop& second) {
      std::cerr << second.what() << '\n';
    }
    return kExitRunStopped;
  }
}

}  // namespace tcsum
