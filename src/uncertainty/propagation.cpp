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
#include "summing/summing.hpp"
#include "uncertainty/sampling.hpp"

namespace tcsum {

namespace {

constexpr int64_t kSampleBlock = 64;  // samples a thread takes at a time
constexpr float kStepUp = 1.01f;      // efficiency scales of the central differences
constexpr float kStepDown = 0.99f;
constexpr int32_t kTotalRow = 2;
constexpr int32_t kPeakRow = 3;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A line of the results table: the K x-ray line is (0, 0), after the gammas.
struct LineKey {
  int32_t upper;
  int32_t lower;
};

std::vector<LineKey> keysOf(const DataSetResult& ds) {
  std::vector<LineKey> keys;
  for (const GammaLine& g : ds.gammas)
    keys.push_back({g.upper, g.lower});
  if (ds.xray) keys.push_back({0, 0});
  return keys;
}

// The factors of F in the order of KEYS, NaN for a line F lacks. Both lists
// run in the order of the results table (upper level, then lower level).
void collect(const Factors& f, const std::vector<LineKey>& keys, float* out) {
  std::size_t g = 0;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const LineKey key = keys[k];
    if (key.upper == 0) {
      out[k] = f.xray ? f.xray->KORR : kNaN;
      continue;
    }
    while (g < f.gammas.size() &&
           (f.gammas[g].upper < key.upper ||
            (f.gammas[g].upper == key.upper && f.gammas[g].lower < key.lower)))
      ++g;
    const bool found =
        g < f.gammas.size() && f.gammas[g].upper == key.upper && f.gammas[g].lower == key.lower;
    out[k] = found ? f.gammas[g].KORR : kNaN;
  }
}

// The points of the table that the efficiencies can come from: 1 ... NEFF,
// and the record that closed the block, which the straight-line range
// reaches above the last point.
int32_t pointsOf(const Store& s) {
  return std::min(s.NEFF + 1, kEffPoints);
}

void scaleRow(Store& s, int32_t row, const float* factors) {
  for (int32_t k = 1; k <= pointsOf(s); ++k)
    s.EFF(row, k) = s.EFF(row, k) * factors[k - 1];
}

// Scales the table of S for sample SAMPLE: the total efficiencies first,
// then the peak efficiencies, each by one factor or by one per point. The
// draws do not depend on the uncertainties, so one curve's factors stay the
// same when only the other's uncertainty changes.
void drawSample(Store& s, const UncertaintySettings& u, uint64_t sample) {
  SampleStream stream(u.seed, sample);
  const double uTotal = static_cast<double>(u.uTotalPercent) / 100.0;
  const double uPeak = static_cast<double>(u.uPeakPercent) / 100.0;
  const int32_t points = pointsOf(s);
  float total[kEffPoints];
  float peak[kEffPoints];
  if (u.correlation == EfficiencyCorrelation::full) {
    std::fill_n(total, points, static_cast<float>(logNormalFactor(uTotal, stream.normal())));
    std::fill_n(peak, points, static_cast<float>(logNormalFactor(uPeak, stream.normal())));
  } else {
    for (int32_t k = 0; k < points; ++k)
      total[k] = static_cast<float>(logNormalFactor(uTotal, stream.normal()));
    for (int32_t k = 0; k < points; ++k)
      peak[k] = static_cast<float>(logNormalFactor(uPeak, stream.normal()));
  }
  scaleRow(s, kTotalRow, total);
  scaleRow(s, kPeakRow, peak);
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

struct Worker {
  std::unique_ptr<Store> store = std::make_unique<Store>();
  Factors factors;
};

// The factors with one row of the table scaled by SCALE throughout.
void factorsScaled(const Store& asRead, const RecomputePlan& plan, Worker& w, int32_t row,
                   float scale, const std::vector<LineKey>& keys, float* out) {
  *w.store = asRead;
  float scales[kEffPoints];
  std::fill_n(scales, kEffPoints, scale);
  scaleRow(*w.store, row, scales);
  recomputeFactors(*w.store, w.factors, &plan);
  collect(w.factors, keys, out);
}

// Relative change of every factor per relative change of the efficiencies
// of table row ROW, by central differences around the nominal factors.
std::vector<float> sensitivities(const Store& asRead, const RecomputePlan& plan, Worker& w,
                                 int32_t row, const std::vector<LineKey>& keys,
                                 const std::vector<float>& nominal) {
  std::vector<float> up(keys.size());
  std::vector<float> down(keys.size());
  factorsScaled(asRead, plan, w, row, kStepUp, keys, up.data());
  factorsScaled(asRead, plan, w, row, kStepDown, keys, down.data());
  const double step = static_cast<double>(kStepUp) - static_cast<double>(kStepDown);
  std::vector<float> result(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    result[k] = static_cast<float>((static_cast<double>(up[k]) - static_cast<double>(down[k])) /
                                   (step * static_cast<double>(nominal[k])));
  }
  return result;
}

}  // namespace

void recomputeFactors(Store& s, Factors& out, const RecomputePlan* plan) {
  out.rows.clear();
  out.gammas.clear();
  out.xray.reset();
  if (plan) {
    buildLogOrdinates(s);
    const Efficiencies x = efficienciesAt(s, plan->xray);
    s.EPSTX = x.total;
    s.EPSX = x.peak;
  } else {
    buildLogTable(s);
    s.EPSTX = EPS(s, s.EX, 1);
    s.EPSX = EPS(s, s.EX, 2);
  }
  TRANSITIONS(s, out.rows, plan ? &plan->transitions : nullptr);
  CASCADE(s);
  LINERATES(s);
  CORRECT(s, out.gammas, out.xray);
}

void propagateEfficiencyUncertainty(const Store& asRead, DataSetResult& ds,
                                    const UncertaintyOptions& options) {
  const UncertaintySettings& u = options.settings;
  ds.uncertainty = u;
  const std::vector<LineKey> keys = keysOf(ds);
  const std::size_t lines = keys.size();
  const int64_t samples = std::max<int64_t>(u.samples, 0);
  if (lines == 0 || samples == 0) return;

  const int64_t blocks = (samples + kSampleBlock - 1) / kSampleBlock;
  const unsigned threads = static_cast<unsigned>(std::clamp<int64_t>(options.threads, 1, blocks));
  std::vector<Worker> workers(threads);

  // The data set as read with its log table, and what every sample takes
  // from the energies: a sample scales rows 2 and 3 of the table alone, so
  // the energies, NEFF, KDET, E(X) and the transition energies, and with them
  // ELOG's first row and the abscissa steps, are those of the plan.
  auto prepared = std::make_unique<Store>(asRead);
  buildLogTable(*prepared);
  const RecomputePlan plan(*prepared);

  std::vector<float> nominal;
  for (const GammaLine& g : ds.gammas)
    nominal.push_back(g.KORR);
  if (ds.xray) nominal.push_back(ds.xray->KORR);
  const std::vector<float> sensitivityTotal =
      sensitivities(*prepared, plan, workers[0], kTotalRow, keys, nominal);
  const std::vector<float> sensitivityPeak =
      sensitivities(*prepared, plan, workers[0], kPeakRow, keys, nominal);

  // The factors of every sample, one row of LINES per sample.
  std::vector<float> values(static_cast<std::size_t>(samples) * lines);
  if (options.progress) options.progress(0, samples);
  inParallel(
      samples, kSampleBlock, threads,
      [&](int64_t begin, int64_t end, unsigned thread) {
        Worker& w = workers[thread];
        for (int64_t i = begin; i < end; ++i) {
          *w.store = *prepared;
          drawSample(*w.store, u, static_cast<uint64_t>(i));
          recomputeFactors(*w.store, w.factors, &plan);
          collect(w.factors, keys, &values[static_cast<std::size_t>(i) * lines]);
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
