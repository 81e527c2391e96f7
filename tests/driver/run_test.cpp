// The run sequence over a data file of several data sets: what each data set
// leaves in the data store, what is cleared between data sets, and the end
// marker, and a data set computed after another exactly as on its own; the
// same outputs for any number of jobs, a stop at a fault included. (Stops on
// faults are otherwise covered by the bad-input table.)
#include "driver/run.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/fatal.hpp"

namespace tcsum {
namespace {

// A three-point efficiency table (detector 14), then the data sets.
const std::string kEfficiency =
    "      10.0     200.0     150.0          14        TEST DETECTOR\n"
    "     100.0     250.0     200.0          1\n"
    "    1000.0     150.0      50.0          1\n"
    "    2000.0     120.0      30.0          0\n";

// Beta decay, four levels, with K conversion on 4 -> 3.
const std::string kFirst =
    "FIRST     B-            7.5       0.4\n"
    "       0.0       0.0\n"
    "    1300.0      10.0\n"
    "    1500.0       0.0\n"
    "    2500.0      90.0\n"
    "       0.0\n"
    " 2 1          1300.0      70.0\n"
    " 4 3          1000.0      30.0       0.5       0.4\n"
    " 3 2           200.0      30.0\n"
    " 4 2          1200.0      60.0\n"
    "33 1\n";

// Electron capture, two levels; a name beginning with E is no end marker.
const std::string kSecond =
    "EU-2      EC            30.0      0.9\n"
    "       0.0      20.0       0.8\n"
    "     500.0      80.0       0.7\n"
    "       0.0\n"
    " 2 1           500.0      80.0\n"
    "33 1\n";

struct Seen {
  std::string name;
  int32_t NLEV, IDAY, IMONTH, IYEAR;
  float XTR43, XTR42, ALPHA43, EGAM43, RATE43, EPSTX;
};

std::vector<Seen> runOn(const std::string& text, Report& report) {
  Store store;
  std::vector<Seen> seen;
  std::istringstream data(text);
  run(
      store, data, report,
      [] {
        return CalendarDate{5, 3, 2027};
      },
      [&seen](const Store& s) {
        seen.push_back({std::string(s.DSNAME.data(), 8), s.NLEV, s.IDAY, s.IMONTH, s.IYEAR,
                        s.XTR(4, 3), s.XTR(4, 2), s.ALPHA(4, 3), s.EGAM(4, 3), s.RATE(4, 3),
                        s.EPSTX});
      });
  return seen;
}

TEST(Run, EachDataSetStartsFromAClearedStore) {
  Report report;
  auto seen = runOn(kEfficiency + kFirst + kSecond + "E\n", report);
  ASSERT_EQ(seen.size(), 2u);

  EXPECT_EQ(seen[0].name, "FIRST   ");
  EXPECT_EQ(seen[0].NLEV, 4);
  // Level 4 decays by 4 -> 3 (30 x 1.5 = 45) and 4 -> 2 (60): probabilities 45/105, 60/105.
  EXPECT_FLOAT_EQ(seen[0].XTR43, 45.0f / 105.0f);
  EXPECT_FLOAT_EQ(seen[0].XTR42, 60.0f / 105.0f);
  EXPECT_EQ(seen[0].ALPHA43, 0.5f);
  EXPECT_GT(seen[0].RATE43, 0.0f);
  EXPECT_GT(seen[0].EPSTX, 0.0f);

  // The second data set has two levels: the transition arrays of the first
  // are cleared, the energies of its absent transitions are left as they were.
  EXPECT_EQ(seen[1].name, "EU-2    ");
  EXPECT_EQ(seen[1].NLEV, 2);
  EXPECT_EQ(seen[1].XTR43, 0.0f);
  EXPECT_EQ(seen[1].ALPHA43, 0.0f);
  EXPECT_EQ(seen[1].RATE43, 0.0f);
  EXPECT_EQ(seen[1].EGAM43, 1000.0f);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.IDAY, 5);
    EXPECT_EQ(s.IMONTH, 3);
    EXPECT_EQ(s.IYEAR, 2027);
  }

  // One report, each data set with its own date heading, in data-set order.
  const std::string& text = report.contents();
  const auto first = text.find("FIRST");
  const auto second = text.find("EU-2");
  const auto secondDate = text.find("Rechendatum:  5. 3.2027", first);
  EXPECT_LT(first, secondDate);
  EXPECT_LT(secondDate, second);
  EXPECT_EQ(text.rfind("Rechendatum:"), secondDate);
}

TEST(Run, EndMarkerFirstWritesNoReport) {
  Report report;
  EXPECT_TRUE(runOn(kEfficiency + "E         EC            1.0       1.0\n", report).empty());
  EXPECT_FALSE(report.isOpen());
  EXPECT_TRUE(report.contents().empty());
}

