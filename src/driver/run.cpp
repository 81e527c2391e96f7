#include "driver/run.hpp"

#include <ctime>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "decay/decay.hpp"
#include "driver/ordered_pool.hpp"
#include "efficiency/curve.hpp"
#include "efficiency/eps.hpp"
#include "input/reader.hpp"
#include "summing/summing.hpp"

namespace tcsum {

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

// The other way: a data set's header into a store that computes it.
void storeHeader(const DataSetResult& ds, Store& s) {
  s.DSNAME = ds.DSNAME;
  s.DECMODE = ds.DECMODE;
  s.EX = ds.EX;
  s.OMEGAK = ds.OMEGAK;
  s.EPSTX = ds.EPSTX;
  s.EPSX = ds.EPSX;
  s.IDAY = ds.IDAY;
  s.IMONTH = ds.IMONTH;
  s.IYEAR = ds.IYEAR;
}

void takeLevels(const Store& s, DataSetResult& ds) {
  for (int32_t j = 1; j <= s.NLEV; ++j)
    ds.levels.push_back({j, s.ELEV(j), s.FEED(j), s.PK(j), 0.0f});
}

// A data set as read, ready to be computed: its result so far (the header
// with the efficiencies at E(X)), its level and transition records, and the
// fault that stopped the reading inside it, with the stage it came in.
struct DataSetInput {
  DataSetResult result;
  int32_t headerRecord = 0;
  std::vector<LevelRecord> levels;
  std::vector<TransitionRecord> transitions;
  std::exception_ptr fault;
  Stage faultAfter = Stage::header;  // header: reading the levels; levels: the transitions
};

using Analysis = std::function<void(const Store& asRead, DataSetResult& ds)>;

// A data set computed: its report section when it was made apart from the
// report, its result for the other outputs (none when a fault other than a
// run stop ended it), and the fault that ended it.
struct DataSetOutput {
  std::string section;
  DataSetResult result;
  PreparedTexts prepared;
  bool hasResult = false;
  std::exception_ptr fault;
};

// One data set after its header: the stages in order, each section of the
// report written as soon as its values are there. A fault met in reading is
// thrown where the reading would have met it. With ANALYSE, the analysis gets
// the store as it stood with the data set read and nothing computed from it
// (a copy in ASREAD) once the data set is complete.
void computeDataSet(Store& s, const DataSetInput& in, Report* report,
                    const DetectorResult& detector, DataSetResult& ds, const Analysis& analyse,
                    Store* asRead) {
  storeHeader(ds, s);
  s.headerRecord = in.headerRecord;
  s.EPSG = 0.0f;
  s.EPSTG = 0.0f;
  if (report) writeOpening(*report, detector, ds);

  clearDataSet(s);
  storeLevels(in.levels, s);
  if (in.fault && in.faultAfter == Stage::header) std::rethrow_exception(in.fault);
  checkCaptureLevels(s);
  takeLevels(s, ds);
  ds.reached = Stage::levels;
  if (report) writeLevels(*report, ds);

  storeTransitions(in.transitions, s);
  if (in.fault) std::rethrow_exception(in.fault);
  // The store holds the data set as read.
  checkDataSet(s, ds.warnings);
  if (analyse) *asRead = s;
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
  if (analyse) analyse(*asRead, ds);
}

// What a store computing data sets needs besides the data set: the
// detector, the analysis of a complete data set with the store copy it
// reads, and the hook for tests.
struct Computing {
  const DetectorResult& detector;
  const Analysis& analyse;
  const std::function<void(const DataSetResult&, PreparedTexts&)>& prepare;
  const DataSetHook& afterDataSet;
  std::unique_ptr<Store> asRead;  // only with an analysis
};

// Computes IN into OUT, with whatever ends it kept in OUT.
void compute(Store& s, DataSetInput& in, Report* report, Computing& c, DataSetOutput& out) {
  out.result = std::move(in.result);
  for (std::string& text : out.prepared)
    text.clear();
  try {
    try {
      computeDataSet(s, in, report, c.detector, out.result, c.analyse, c.asRead.get());
    } catch (const RunStop&) {
      sortByRecord(out.result.warnings);
      out.hasResult = true;
      throw;
    }
    sortByRecord(out.result.warnings);
    out.hasResult = true;
    if (c.afterDataSet) c.afterDataSet(s);
  } catch (...) {
    out.fault = std::current_exception();
  }
  if (out.hasResult && c.prepare) {
    try {
      c.prepare(out.result, out.prepared);
    } catch (...) {
      // Made ahead only to save time: the outputs make the texts themselves
      // when the data set is delivered, and meet the fault there, if again.
      out.prepared.clear();
    }
  }
}

// Hands a computed data set to the outputs; a fault that ended it ends the run.
void deliver(DataSetOutput& done, const RunOutputs& out) {
  if (out.report && !done.section.empty()) {
    try {
      out.report->append(done.section);
    } catch (const RunStop&) {
      if (out.dataSet && done.hasResult) out.dataSet(done.result, done.prepared);
      throw;
    }
  }
  if (out.dataSet && done.hasResult) out.dataSet(done.result, done.prepared);
  if (done.fault) std::rethrow_exception(done.fault);
}

// The reading side of the run: the data file, the store the headers are read
// into, and the date.
struct Reader {
  DataFile& file;
  Store& s;
  const std::function<CalendarDate()>& today;
  const RunOutputs& out;

