// Throughput of tcsum: its stages on dense generated decay schemes, and the
// whole program (the built executable, run as a child process) over generated
// data files, measured against the time it takes just to write a report of
// the same size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "decay/decay.hpp"
#include "efficiency/eps.hpp"
#include "efficiency/quipol.hpp"
#include "input/reader.hpp"
#include "report/report.hpp"
#include "summing/summing.hpp"

namespace fs = std::filesystem;
using namespace tcsum;

namespace {

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void giveUp(const char* what) {
  std::perror(what);
  std::exit(1);
}

// A scratch folder for the data files and reports, removed at exit.
const fs::path& scratch() {
  static const fs::path* dir = [] {
    std::string pattern = (fs::temp_directory_path() / "tcsum-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) giveUp("mkdtemp");
    std::atexit([] { fs::remove_all(scratch()); });
    return new fs::path(pattern);  // never destroyed, so the exit handler can use it
  }();
  return *dir;
}

struct ChildRun {
  bool ok = false;
  double wall = 0.0;  // seconds, from fork to the end of the child
  double cpu = 0.0;   // user and system seconds of the child
  long peakKiB = 0;   // the child's peak resident memory
};

// Runs PROGRAM with ARGS in folder DIR. The child is forked from this small
// process before exec, so its peak resident memory is the program's own.
ChildRun runChild(const fs::path& dir, const std::string& program, std::vector<std::string> args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return {};
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, secondsSince(start),
          seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

// The physical reference: BYTES bytes of report records of realistic length,
// appended to a buffer and written to a fresh file in 64 KiB blocks.
double writeReference(const fs::path& file, std::size_t bytes) {
  constexpr std::string_view kRecord =
      "             5 ->  2        562.980           0.020210           0.009410"
      "           0.007790     1.965E-01   6.829E-02\r\n";
  constexpr std::size_t kBlock = 1 << 16;
  const auto start = Clock::now();
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) giveUp("reference file");
  std::string buffer;
  buffer.reserve(kBlock + kRecord.size());
  for (std::size_t written = 0; written < bytes;) {
    while (buffer.size() < kBlock)
      buffer += kRecord;
    const std::size_t n = std::min(kBlock, bytes - written);
    if (::write(fd, buffer.data(), n) != static_cast<ssize_t>(n)) giveUp("reference write");
    buffer.erase(0, n);
    written += n;
  }
  ::close(fd);
  return secondsSince(start);
}

// A folder holding a generated data file TALVEN of DATASETS data sets.
fs::path generated(int datasets) {
  const fs::path dir = scratch() / ("sets-" + std::to_string(datasets));
  if (!fs::exists(dir / "TALVEN")) {
    fs::create_directories(dir);
    if (!runChild(dir, GEN_TALVEN, {std::to_string(datasets), "2024", "TALVEN"}).ok)
      giveUp("gen_talven");
  }
  return dir;
}

// Data set WHICH of a generated file (0: beta decay, 1: electron capture) as
// the run has read it, with the efficiencies at E(X).
const Store& dataSet(int which) {
  static const std::array<std::unique_ptr<Store>, 2> stores = [] {
    std::array<std::unique_ptr<Store>, 2> result;
    for (std::size_t n = 0; n < result.size(); ++n) {
      std::ifstream in(generated(2) / "TALVEN", std::ios::binary);
      DataFile file(in);
      auto s = std::make_unique<Store>();
      auto skipped = std::make_unique<Store>();
      readEfficiencyBlock(file, *s);
      buildLogTable(*s);
      for (std::size_t k = 0; k <= n; ++k) {
        Store& into = k == n ? *s : *skipped;
        readHeader(file, into);
        readLevels(file, into);
        readTransitions(file, into);
      }
      s->EPSTX = EPS(*s, s->EX, 1);
      s->EPSX = EPS(*s, s->EX, 2);
      result[n] = std::move(s);
    }
    return result;
  }();
  return *stores[static_cast<std::size_t>(which)];
}

// EPS at eight energies of one range. REBUILD measures the log-log range as
// it was before the log table was built once per efficiency table: with the
// logarithms of the whole table taken on every call.
void BM_EPS(benchmark::State& state, float low, float high, int32_t mode, bool rebuild) {
  auto s = std::make_unique<Store>(dataSet(0));
  std::array<float, 8> energies;
  for (std::size_t k = 0; k < energies.size(); ++k)
    energies[k] = low + (high - low) * static_cast<float>(k) / 7.0f;
  for (auto _ : state) {
    for (float e : energies) {
      if (rebuild) buildLogTable(*s);
      benchmark::DoNotOptimize(EPS(*s, e, mode));
    }
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK_CAPTURE(BM_EPS, straight_line, 12.0f, 49.0f, 2, false);
BENCHMARK_CAPTURE(BM_EPS, quadratic_peak, 55.0f, 195.0f, 2, false);
BENCHMARK_CAPTURE(BM_EPS, quadratic_total, 250.0f, 3500.0f, 1, false);
BENCHMARK_CAPTURE(BM_EPS, log_log, 250.0f, 3500.0f, 2, false);
BENCHMARK_CAPTURE(BM_EPS, log_log_table_per_call, 250.0f, 3500.0f, 2, true);

void BM_QUIPOL(benchmark::State& state) {
  const Store& s = dataSet(0);
  Vec<float, 3> VAL;
  float extra = 0.0f;
  float x = 60.0f;
  for (auto _ : state) {
    VAL(1) = x;
    QUIPOL(s.EFF, VAL, 3, s.NEFF, extra);
    benchmark::DoNotOptimize(VAL);
    x = x < 3500.0f ? x * 1.37f : 60.0f;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QUIPOL);

// The transition stage of a dense data set, with its rows of the report; the
// data set is restored and the report emptied outside the timing.
void BM_TRANSITIONS(benchmark::State& state) {
  auto s = std::make_unique<Store>();
  for (auto _ : state) {
    state.PauseTiming();
    *s = dataSet(0);
    std::vector<TransitionResult> rows;
    state.ResumeTiming();
    TRANSITIONS(*s, rows);
    state.PauseTiming();
    rows = {};
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TRANSITIONS);

void BM_CASCADE(benchmark::State& state) {
  auto s = std::make_unique<Store>(dataSet(static_cast<int>(state.range(0))));
  std::vector<TransitionResult> discarded;
  TRANSITIONS(*s, discarded);
  for (auto _ : state) {
    CASCADE(*s);
    benchmark::DoNotOptimize(s->NABOVE);
  }
  state.SetLabel(isElectronCapture(*s) ? "electron capture" : "beta decay");
}
BENCHMARK(BM_CASCADE)->Arg(0)->Arg(1);

// The report writer: a transition row and a result row for every transition
// of a dense data set, into a report in memory.
void BM_ReportRows(benchmark::State& state) {
  const Store& s = dataSet(0);
  std::size_t bytes = 0;
  for (auto _ : state) {
    Report report;
    for (int32_t J = 2; J <= s.NLEV; ++J) {
      for (int32_t I = 1; I < J; ++I) {
        if (s.XTR(J, I) == 0.0f) continue;
        writeTransitionRow(report, {J, I, s.EGAM(J, I), s.XTR(J, I), s.ALPHA(J, I), s.ALPHAK(J, I),
                                    0.1965f, 0.06829f, s.XTR(J, I)});
        writeResultRow(report, s.EGAM(J, I), s.XTR(J, I) * 0.06829f, 1.0342f);
      }
    }
    bytes += report.contents().size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReportRows);

// The whole program over a generated file, against the write reference, with
// one job and with its default of one job per core (the second argument, 1 or
// 0). The machine may be shared: the two alternate, and the fastest run of
// each counts. The environment variable TCSUM_PROGRAM names another build to
// measure (one without --jobs only with the default).
std::string programUnderTest() {
  const char* other = std::getenv("TCSUM_PROGRAM");
  return other != nullptr ? fs::absolute(other).string() : TCSUM_PROGRAM;
}

void BM_WholeProgram(benchmark::State& state) {
  constexpr int kRepeats = 5;
  const std::string program = programUnderTest();
  const auto datasets = static_cast<double>(state.range(0));
  const fs::path dir = generated(static_cast<int>(state.range(0)));
  const auto jobs = static_cast<int>(state.range(1));
  const std::vector<std::string> args =
      jobs > 0 ? std::vector<std::string>{"--jobs", std::to_string(jobs)}
               : std::vector<std::string>{};
  ChildRun best{false, std::numeric_limits<double>::infinity()};
  double reference = best.wall;
  long peakKiB = 0;
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    for (int r = 0; r < kRepeats; ++r) {
      fs::remove(dir / "result.out");
      const ChildRun run = runChild(dir, program, args);
      if (!run.ok) return state.SkipWithError("tcsum failed");
      if (run.wall < best.wall) best = run;
      peakKiB = std::max(peakKiB, run.peakKiB);
      bytes = fs::file_size(dir / "result.out");
      fs::remove(dir / "reference.out");
      reference = std::min(reference, writeReference(dir / "reference.out", bytes));
    }
    state.SetIterationTime(best.wall);
  }
  fs::remove(dir / "result.out");
  fs::remove(dir / "reference.out");
  state.counters["data_sets/s"] = datasets / best.wall;
  state.counters["report_MB"] = static_cast<double>(bytes) * 1e-6;
  state.counters["report_MB/s"] = static_cast<double>(bytes) * 1e-6 / best.wall;
  state.counters["child_cpu_ms"] = best.cpu * 1e3;
  state.counters["write_ref_ms"] = reference * 1e3;
  state.counters["ratio_to_write"] = best.wall / reference;
  state.counters["peak_rss_KiB"] = static_cast<double>(peakKiB);
  state.counters["jobs"] = jobs > 0 ? jobs : static_cast<int>(std::thread::hardware_concurrency());
}
BENCHMARK(BM_WholeProgram)
    ->ArgNames({"data_sets", "jobs"})
    ->Args({500, 1})
    ->Args({500, 0})
    ->Args({2000, 1})
    ->Args({2000, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The data outputs instead of the report: JSON and CSV of a generated file,
// with one job and with one per core (the second argument, 1 or 0).
void BM_DataOutputs(benchmark::State& state) {
  constexpr int kRepeats = 3;
  const std::string program = programUnderTest();
  const fs::path dir = generated(static_cast<int>(state.range(0)));
  const auto jobs = static_cast<int>(state.range(1));
  std::vector<std::string> args{"--no-report", "--json", "r.json", "--csv", "r.csv"};
  if (jobs > 0) args.insert(args.end(), {"--jobs", std::to_string(jobs)});
  ChildRun best{false, std::numeric_limits<double>::infinity()};
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    for (int r = 0; r < kRepeats; ++r) {
      fs::remove(dir / "r.json");
      fs::remove(dir / "r.csv");
      const ChildRun run = runChild(dir, program, args);
      if (!run.ok) return state.SkipWithError("tcsum failed");
      if (run.wall < best.wall) best = run;
      bytes = fs::file_size(dir / "r.json") + fs::file_size(dir / "r.csv");
    }
    state.SetIterationTime(best.wall);
  }
  fs::remove(dir / "r.json");
  fs::remove(dir / "r.csv");
  state.counters["outputs_MB"] = static_cast<double>(bytes) * 1e-6;
  state.counters["child_cpu_ms"] = best.cpu * 1e3;
  state.counters["peak_rss_KiB"] = static_cast<double>(best.peakKiB);
}
BENCHMARK(BM_DataOutputs)
    ->ArgNames({"data_sets", "jobs"})
    ->Args({2000, 1})
    ->Args({2000, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
