// EPS: energy ranges and their thresholds, the log-log table, energies beyond the table, the
// rounding of the straight line, and the same bits from stencils made once for the energies.
#include "efficiency/eps.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <vector>

namespace tcsum {
namespace {

TEST(Eps, RangesThresholdsAndTableEnds) {
  // keV, total and peak efficiency x 10^3. Total row on g(E) = 500 - E^2 / 1600 up to 800 keV;
  // peak row on f(E) = -0.01 E^2 + 2 E + 10 from 40 to 150 keV. Point 1 has no part in log-log.
  const float table[9][3] = {{20, 499.75f, 6},    {40, 499, 74},        {60, 497.75f, 94},
                             {100, 493.75f, 110}, {150, 485.9375f, 85}, {250, 460.9375f, 60},
                             {500, 343.75f, 30},  {800, 100, 20},       {1000, 90, 15}};
  // NEFF (point NEFF + 1 is the record that closed the block), KDET, E, MODE, expected.
  const std::tuple<int32_t, int32_t, float, int32_t, float> cases[] = {
      {8, 0, 0.0f, 1, 0.0f},          // zero energy (the line below would give 0.5005)
      {8, 0, 10.0f, 1, 0.500125f},    // below the table, first segment: 499.75 + 10 * 0.75 / 20
      {8, 0, 15.0f, 2, 0.0f},         // ... peak 6 - 5 * 68 / 20 < 0 gives 0
      {8, 0, 49.99f, 2, 0.08399f},    // straight line: 74 + 9.99 * 20 / 20
      {8, 0, 50.0f, 2, 0.09f},        // quadratic over 20, 40, 60: (-6 + 6 * 74 + 3 * 94) / 8
      {3, 7, 80.0f, 2, 0.102f},       // straight line up to the closing record: 94 + 20 * 16 / 40
      {8, 7, 81.0f, 2, 0.10639f},     // quadratic: f(81)
      {8, 0, 200.0f, 2, 0.0683333f},  // quadratic over 100, 150, 250: -110/3 + 85 + 60/3
      {8, 0, 200.1f, 2, 0.0700615f},  // log-log over 100, 150, 250 (python3); linear 0.0683084
      {8, 0, 300.0f, 1, 0.44375f},    // g(300); log-log would give 0.437397
      {8, 0, 1000.0f, 1, 0.0f},       // g(1000) = -125 gives 0
      {3, 0, 250.0f, 2, 0.0822132f},  // log-log over 20 (point 2 halved), 40, 60 (python3)
  };
  Store s;
  for (int32_t k = 0; k < 27; ++k)
    s.EFF(k % 3 + 1, k / 3 + 1) = table[k / 3][k % 3];
  for (const auto& [neff, kdet, e, mode, want] : cases) {
    s.NEFF = neff;
    s.KDET = kdet;
    buildLogTable(s);
    EXPECT_NEAR(EPS(s, e, mode), want, 1e-6f) << "E=" << e << " MODE=" << mode;
  }
}

TEST(Eps, StraightLineBitForBit) {
  // Low-energy points of a coaxial detector's table (keV, total, peak x 10^3), detector code 4.
  const float table[9][3] = {{5, 39.87f, 39.08f},  {8, 161.1f, 157.9f},  {11, 210.2f, 206.1f},
                             {12, 211.1f, 181.6f}, {15, 226.7f, 199.5f}, {20, 234.8f, 213.7f},
                             {30, 239, 225.9f},    {40, 240.2f, 231.8f}, {50, 240.6f, 234.6f}};
  // Expected bits: tests/reference/reference.py, "eps straight line"; each E tells apart
  // regroupings of ((E - E0) x dY / dE + Y0) x 0.001 that are equal in exact arithmetic.
  const std::tuple<float, int32_t, uint32_t> cases[] = {
      {6.063f, 2, 0x3da642b3u}, {5.347f, 1, 0x3d5cbe27u}, {31.666f, 1, 0x3e74f0d4u}};
  Store s;
  s.NEFF = 9;
  s.KDET = 4;
  for (int32_t k = 0; k < 27; ++k)
    s.EFF(k % 3 + 1, k / 3 + 1) = table[k / 3][k % 3];
  for (const auto& [e, mode, want] : cases)
    EXPECT_EQ(std::bit_cast<uint32_t>(EPS(s, e, mode)), want) << "E=" << e << " MODE=" << mode;
}

TEST(Eps, BothAtOnceAndFromStencilsAreEpsBitForBit) {
  // Tables of 1, 2, 3 and 12 points of the first test's kind, detector codes 0 and 7; energies at
  // and next to the points and the range boundaries, and spread over six decades.
  const float table[12][3] = {{20, 499.75f, 6},     {40, 499, 74},        {60, 497.75f, 94},
                              {100, 493.75f, 110},  {150, 485.9375f, 85}, {250, 460.9375f, 60},
                              {500, 343.75f, 30},   {800, 100, 20},       {1000, 90, 15},
                              {1500, 70.5f, 11.2f}, {2500, 52, 7.1f},     {4000, 40.25f, 4.9f}};
  std::vector<float> energies = {0.0f, -0.0f, -5.0f, 1e7f};
  for (float e : {50.0f, 81.0f, 200.0f, 20.0f, 40.0f, 60.0f, 100.0f, 150.0f, 250.0f, 500.0f, 800.0f,
                  1000.0f, 1500.0f, 2500.0f, 4000.0f})
    energies.insert(energies.end(), {e, std::nextafter(e, 0.0f), std::nextafter(e, 1e9f)});
  for (int32_t k = 0; k <= 600; ++k)
    energies.push_back(static_cast<float>(std::pow(10.0, -0.5 + k / 100.0)));
  auto bits = [](float v) { return std::bit_cast<uint32_t>(v); };
  // Stencils come from a table with the same energies and no efficiencies (NaN), and are
  // combined with the efficiencies of another whose log table has only its ordinates rebuilt.
  // The last table has two points at the same energy and one out of order.
  Store s, energiesOnly, planned;
  for (int32_t k = 0; k < 36; ++k)
    s.EFF(k % 3 + 1, k / 3 + 1) = table[k / 3][k % 3];
  for (int32_t neff : {1, 2, 3, 12, -12}) {
    if (neff < 0) s.EFF(1, 5) = s.EFF(1, 4), s.EFF(1, 9) = 600.0f;
    for (int32_t kdet : {0, 7}) {
      s.NEFF = std::abs(neff);
      s.KDET = kdet;
      buildLogTable(s);
      energiesOnly = s;
      for (int32_t k = 1; k <= kEffPoints; ++k)
        energiesOnly.EFF(2, k) = energiesOnly.EFF(3, k) = std::nanf("");
      buildLogTable(energiesOnly);
      planned = energiesOnly;
      for (int32_t k = 1; k <= kEffPoints; ++k)
        planned.EFF(2, k) = s.EFF(2, k), planned.EFF(3, k) = s.EFF(3, k);
      buildLogOrdinates(planned);
      for (float e : energies) {
        SCOPED_TRACE(testing::Message() << "NEFF=" << neff << " KDET=" << kdet << " E=" << e);
        const Efficiencies both = efficienciesAt(s, e);
        ASSERT_EQ(bits(both.total), bits(EPS(s, e, 1)));
        ASSERT_EQ(bits(both.peak), bits(EPS(s, e, 2)));
        const Efficiencies fromPlan = efficienciesAt(planned, efficiencyStencil(energiesOnly, e));
        ASSERT_EQ(bits(fromPlan.total), bits(both.total));
        ASSERT_EQ(bits(fromPlan.peak), bits(both.peak));
      }
    }
  }
}

}  // namespace
}  // namespace tcsum