TEST(Run, EfficiencyCurveOnlyWhenAnOutputAsksForIt) {
  for (bool wanted : {false, true}) {
    RunOutputs out;
    out.efficiencyCurve = wanted;
    std::size_t samples = 0;
    out.detector = [&samples](const DetectorResult& d) { samples = d.efficiencyCurve.size(); };
    Store store;
    std::istringstream data(kEfficiency + kSecond + "E\n");
    run(store, data, out, [] { return CalendarDate{5, 3, 2027}; });
    EXPECT_EQ(samples > 0, wanted);
  }
}

// An example data file of the repository, split into its efficiency block and
// its one data set (from the header record, the first line that does not
// start with a blank, up to the end marker).
std::pair<std::string, std::string> example(const std::string& name) {
  std::ifstream in(TCSUM_SOURCE_DIR "/examples/" + name + "/TALVEN", std::ios::binary);
  std::string efficiency, dataSet, line;
  while (std::getline(in, line))
    (dataSet.empty() && line.starts_with(' ') ? efficiency : dataSet) += line + '\n';
  EXPECT_TRUE(dataSet.ends_with("\nE\n")) << name;
  dataSet.resize(dataSet.size() - 2);
  return {efficiency, dataSet};
}

std::string reportOf(const std::string& text) {
  Report report;
  runOn(text + "E\n", report);
  return report.contents();
}

TEST(Run, ADataSetAfterAnotherGivesItsOwnReport) {
  // The first data set of each pair has transitions that the second lacks but
  // whose peak and sum-peak probabilities the second one's cascade sums read:
  // cs134 leaves 3 -> 1 and 6 -> 5, read by 6 -> 1 (via 3) and 6 -> 3 (via 5)
  // of eu152ec; co60 leaves 4 -> 3, read by 4 -> 2 (via 3) of y88.
  const std::pair<const char*, const char*> pairs[] = {
      {"cs134", "eu152ec"},  // electron capture after beta decay, 25 levels after 6
      {"co60", "y88"},       // electron capture after beta decay
  };
  for (const auto& [first, second] : pairs) {
    const auto [efficiency, a] = example(first);
    const auto [efficiencyB, b] = example(second);
    ASSERT_EQ(efficiency, efficiencyB);
    EXPECT_EQ(reportOf(efficiency + a + b), reportOf(efficiency + a) + reportOf(efficiency + b))
        << first << " then " << second;
  }
}

// What a run with JOBS leaves: the report, the results as the outputs got
// them, whether they all came on the calling thread, and the diagnostic.
struct Outcome {
  std::string report;
  std::vector<std::string> results;
  bool oneThread = true;
  std::string stop;
};

Outcome runWithJobs(const std::string& text, int32_t jobs) {
  Outcome o;
  Store store;
  Report report;
  RunOutputs out;
  out.report = &report;
  const auto caller = std::this_thread::get_id();
  auto describe = [](const DataSetResult& ds) {
    std::string r = std::to_string(ds.number) + " " + trimmedName(ds.DSNAME) + " reached " +
                    std::to_string(static_cast<int>(ds.reached)) + " rows " +
                    std::to_string(ds.transitions.size());
    for (const GammaLine& g : ds.gammas)
      r += " " + std::to_string(g.KORR);
    return r;
  };
  // The text prepared ahead must reach the outputs with its own data set.
  out.prepare = [describe](const DataSetResult& ds, PreparedTexts& texts) {
    texts.resize(1);
    texts[0] += describe(ds);
  };
  out.dataSet = [&o, caller, describe](const DataSetResult& ds, const PreparedTexts& texts) {
    o.oneThread = o.oneThread && std::this_thread::get_id() == caller;
    const std::string r = describe(ds);
    o.results.push_back(texts.size() == 1 && texts[0] == r ? r : r + " prepared: (none)");
  };
  std::istringstream data(text);
  try {
    run(
        store, data, out,
        [] {
          return CalendarDate{5, 3, 2027};
        },
        {}, jobs);
  } catch (const RunStop& e) {
    o.stop = e.what();
  }
  o.report = report.contents();
  return o;
}

void expectSameForEveryNumberOfJobs(const std::string& text, const std::string& what) {
  const Outcome one = runWithJobs(text, 1);
  for (const std::string& r : one.results)
    EXPECT_EQ(r.find("prepared: (none)"), std::string::npos) << what << ": " << r;
  for (int32_t jobs : {2, 8}) {
    const Outcome many = runWithJobs(text, jobs);
    EXPECT_TRUE(many.report == one.report) << what << " with " << jobs << " jobs";
    EXPECT_EQ(many.results, one.results) << what << " with " << jobs << " jobs";
    EXPECT_EQ(many.stop, one.stop) << what << " with " << jobs << " jobs";
    EXPECT_TRUE(many.oneThread) << what << " with " << jobs << " jobs";
  }
}