  // Reads data set NUMBER into IN; false at the end marker. A fault in the
  // header or at the efficiencies at E(X) is thrown, one later is kept in
  // IN. The report is opened once the first header is there.
  bool next(int32_t number, DataSetInput& in) {
    s.EPSTX = 0.0f;
    s.EPSX = 0.0f;
    s.EPSG = 0.0f;
    s.EPSTG = 0.0f;
    readHeader(file, s);
    const CalendarDate date = today();
    s.IDAY = date.day;
    s.IMONTH = date.month;
    s.IYEAR = date.year;
    if (isEndMarker(s.DSNAME)) return false;

    s.EPSTX = EPS(s, s.EX, 1);
    s.EPSX = EPS(s, s.EX, 2);
    in.result = {};
    in.result.number = number;
    in.headerRecord = s.headerRecord;
    takeHeader(s, in.result);
    checkHeader(s, in.result.warnings);
    if (out.report) {
      try {
        out.report->open();
      } catch (const RunStop&) {
        if (out.dataSet) out.dataSet(in.result, {});
        throw;
      }
    }
    in.levels.clear();
    in.transitions.clear();
    in.fault = nullptr;
    try {
      in.faultAfter = Stage::header;
      readLevelRecords(file, in.levels);
      in.faultAfter = Stage::levels;
      readTransitionRecords(file, in.transitions);
    } catch (const RunStop&) {
      in.fault = std::current_exception();
    }
    return true;
  }
};

// Data sets in flight: read, computed by a worker, delivered in order.
struct Work {
  DataSetInput in;
  DataSetOutput out;
};

// A worker thread's own store, and the report section it writes into when
// the run has a report (the records go out with the data set, in the memory
// of its Work).
struct Worker {
  Worker(const Store& base, Computing c, bool withReport)
      : s(std::make_unique<Store>(base)), computing(std::move(c)), withReport(withReport) {}
  std::unique_ptr<Store> s;
  Computing computing;
  bool withReport;
  Report section;  // kept in memory

  void operator()(Work& w) {
    w.out.section.clear();
    section.swapContents(w.out.section);
    w.out.hasResult = false;
    w.out.fault = nullptr;
    compute(*s, w.in, withReport ? &section : nullptr, computing, w.out);
    section.swapContents(w.out.section);
  }
};

std::unique_ptr<Store> storeForAnalysis(const Analysis& analyse) {
  return analyse ? std::make_unique<Store>() : nullptr;
}

void runInOrder(Reader& reader, const DetectorResult& detector, const DataSetHook& afterDataSet) {
  Computing computing{detector, reader.out.analyse, reader.out.prepare, afterDataSet,
                      storeForAnalysis(reader.out.analyse)};
  DataSetInput in;
  DataSetOutput done;  // kept, so its texts' memory serves the next data set
  for (int32_t number = 1; reader.next(number, in); ++number) {
    done.hasResult = false;
    done.fault = nullptr;
    compute(reader.s, in, reader.out.report, computing, done);
    deliver(done, reader.out);
  }
}

void runInParallel(Reader& reader, const DetectorResult& detector, const DataSetHook& afterDataSet,
                   int32_t jobs) {
  auto newWorker = [&] {
    auto worker = std::make_shared<Worker>(
        reader.s,
        Computing{detector, reader.out.analyse, reader.out.prepare, afterDataSet,
                  storeForAnalysis(reader.out.analyse)},
        reader.out.report != nullptr);
    return OrderedPool<Work>::Worker([worker](Work& w) { (*worker)(w); });
  };
  // The reading thread is one of the jobs: it computes data sets too while
  // it waits for the oldest to be done.
  OrderedPool<Work>::Worker own = newWorker();
  std::vector<OrderedPool<Work>::Worker> workers;
  for (int32_t k = 1; k < jobs; ++k)
    workers.push_back(newWorker());
  // Three data sets per job: enough read ahead that no worker waits while the
  // reading thread computes one.
  OrderedPool<Work> pool(std::move(workers), 3 * static_cast<std::size_t>(jobs));
  auto deliverOldest = [&] {
    deliver(pool.oldest(&own).out, reader.out);
    pool.release();
  };
  for (int32_t number = 1;; ++number) {
    if (pool.full()) deliverOldest();
    Work& w = pool.next();
    bool more = false;
    try {
      more = reader.next(number, w.in);
    } catch (...) {
      // Comes after every data set before it.
      while (!pool.empty())
        deliverOldest();
      throw;
    }
    if (!more) break;
    const bool lastRead = w.in.fault != nullptr;
    pool.handOver();
    while (!pool.empty() && pool.oldestDone())
      deliverOldest();
    if (lastRead) break;
  }
  while (!pool.empty())
    deliverOldest();
}

}  // namespace

CalendarDate localDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

void run(Store& s, std::istream& data, const RunOutputs& out,
         const std::function<CalendarDate()>& today, const DataSetHook& afterDataSet,
         int32_t jobs) {
  DataFile file(data);
  readEfficiencyBlock(file, s);
  buildLogTable(s);
  DetectorResult detector = detectorOf(s);
  checkEfficiencyTable(s, detector.warnings);
  if (out.efficiencyCurve) detector.efficiencyCurve = efficiencyCurve(s);
  if (out.detector) out.detector(detector);

  Reader reader{file, s, today, out};
  if (jobs <= 1) {
    runInOrder(reader, detector, afterDataSet);
  } else {
    runInParallel(reader, detector, afterDataSet, jobs);
  }
  // The end marker: what follows it is not read.
  std::vector<Warning> after;
  if (const int32_t record = file.firstNonBlankRecord(); record != 0)
    after.push_back(trailingRecords(record));
  if (out.finished) out.finished(after);
}

void run(Store& s, std::istream& data, Report& report, const std::function<CalendarDate()>& today,
         const DataSetHook& afterDataSet, int32_t jobs) {
  RunOutputs out;
  out.report = &report;
  run(s, data, out, today, afterDataSet, jobs);
}

}  // namespace tcsum
