#pragma once
// The efficiency command: efficiencies of a sample from the model of its
// detector and its source.
//
//   tcsum efficiency --detector D.toml --source S.toml
//                    (--calibration C.csv --calibration-geometry G.toml | --peak-to-total PT.csv)
//                    [--energies LIST] [-o FILE.csv] [--accuracy FILE.csv] [--force]
//
// Writes CSV "energy_keV,total,peak" (fractions of the photons emitted),
// readable by the converter and by the factors command; one line on
// standard error states the integration accuracy (and --accuracy writes
// its figures as CSV). Exit status 0, 1 for a description, calibration or
// output that cannot be used, 2 for a usage error.
#include <ostream>
#include <vector>

namespace tcsum::geometry {

// ARGV[0] is "efficiency".
int runEfficiency(int argc, char** argv, std::ostream& out, std::ostream& err);

// The default energies of the table: 60, evenly spaced in log E from 30 keV to 3000 keV.
std::vector<double> defaultEnergies();

}  // namespace tcsum::geometry
