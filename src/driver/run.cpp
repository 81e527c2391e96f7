#include "driver/run.hpp"

#include <ctime>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "check/warnings.hpp"
#include "core/fatal.hpp"
#include "driver/ordered_pool.hpp"
#include "efficiency/curve.hpp"
#include "efficiency/eps.hpp"
#include "efficiency/table_efficiency.hpp"
#include "input/reader.hpp"

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

// A data set as read, ready to be computed: its result so far (the header
// with the efficiencies at E(X)), its records and the fault that stopped the
// reading inside it.
struct DataSetInput {
  DataSetResult result;
  RecordsRead records;
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

// The report written section by section as the stages finish, and the copy
// of the store as read that an analysis gets.
struct ReportSections final : DataSetObserver {
  Report* report;
  const DetectorResult& detector;
  Store* asRead;

  ReportSections(Report* r, const DetectorResult& d, Store* a) : report(r), detector(d), asRead(a) {}
  void opened(const DataSetResult& ds) override {
    if (report) writeOpening(*report, detector, ds);
  }
  void levelsDone(const DataSetResult& ds) override {
    if (report) writeLevels(*report, ds);
  }
  void read(const ModelWork& work, const DataSetResult&) override {
    if (!asRead) return;
    if (const auto* classic = dynamic_cast<const ClassicWork*>(&work)) *asRead = classic->store();
  }
  void balanceDone(const DataSetResult& ds) override {
    if (report) writeBalance(*report, ds);
  }
  void transitionsDone(const DataSetResult& ds) override {
    if (report) writeTransitions(*report, ds);
  }
  void resultsDone(const DataSetResult& ds) override {
    if (report) writeResults(*report, ds);
  }
};

// The work a model computes in: with the classic model a store that starts
// as a copy of BASE, the run's store after the efficiency block.
std::unique_ptr<ModelWork> workFor(const Model& model, const Store& base) {
  if (dynamic_cast<const ClassicModel*>(&model)) return ClassicWork::copyOf(base);
  return model.newWork();
}

// What a thread computing data sets needs besides the data set: the model,
// its work and the efficiency, the detector, the analysis of a complete data
// set with the store copy it reads, and the hook for tests.
struct Computing {
  const Model& model;
  std::unique_ptr<ModelWork> work;
  const Efficiency& efficiency;
  const DetectorResult& detector;
  const Analysis& analyse;
  const std::function<void(const DataSetResult&, PreparedTexts&)>& prepare;
  const DataSetHook& afterDataSet;
  std::unique_ptr<Store> asRead;  // only with an analysis
};

// Computes IN into OUT, with whatever ends it kept in OUT.
void compute(DataSetInput& in, Report* report, Computing& c, DataSetOutput& out) {
  out.result = std::move(in.result);
  for (std::string& text : out.prepared)
    text.clear();
  try {
    try {
      // The analysis reads the classic model's store.
      const bool analysed = c.analyse && c.asRead && dynamic_cast<ClassicWork*>(c.work.get());
      ReportSections sections(report, c.detector, analysed ? c.asRead.get() : nullptr);
      computeDataSet(c.model, *c.work, in.records, c.efficiency, out.result, {&sections});
      checkResults(out.result, in.records.header, in.records.transitionList, out.result.warnings);
      if (analysed) c.analyse(*c.asRead, out.result);
    } catch (const RunStop&) {
      sortByRecord(out.result.warnings);
      out.hasResult = true;
      throw;
    }
    sortByRecord(out.result.warnings);
    out.hasResult = true;
    if (c.afterDataSet) {
      if (const auto* classic = dynamic_cast<const ClassicWork*>(c.work.get()))
        c.afterDataSet(classic->store());
    }
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
  const Efficiency& efficiency;

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

    const EfficiencyPair x = efficiency.at(s.EX);
    s.EPSTX = static_cast<float>(x.total);
    s.EPSX = static_cast<float>(x.peak);
    in.result = {};
    in.result.number = number;
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
    RecordsRead& r = in.records;
    r.header = s.headerRecord;
    r.levelList.clear();
    r.transitionList.clear();
    r.fault = nullptr;
    try {
      r.faultAfter = Stage::header;
      readLevelRecords(file, r.levelList);
      r.faultAfter = Stage::levels;
      readTransitionRecords(file, r.transitionList);
    } catch (const RunStop&) {
      r.fault = std::current_exception();
    }
    return true;
  }
};

// Data sets in flight: read, computed by a worker, delivered in order.
struct Work {
  DataSetInput in;
  DataSetOutput out;
};

// A worker thread's own model work, and the report section it writes into
// when the run has a report (the records go out with the data set, in the
// memory of its Work).
struct Worker {
  Worker(Computing c, bool withReport) : computing(std::move(c)), withReport(withReport) {}
  Computing computing;
  bool withReport;
  Report section;  // kept in memory

  void operator()(Work& w) {
    w.out.section.clear();
    section.swapContents(w.out.section);
    w.out.hasResult = false;
    w.out.fault = nullptr;
    compute(w.in, withReport ? &section : nullptr, computing, w.out);
    section.swapContents(w.out.section);
  }
};

std::unique_ptr<Store> storeForAnalysis(const Analysis& analyse) {
  return analyse ? std::make_unique<Store>() : nullptr;
}

// What every thread computing data sets shares.
struct Setup {
  const Model& model;
  const DetectorResult& detector;
  const DataSetHook& afterDataSet;

  Computing computing(Reader& reader, std::unique_ptr<ModelWork> work) const {
    return {model,
            std::move(work),
            reader.efficiency,
            detector,
            reader.out.analyse,
            reader.out.prepare,
            afterDataSet,
            storeForAnalysis(reader.out.analyse)};
  }
};

void runInOrder(Reader& reader, const Setup& setup) {
  // The classic model computes in the run's store itself.
  std::unique_ptr<ModelWork> work;
  if (dynamic_cast<const ClassicModel*>(&setup.model)) {
    work = std::make_unique<ClassicWork>(reader.s);
  } else {
    work = setup.model.newWork();
  }
  Computing computing = setup.computing(reader, std::move(work));
  DataSetInput in;
  DataSetOutput done;  // kept, so its texts' memory serves the next data set
  for (int32_t number = 1; reader.next(number, in); ++number) {
    done.hasResult = false;
    done.fault = nullptr;
    compute(in, reader.out.report, computing, done);
    deliver(done, reader.out);
  }
}

void runInParallel(Reader& reader, const Setup& setup, int32_t jobs) {
  auto newWorker = [&] {
    auto worker = std::make_shared<Worker>(
        setup.computing(reader, workFor(setup.model, reader.s)), reader.out.report != nullptr);
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
    const bool lastRead = w.in.records.fault != nullptr;
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

  const TableEfficiency efficiency(s);
  const ClassicModel classic;
  const Setup setup{out.model ? *out.model : classic, detector, afterDataSet};
  Reader reader{file, s, today, out, efficiency};
  if (jobs <= 1) {
    runInOrder(reader, setup);
  } else {
    runInParallel(reader, setup, jobs);
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