// A generated data file of 200 dense data sets, every second one electron capture.
const std::string& generated200() {
  static const std::string text = [] {
    // Tests of this file run as processes of their own, side by side.
    const std::string path =
        ::testing::TempDir() + "tcsum-run-test-200-" + std::to_string(::getpid());
    const std::string command = std::string(GEN_TALVEN) + " 200 2024 " + path;
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(path, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return contents;
  }();
  return text;
}

TEST(Run, ATextThatCouldNotBeMadeAheadIsLeftToTheOutputs) {
  const auto [efficiency, dataSet] = example("co60");
  for (int32_t jobs : {1, 3}) {
    Store store;
    RunOutputs out;
    out.prepare = [](const DataSetResult& ds, PreparedTexts& texts) {
      texts.assign(1, "made ahead");
      if (ds.number == 2) throw std::bad_alloc();
    };
    std::vector<std::size_t> texts;
    out.dataSet = [&texts](const DataSetResult&, const PreparedTexts& t) {
      texts.push_back(t.size());
    };
    std::istringstream data(efficiency + dataSet + dataSet + dataSet + "E\n");
    EXPECT_NO_THROW(run(store, data, out, [] { return CalendarDate{5, 3, 2027}; }, {}, jobs));
    EXPECT_EQ(texts, (std::vector<std::size_t>{1, 0, 1})) << jobs << " jobs";
  }
}

TEST(Run, EveryNumberOfJobsGivesTheSameOutputs) {
  for (const char* name : {"ba133", "co60", "cs134", "cs137", "eu152ec", "inconsistent", "y88"}) {
    const auto [efficiency, dataSet] = example(name);
    expectSameForEveryNumberOfJobs(efficiency + dataSet + "E\n", name);
  }
  const Outcome one = runWithJobs(generated200(), 1);
  ASSERT_EQ(one.results.size(), 200u);
  EXPECT_TRUE(one.stop.empty()) << one.stop;
  expectSameForEveryNumberOfJobs(generated200(), "200 data sets");
}

// The start of line LINE (0-based) of TEXT.
std::size_t lineStart(const std::string& text, std::size_t line) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < line; ++k)
    at = text.find('\n', at) + 1;
  return at;
}

// Where data set NUMBER of a generated file begins, with the line of its
// header and of its first transition record.
struct DataSetLines {
  std::size_t header;
  std::size_t transition;
};
DataSetLines linesOf(const std::string& text, int32_t number) {
  std::istringstream in(text);
  std::string line;
  std::size_t n = 0;
  for (; n < 30 && std::getline(in, line); ++n) {  // the efficiency block
  }
  for (int32_t k = 1;; ++k) {
    DataSetLines at{n, 0};
    std::getline(in, line);  // the header
    ++n;
    for (bool first = true; std::getline(in, line); first = false) {  // the levels
      ++n;
      if (!first && std::strtof(line.substr(0, 10).c_str(), nullptr) == 0.0f) break;
    }
    at.transition = n;
    while (std::getline(in, line) && std::atoi(line.substr(0, 2).c_str()) != 33)
      ++n;
    ++n;
    if (k == number) return at;
  }
}

TEST(Run, AStopAtAFaultIsTheSameWithSeveralJobs) {
  // A letter in data set 150: in its header, in a level record, in a
  // transition record; the run stops there with the data sets before it
  // complete, whatever the number of jobs.
  const DataSetLines at = linesOf(generated200(), 150);
  const struct {
    std::size_t line;
    std::size_t column;
    Stage reached;
  } faults[] = {{at.header, 25, Stage::complete},  // data set 149 is the last result
                {at.header + 2, 5, Stage::header},
                {at.transition + 3, 15, Stage::levels}};
  for (const auto& f : faults) {
    std::string text = generated200();
    text[lineStart(text, f.line) + f.column - 1] = 'x';
    const std::string what = "a letter in line " + std::to_string(f.line + 1);
    const Outcome one = runWithJobs(text, 1);
    EXPECT_TRUE(one.stop.starts_with("input conversion error")) << what << ": " << one.stop;
    // The results of data set 150 reach the outputs once its header is read.
    const std::size_t results = f.line == at.header ? 149 : 150;
    ASSERT_EQ(one.results.size(), results) << what;
    EXPECT_TRUE(one.results.back().starts_with(
        std::to_string(results) + " G" + std::string(7 - std::to_string(results).size(), '0') +
        std::to_string(results) + " reached " + std::to_string(static_cast<int>(f.reached))))
        << what << ": " << one.results.back();
    expectSameForEveryNumberOfJobs(text, what);
  }
}

}  // namespace
}  // namespace tcsum
