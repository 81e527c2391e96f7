#include "uncertainty/propagation.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "decay/decay.hpp"
#include "efficiency/eps.hpp"
#include "efficiency/table_efficiency.hpp"
#include "model/classic.hpp"
#include "uncertainty/sampling.hpp"

namespace tcsum {

namespace {

constexpr int64_t kSampleBlock = 64;  // samples a thread takes at a time
constexpr float kStepUp = 1.01f;      // efficiency scales of the central differences
constexpr float kStepDown = 0.99f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A line as every model names it among its lines: its kind and, for a gamma
// line, its transition (the levels as indexes of the scheme, from 0).
struct LineKey {
  LineKind kind;
  int32_t upper;
  int32_t lower;
};

// The lines of DS that get an uncertainty: its gamma lines, then its K x-ray
// line, in the order of the results table.
std::vector<LineKey> keysOf(const DataSetResult& ds) {
  std::vector<LineKey> keys;
  for (const GammaLine& g : ds.gammas)
    keys.push_back({LineKind::gamma, g.upper - 1, g.lower - 1});
  if (ds.xray) keys.push_back({LineKind::kxray, -1, -1});
  return keys;
}

// The factors of F's model-neutral lines in the order of KEYS, NaN for a
// line F lacks. Every computation with one model lists its lines in the
// same order; a float model's factors are its floats exactly.
void collect(const DataSetResult& f, const std::vector<LineKey>& keys, float* out) {
  std::size_t next = 0;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const LineKey key = keys[k];
    std::size_t j = next;
    while (j < f.lines.size() && (f.lines[j].kind != key.kind || f.lines[j].upper != key.upper ||
                                  f.lines[j].lower != key.lower))
      ++j;
    if (j == f.lines.size()) {
      out[k] = kNaN;
      continue;
    }
    out[k] = static_cast<float>(f.lines[j].factor);
    next = j + 1;
  }
}

// Scale factors of the efficiencies for sample SAMPLE: the total
// efficiencies first, then the peak efficiencies, each one factor for all
// POINTS or one per point, each rounded to float as the table is. The draws
// do not depend on the uncertainties, so one curve's factors stay the same
// when only the other's uncertainty changes.
void drawSample(const UncertaintySettings& u, uint64_t sample, std::vector<double>& total,
                std::vector<double>& peak) {
  SampleStream stream(u.seed, sample);
  const double uTotal = static_cast<double>(u.uTotalPercent) / 100.0;
  const double uPeak = static_cast<double>(u.uPeakPercent) / 100.0;
  auto factor = [&stream](double uncertainty) {
    return static_cast<double>(static_cast<float>(logNormalFactor(uncertainty, stream.normal())));
  };
  if (u.correlation == EfficiencyCorrelation::full) {
    std::fill(total.begin(), total.end(), factor(uTotal));
    std::fill(peak.begin(), peak.end(), factor(uPeak));
  } else {
    for (double& f : total)
      f = factor(uTotal);
    for (double& f : peak)
      f = factor(uPeak);
  }
}

// Runs WORK(begin, end, thread) over 0 ... COUNT - 1 in blocks of BLOCK on
// THREADS threads, the calling thread one of them, which reports the count
// done to PROGRESS after each of its blocks. The first exception of any
// thread is thrown again once all have stopped.
template <typename Work>
void inParallel(int64_t count, int64_t block, unsigned threads, Work work,
                const std::function<void(int64_t)>& progress = {}) {
  std::atomic<int64_t> next{0};
  std::atomic<int64_t> done{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto loop = [&](unsigned thread) {
    try {
      while (!failed.load()) {
        const int64_t begin = next.fetch_add(block);
        if (begin >= count) break;
        const int64_t end = std::min(begin + block, count);
        work(begin, end, thread);
        const int64_t total = done.fetch_add(end - begin) + (end - begin);
        if (thread == 0 && progress) progress(total);
      }
    } catch (...) {
      std::lock_guard<std::mutex> hold(failureLock);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threads; ++t)
    helpers.emplace_back(loop, t);
  loop(0);
  for (std::thread& helper : helpers)
    helper.join();
  if (failure) std::rethrow_exception(failure);
}

// What the computations of one data set share: the model, the data set
// as read and its efficiency without uncertainty.
struct Nominal {
  const Model& model;
  const RecordsRead& records;
  const DataSetResult& header;
  const Efficiency& efficiency;
};

// A thread's work: the model's, the records and a result of its own.
struct Worker {
  explicit Worker(const Nominal& n)
      : work(n.model.newWork()), records(n.records), result(n.header) {
    work->sameEnergies = true;
  }
  std::unique_ptr<ModelWork> work;
  RecordsRead records;
  DataSetResult result;
  std::vector<double> total;
  std::vector<double> peak;

  // The data set computed with EFFICIENCY, its factors into OUT in the order of KEYS.
  void factors(const Nominal& n, const Efficiency& efficiency, const std::vector<LineKey>& keys,
               float* out) {
    computeDataSet(n.model, *work, records, efficiency, result, {nullptr, false});
    collect(result, keys, out);
  }
};

enum class Curve { total, peak };

// The factors with the efficiencies of one curve scaled by SCALE throughout.
void factorsScaled(const Nominal& n, Worker& w, Curve curve, float scale,
                   const std::vector<LineKey>& keys, float* out) {
  const std::size_t points = n.efficiency.points();
  w.total.assign(points, curve == Curve::total ? static_cast<double>(scale) : 1.0);
  w.peak.assign(points, curve == Curve::peak ? static_cast<double>(scale) : 1.0);
  w.factors(n, *n.efficiency.scaled(w.total, w.peak), keys, out);
}

// Relative change of every factor per relative change of the efficiencies
// of one curve, by central differences around the nominal factors.
std::vector<float> sensitivities(const Nominal& n, Worker& w, Curve curve,
                                 const std::vector<LineKey>& keys,
                                 const std::vector<float>& nominal) {
  std::vector<float> up(keys.size());
  std::vector<float> down(keys.size());
  factorsScaled(n, w, curve, kStepUp, keys, up.data());
  factorsScaled(n, w, curve, kStepDown, keys, down.data());
  const double step = static_cast<double>(kStepUp) - static_cast<double>(kStepDown);
  std::vector<float> result(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    result[k] = static_cast<float>((static_cast<double>(up[k]) - static_cast<double>(down[k])) /
                                   (step * static_cast<double>(nominal[k])));
  }
  return result;
}

// The header of DS alone, for the results of its recomputations.
DataSetResult headerOf(const DataSetResult& ds) {
  DataSetResult h;
  static_cast<DataSetHeader&>(h) = ds;
  h.number = ds.number;
  h.electronCapture = ds.electronCapture;
  return h;
}

}  // namespace

void recomputeFactors(Store& s, Factors& out, const RecomputePlan* plan) {
  RecordsRead records;
  recordsOf(s, records);
  DataSetResult ds;
  takeHeader(s, ds);
  const TableEfficiency efficiency(s);
  ClassicWork work(s);
  work.stencils = plan ? &plan->transitions : nullptr;
  computeDataSet(ClassicModel(), work, records, efficiency, ds, {nullptr, false});
  out.rows = std::move(ds.transitions);
  out.gammas = std::move(ds.gammas);
  out.xray = std::move(ds.xray);
}

void propagateEfficiencyUncertainty(const Store& asRead, DataSetResult& ds,
                                    const UncertaintyOptions& options) {
  RecordsRead records;
  recordsOf(asRead, records);
  DataSetResult header;
  takeHeader(asRead, header);
  propagateEfficiencyUncertainty(ClassicModel(), records, header, TableEfficiency(asRead), ds,
                                 options);
}

void propagateEfficiencyUncertainty(const Model& model, const RecordsRead& records,
                                    const DataSetResult& header, const Efficiency& efficiency,
                                    DataSetResult& ds, const UncertaintyOptions& options) {
  const UncertaintySettings& u = options.settings;
  ds.uncertainty = u;
  const std::vector<LineKey> keys = keysOf(ds);
  const std::size_t lines = keys.size();
  const int64_t samples = std::max<int64_t>(u.samples, 0);
  if (lines == 0 || samples == 0) return;

  const int64_t blocks = (samples + kSampleBlock - 1) / kSampleBlock;
  const unsigned threads = static_cast<unsigned>(std::clamp<int64_t>(options.threads, 1, blocks));
  // Every computation scales the efficiencies alone: what the model takes
  // from the energies is the same for all.
  const DataSetResult start = headerOf(header);
  const Nominal n{model, records, start, efficiency};
  std::vector<Worker> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back(n);

  std::vector<float> nominal;
  for (const GammaLine& g : ds.gammas)
    nominal.push_back(g.KORR);
  if (ds.xray) nominal.push_back(ds.xray->KORR);
  const std::vector<float> sensitivityTotal =
      sensitivities(n, workers[0], Curve::total, keys, nominal);
  const std::vector<float> sensitivityPeak =
      sensitivities(n, workers[0], Curve::peak, keys, nominal);

  // The factors of every sample, one row of LINES per sample.
  std::vector<float> values(static_cast<std::size_t>(samples) * lines);
  if (options.progress) options.progress(0, samples);
  inParallel(
      samples, kSampleBlock, threads,
      [&](int64_t begin, int64_t end, unsigned thread) {
        Worker& w = workers[thread];
        w.total.resize(efficiency.points());
        w.peak.resize(efficiency.points());
        for (int64_t i = begin; i < end; ++i) {
          drawSample(u, static_cast<uint64_t>(i), w.total, w.peak);
          w.factors(n, *efficiency.scaled(w.total, w.peak), keys,
                    &values[static_cast<std::size_t>(i) * lines]);
        }
      },
      [&](int64_t done) {
        if (options.progress) options.progress(done, samples);
      });

  std::vector<FactorUncertainty> results(lines);
  inParallel(static_cast<int64_t>(lines), 1, threads, [&](int64_t begin, int64_t end, unsigned) {
    std::vector<float> column(static_cast<std::size_t>(samples));
    for (int64_t k = begin; k < end; ++k) {
      const auto line = static_cast<std::size_t>(k);
      for (std::size_t i = 0; i < column.size(); ++i)
        column[i] = values[i * lines + line];
      const SampleSummary s = summarise(column);
      results[line] = {static_cast<float>(s.mean),  static_cast<float>(s.standard),
                       static_cast<float>(s.low95), static_cast<float>(s.high95),
                       sensitivityTotal[line],      sensitivityPeak[line]};
    }
  });
  if (options.progress) options.progress(samples, samples);

  for (std::size_t k = 0; k < ds.gammas.size(); ++k)
    ds.gammas[k].uncertainty = results[k];
  if (ds.xray) ds.xray->uncertainty = results.back();
}

}  // namespace tcsum
