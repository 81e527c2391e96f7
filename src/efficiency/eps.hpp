#pragma once
// EPS: the detector's efficiency at a photon energy, from the efficiency
// table of the data store.
#include <cstdint>

#include "core/result.hpp"
#include "core/store.hpp"
#include "efficiency/quipol.hpp"

namespace tcsum {

// The efficiency part of the data store on its own, for an efficiency source
// apart from a store: the same fields, the same interpolation, the same bits.
struct EfficiencyTable {
  EffTable EFF;
  int32_t NEFF = 0;
  int32_t KDET1 = 0;
  int32_t KDET = 0;
  EffTable ELOG;
  float effStep = 0.0f;
  float elogStep = 0.0f;
};
// The table of S as it stands (ELOG and the steps included), and back.
EfficiencyTable efficiencyTableOf(const Store& s);
void storeEfficiencyTable(const EfficiencyTable& t, Store& s);

// Fills ELOG, the base-10 logarithms of the efficiency table used above
// 200 keV for the full-energy peak: point 1 is point 2 halved on every axis,
// points 2 ... NEFF are the table's own; and the least abscissa steps of EFF
// and ELOG. Call it whenever EFF or NEFF change.
void buildLogTable(Store& s);
void buildLogTable(EfficiencyTable& t);
// The same for the ordinate rows 2 and 3 alone, when only the efficiencies
// changed.
void buildLogOrdinates(Store& s);
void buildLogOrdinates(EfficiencyTable& t);

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
Efficiencies efficienciesAt(const EfficiencyTable& t, float E);

// The range EPS takes its value from at energy E for MODE.
EfficiencyRange epsRange(const Store& s, float E, int32_t MODE);

// All that the efficiencies at one energy take from the abscissae of the
// table (energies, NEFF, KDET): the range of the full-energy peak, and where
// and with which weights the ordinates are combined. It holds for every table
// with the same abscissae, whatever its efficiencies.
struct LineSegment {
  int32_t upper = 2;        // the segment ends at this point
  bool belowTable = false;  // E lies at or below the first point
  float dE0 = 0.0f;         // E - EFF(1, upper - 1)
  float dE = 0.0f;          // EFF(1, upper) - EFF(1, upper - 1)
};
struct EfficiencyStencil {
  EfficiencyRange range = EfficiencyRange::zero;
  LineSegment line;         // straightLine
  QuipolStencil quadratic;  // quadratic and logLog: E in EFF
  QuipolStencil logLog;     // logLog: log10 E in ELOG
};
// Reads EFF and ELOG row 1 (buildLogTable first), NEFF and KDET.
EfficiencyStencil efficiencyStencil(const Store& s, float E);
EfficiencyStencil efficiencyStencil(const EfficiencyTable& t, float E);
// Bit for bit efficienciesAt(s, E) for the E of ST, reading only the
// ordinates: rows 2 and 3 of EFF and ELOG.
Efficiencies efficienciesAt(const Store& s, const EfficiencyStencil& st);
Efficiencies efficienciesAt(const EfficiencyTable& t, const EfficiencyStencil& st);

}  // namespace tcsum
