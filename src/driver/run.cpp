#include "driver/run.hpp"

#include <ctime>
#include <memory>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "decay/decay.hpp"
#include "efficiency/curve.hpp"
#include "efficiency/eps.hpp"
#include "input/reader.hpp"
#include "summing/summing.hpp"

namespace tcsum {

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

namespace {

DetectorResult detectorOf(const Store& s) {
  DetectorResult d;
  d.KDET1 = s.KDET1;
  d.KDET = s.KDET;
  d.DETTXT = s.DETTXT;
  for (int32_t k = 1; k <= s.NEFF; ++k)
    d.table.push_back({s.EFF(1, k), s.EFF(2, k), s.EFF(3, k)});
  return d;
}

void takeHeader(const Store& s, DataSetResult& ds) {
  ds.DSNAME = s.DSNAME;
  ds.DECMODE = s.DECMODE;
  ds.electronCapture = isElectronCapture(s);
  ds.EX = s.EX;
  ds.OMEGAK = s.OMEGAK;
  ds.EPSTX = s.EPSTX;
  ds.EPSX = s.EPSX;
  ds.IDAY = s.IDAY;
  ds.IMONTH = s.IMONTH;
  ds.IYEAR = s.IYEAR;
}

void takeLevels(const Store& s, DataSetResult& ds) {
  for (int32_t j = 1; j <= s.NLEV; ++j)
    ds.levels.push_back({j, s.ELEV(j), s.FEED(j), s.PK(j), 0.0f});
}

// One data set after its header: the stages in order, each section of the
// report written as soon as its values are there. ASREAD, when given, gets a
// copy of the store with the data set read and nothing computed from it.
void computeDataSet(Store& s, DataFile& file, Report* report, DataSetResult& ds, Store* asRead) {
  clearDataSet(s);
  readLevels(file, s);
  checkCaptureLevels(s);
  takeLevels(s, ds);
  ds.reached = Stage::levels;
  if (report) writeLevels(*report, ds);

  readTransitions(file, s);
  checkDataSet(s, ds.warnings);
  if (asRead) *asRead = s;
  BALANCE(s, ds.balance);
  checkBalance(s, ds.balance, ds.warnings);
  if (report) writeBalance(*report, ds);
  ds.reached = Stage::transitions;
  try {
    TRANSITIONS(s, ds.transitions);
  } catch (const RunStop&) {
    if (report) writeTransitions(*report, ds);  // the rows before the fault
    throw;
  }
  if (report) writeTransitions(*report, ds);

  CASCADE(s);
  LINERATES(s);
  for (LevelResult& l : ds.levels)
    l.population = s.POP(l.number);
  CORRECT(s, ds.gammas, ds.xray);
  ds.reached = Stage::complete;
  if (report) writeResults(*report, ds);
}

}  // namespace

CalendarDate localDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

void run(Store& s, std::istream& data, const RunOutputs& out,
         const std::function<CalendarDate()>& today, const DataSetHook& afterDataSet) {
  DataFile file(data);
  readEfficiencyBlock(file, s);
  buildLogTable(s);
  DetectorResult detector = detectorOf(s);
  checkEfficiencyTable(s, detector.warnings);
  if (out.efficiencyCurve) detector.efficiencyCurve = efficiencyCurve(s);
  if (out.detector) out.detector(detector);
  std::unique_ptr<Store> asRead;
  if (out.analyse) asRead = std::make_unique<Store>();

  for (int32_t number = 1;; ++number) {
    s.EPSTX = 0.0f;
    s.EPSX = 0.0f;
    s.EPSG = 0.0f;
    s.EPSTG = 0.0f;
    readHeader(file, s);
    const CalendarDate date = today();
    s.IDAY = date.day;
    s.IMONTH = date.month;
    s.IYEAR = date.year;
    if (isEndMarker(s.DSNAME)) {
      std::vector<Warning> after;
      if (const int32_t record = file.firstNonBlankRecord(); record != 0)
        after.push_back(trailingRecords(record));
      if (out.finished) out.finished(after);
      return;
    }

    s.EPSTX = EPS(s, s.EX, 1);
    s.EPSX = EPS(s, s.EX, 2);

    DataSetResult ds;
    ds.number = number;
    takeHeader(s, ds);
    checkHeader(s, ds.warnings);
    try {
      if (out.report) {
        out.report->open();
        writeOpening(*out.report, detector, ds);
      }
      computeDataSet(s, file, out.report, ds, asRead.get());
      if (out.analyse) out.analyse(*asRead, ds);
    } catch (const RunStop&) {
      sortByRecord(ds.warnings);
      if (out.dataSet) out.dataSet(ds);
      throw;
    }
    sortByRecord(ds.warnings);
    if (out.dataSet) out.dataSet(ds);
    if (afterDataSet) afterDataSet(s);
  }
}

void run(Store& s, std::istream& data, Report& report, const std::function<CalendarDate()>& today,
         const DataSetHook& afterDataSet) {
  RunOutputs out;
  out.report = &report;
  run(s, data, out, today, afterDataSet);
}

}  // namespace tcsum
