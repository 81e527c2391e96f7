#pragma once
// EPS: the detector's efficiency at a photon energy, from the efficiency
// table of the data store.
#include <cstdint>

#include "core/result.hpp"
#include "core/store.hpp"

namespace tcsum {

// Fills ELOG, the base-10 logarithms of the efficiency table used above
// 200 keV for the full-energy peak: point 1 is point 2 halved on every axis,
// points 2 ... NEFF are the table's own; and the least abscissa steps of EFF
// and ELOG. Call it whenever EFF or NEFF change.
void buildLogTable(Store& s);

// The efficiency at energy E (keV) as a fraction of 1: MODE 1 total, MODE 2
// full-energy peak. Below 50 keV (81 keV for detector code 7) a straight
// line between neighbouring points; above 200 keV for the full-energy peak a
// quadratic in log-log space; otherwise a quadratic, with negative results 0.
float EPS(const Store& s, float E, int32_t MODE);

// The efficiencies at energy E, bit for bit EPS(s, E, 1) and EPS(s, E, 2),
// from one interpolation where the two ranges share it.
struct Efficiencies {
  float total;
  float peak;
};
Efficiencies efficienciesAt(const Store& s, float E);

// The range EPS takes its value from at energy E for MODE.
EfficiencyRange epsRange(const Store& s, float E, int32_t MODE);

}  // namespace tcsum
