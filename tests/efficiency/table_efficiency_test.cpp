// The data file's table as an efficiency source: the bits of EPS on the
// store it came from, and the scaled copies an uncertainty run computes with.
#include "efficiency/table_efficiency.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "input/reader.hpp"

namespace tcsum {
namespace {

uint32_t bits(float v) {
  return std::bit_cast<uint32_t>(v);
}

// The efficiency block of an example, its log table built.
std::unique_ptr<Store> tableOf(const std::string& example) {
  std::ifstream in(TCSUM_SOURCE_DIR "/examples/" + example + "/TALVEN", std::ios::binary);
  EXPECT_TRUE(in) << example;
  DataFile file(in);
  auto s = std::make_unique<Store>();
  readEfficiencyBlock(file, *s);
  buildLogTable(*s);
  return s;
}

// Energies in every range: 0, below the table, the straight lines, the
// quadratics, log-log, above the table, and every table point.
std::vector<float> energiesFor(const Store& s) {
  std::vector<float> energies = {0.0f, 1.0f, 7.3f, 33.3f, 49.99f, 50.0f, 80.9f, 81.0f, 121.7f,
                                 199.9f, 200.0f, 200.1f, 344.3f, 661.7f, 1332.5f, 4500.0f, 9999.0f};
  for (int32_t k = 1; k <= s.NEFF; ++k)
    energies.push_back(s.EFF(1, k));
  return energies;
}

TEST(TableEfficiency, GivesTheBitsOfEpsOnItsStore) {
  for (const char* example : {"co60", "eu152ec", "y88"}) {
    SCOPED_TRACE(example);
    const auto s = tableOf(example);
    const TableEfficiency table(*s);
    const std::vector<float> energies = energiesFor(*s);
    std::vector<double> wide(energies.begin(), energies.end());
    std::vector<EfficiencyPair> all(wide.size());
    table.at(wide, all);
    for (std::size_t k = 0; k < energies.size(); ++k) {
      const EfficiencyPair e = table.at(energies[k]);
      EXPECT_EQ(bits(static_cast<float>(e.total)), bits(EPS(*s, energies[k], 1))) << energies[k];
      EXPECT_EQ(bits(static_cast<float>(e.peak)), bits(EPS(*s, energies[k], 2))) << energies[k];
      EXPECT_EQ(all[k].total, e.total);
      EXPECT_EQ(all[k].peak, e.peak);
    }
    // The points include the record that closed the block.
    EXPECT_EQ(table.points(), static_cast<std::size_t>(s->NEFF + 1));
  }
}

// A scaled copy is the table with its efficiencies multiplied in float
// point by point and its log table built again; the original stays.
TEST(TableEfficiency, ScaledCopyIsTheTableScaledPointByPoint) {
  const auto s = tableOf("eu152ec");
  const TableEfficiency table(*s);
  const std::size_t n = table.points();
  std::vector<double> total(n), peak(n);
  for (std::size_t k = 0; k < n; ++k) {
    total[k] = static_cast<double>(1.0f + 0.013f * static_cast<float>(k % 7));
    peak[k] = static_cast<double>(1.0f - 0.011f * static_cast<float>(k % 5));
  }
  const std::unique_ptr<Efficiency> scaled = table.scaled(total, peak);

  auto expected = std::make_unique<Store>(*s);
  for (int32_t k = 1; k <= static_cast<int32_t>(n); ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    expected->EFF(2, k) = expected->EFF(2, k) * static_cast<float>(total[i]);
    expected->EFF(3, k) = expected->EFF(3, k) * static_cast<float>(peak[i]);
  }
  buildLogTable(*expected);
  for (float E : energiesFor(*s)) {
    const EfficiencyPair e = scaled->at(E);
    EXPECT_EQ(bits(static_cast<float>(e.total)), bits(EPS(*expected, E, 1))) << E;
    EXPECT_EQ(bits(static_cast<float>(e.peak)), bits(EPS(*expected, E, 2))) << E;
    EXPECT_EQ(bits(static_cast<float>(table.at(E).peak)), bits(EPS(*s, E, 2))) << E;
  }
  EXPECT_EQ(scaled->points(), n);
}

}  // namespace
}  // namespace tcsum
