// The complete model's speed on real decay data: Eu-152 (both branches) and
// every decay data set of the ENSDF database in ../shared/ensdf, read once
// before timing; only complete::compute is timed. Point source, a smooth
// efficiency of a detector close to the source, the default settings.
//
// Goals: Eu-152 under 5 ms, every data set under 1 s, the database under 20 s.
// The database benchmark reports the slowest data set and the total.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "atomic/atomic.hpp"
#include "complete/model.hpp"
#include "ensdf/command.hpp"
#include "ensdf/dataset.hpp"
#include "ensdf/build_scheme.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tcsum;

// The ENSDF folder: TCSUM_ENSDF when set, else ../shared/ensdf beside the sources.
fs::path ensdfFolder() {
  const char* other = std::getenv("TCSUM_ENSDF");
  return other != nullptr ? fs::path(other) : fs::path(TCSUM_SOURCE_DIR) / ".." / "shared" / "ensdf";
}
const fs::path kEnsdf = ensdfFolder();

// A detector close to the source: total 0.25 (E/100 keV)^-0.5, peak a
// falling share of it.
class NearDetector final : public Efficiency {
 public:
  EfficiencyPair at(double e) const override {
    const double total = 0.25 * std::pow(e / 100.0, -0.5);
    return {total, total * 0.5 * std::pow(e / 100.0, -0.2)};
  }
  std::size_t points() const override { return 1; }
  std::unique_ptr<Efficiency> scaled(std::span<const double>, std::span<const double>) const override {
    return std::make_unique<NearDetector>();
  }
  std::string describe() const override { return "near detector"; }
};

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The schemes of FILE that the converter builds (refused ones left out),
// with the daughter's x-rays; of parent NUCLIDE only, unless it is empty.
void loadSchemes(const fs::path& file, const std::string& nuclide, std::vector<DecayScheme>& out) {
  ensdf::Settings settings;
  for (const ensdf::DataSet& set : ensdf::readDataSets(fileText(file), file.string())) {
    if (!nuclide.empty() && !ensdf::matchesNuclide(set, nuclide)) continue;
    ensdf::SchemeBuild build = ensdf::buildScheme(set, settings);
    if (build.refusal != ensdf::RefusalKind::None) continue;
    if (build.scheme.daughterZ > 0) build.scheme.atomic = atomic::atomicData(build.scheme.daughterZ);
    out.push_back(std::move(build.scheme));
  }
}

const SourceEfficiency& source() {
  static const SourceEfficiency s{{1.0, std::make_shared<NearDetector>()}};
  return s;
}

void BM_CompleteEu152(benchmark::State& state) {
  std::vector<DecayScheme> schemes;
  loadSchemes(kEnsdf / "nuclides" / "EU152_EC.ens", "", schemes);
  loadSchemes(kEnsdf / "nuclides" / "EU152_B-.ens", "", schemes);
  if (schemes.size() != 2) return state.SkipWithError("Eu-152 not found in ../shared/ensdf");
  const complete::Settings settings;
  std::size_t lines = 0;
  for (auto _ : state) {
    for (const DecayScheme& s : schemes) {
      const complete::Result r = complete::compute(s, source(), settings);
      lines = r.lines.size();
      benchmark::DoNotOptimize(r.lines.data());
    }
  }
  state.counters["lines_last"] = static_cast<double>(lines);
}
BENCHMARK(BM_CompleteEu152)->Unit(benchmark::kMillisecond);

void BM_CompleteDatabase(benchmark::State& state) {
  std::vector<DecayScheme> schemes;
  std::vector<fs::path> files;
  if (fs::is_directory(kEnsdf)) {
    for (const fs::directory_entry& e : fs::directory_iterator(kEnsdf))
      if (e.path().filename().string().starts_with("ensdf.")) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files)
    loadSchemes(f, "", schemes);
  if (schemes.empty()) return state.SkipWithError("no ENSDF database in ../shared/ensdf");
  const complete::Settings settings;
  double slowest = 0.0;
  std::string slowestName;
  int failed = 0;
  for (auto _ : state) {
    for (const DecayScheme& s : schemes) {
      const auto start = std::chrono::steady_clock::now();
      try {
        const complete::Result r = complete::compute(s, source(), settings);
        benchmark::DoNotOptimize(r.lines.data());
      } catch (const std::exception&) {
        ++failed;
      }
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds > slowest) {
        slowest = seconds;
        slowestName = s.parent + " " + s.dsid;
      }
    }
  }
  state.SetLabel("slowest: " + slowestName);
  state.counters["data_sets"] = static_cast<double>(schemes.size());
  state.counters["failed"] = failed;
  state.counters["slowest_ms"] = slowest * 1e3;
}
BENCHMARK(BM_CompleteDatabase)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
