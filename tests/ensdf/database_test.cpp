// The whole decay database: every decay data set of the ENSDF release beside
// the repository either converts into data sets the program runs to the end,
// or is refused with a one-line reason. Skipped when the database is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "core/fatal.hpp"
#include "driver/run.hpp"
#include "ensdf/convert.hpp"
#include "ensdf/dataset.hpp"
#include "ensdf/writer.hpp"

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Database, EveryDecayDataSetConvertsAndRunsOrIsRefused) {
  // Beside the repository; TCSUM_ENSDF_DIR points elsewhere (a worktree).
  const char* override = std::getenv("TCSUM_ENSDF_DIR");
  const fs::path dir = override != nullptr ? fs::path(override)
                                           : fs::path(TCSUM_SOURCE_DIR) / ".." / "shared" / "ensdf";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "no ENSDF database at " << dir;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().starts_with("ensdf.")) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  std::vector<std::string> contents;
  for (const fs::path& f : files)
    contents.push_back(readAll(f));

  std::string block, error;
  ASSERT_TRUE(tcsum::ensdf::efficiencyFromDataFile(
      readAll(fs::path(TCSUM_SOURCE_DIR) / "examples" / "co60" / "TALVEN"), -1, "", block, error))
      << error;

  // Converting, timed on its own: reading, conversion and writing.
  struct Converted {
    std::string where;
    tcsum::ensdf::Conversion conversion;
    std::string text;
  };
  std::vector<Converted> all;
  int betaPlus = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t f = 0; f < files.size(); ++f) {
    for (const auto& set : tcsum::ensdf::readDataSets(contents[f], files[f].filename().string())) {
      Converted c{set.file + ":" + std::to_string(set.line) + " " + set.dsid,
                  tcsum::ensdf::convert(set, {}),
                  {}};
      // Refused for its positrons, it is written when asked to: that must run too.
      if (c.conversion.refusal == tcsum::ensdf::RefusalKind::BetaPlus) {
        tcsum::ensdf::Settings allowed;
        allowed.allowBetaPlus = true;
        c.conversion = tcsum::ensdf::convert(set, allowed);
        ++betaPlus;
      }
      for (const auto& o : c.conversion.sets)
        tcsum::ensdf::writeDataSet(o, c.text);
      all.push_back(std::move(c));
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(all.size(), 4437u);
#ifdef NDEBUG
  if (!kSanitized) {
    // A bound for a pathological slowdown, not a benchmark: the machine may be busy.
    EXPECT_LT(seconds, 10.0);
  }
#endif

  std::map<std::string, int> refused;
  std::array<int, static_cast<std::size_t>(tcsum::ensdf::WarningKind::Count)> warnings{};
  int converted = 0, dataSets = 0, ran = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Converted& c = all[i];
    for (const auto& w : c.conversion.warnings)
      ++warnings[static_cast<std::size_t>(w.kind)];
    if (c.conversion.refusal != tcsum::ensdf::RefusalKind::None) {
      ++refused[tcsum::ensdf::refusalName(c.conversion.refusal)];
      EXPECT_FALSE(c.conversion.reason.empty()) << c.where;
      EXPECT_EQ(c.conversion.reason.find('\n'), std::string::npos) << c.where;
      continue;
    }
    ++converted;
    ASSERT_FALSE(c.conversion.sets.empty()) << c.where;
    dataSets += static_cast<int>(c.conversion.sets.size());
    // The data file holds one transition per pair of levels: a second would
    // replace the first.
    for (const auto& o : c.conversion.sets) {
      std::set<std::pair<int, int>> pairs;
      for (const auto& t : o.transitions)
        EXPECT_TRUE(pairs.insert({t.upper, t.lower}).second)
            << c.where << ": " << o.name << " " << t.upper << " -> " << t.lower;
    }
    // Under the sanitizers a sample is run, to keep the test short.
    if (kSanitized && i % 16 != 0) continue;
    std::istringstream data(block + c.text + std::string(tcsum::ensdf::kEndMarker));
    auto store = std::make_unique<tcsum::Store>();
    tcsum::Report report;
    try {
      tcsum::run(*store, data, report, [] { return tcsum::CalendarDate{1, 1, 2026}; });
      ++ran;
    } catch (const tcsum::RunStop& stop) {
      ADD_FAILURE() << c.where << ": the run stopped: " << stop.what();
    }
  }
  std::cout << "converted " << converted << " into " << dataSets << " data sets (" << ran
            << " run), conversion " << seconds << " s; " << betaPlus
            << " of them with --allow-beta-plus only\n";
  for (const auto& [reason, count] : refused)
    std::cout << "refused, " << reason << ": " << count << "\n";
  for (std::size_t k = 0; k < warnings.size(); ++k)
    std::cout << "warnings, "
              << tcsum::ensdf::warningName(static_cast<tcsum::ensdf::WarningKind>(k)) << ": "
              << warnings[k] << "\n";
}

}  // namespace
