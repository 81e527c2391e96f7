#pragma once
// The efficiency table as a CSV file: a heading naming the columns
// energy_keV, total and peak (in any order; further columns are ignored),
// then one row per point with the energy in keV and both efficiencies as
// fractions of the photons emitted. Blank lines and lines starting with '#'
// are skipped. Refused, each with one line "FILE:LINE: reason":
//  - a table that is not comma separated (the separator found is named);
//  - a missing heading or column, a cell that is not a number;
//  - an energy not above the previous one, an energy or efficiency that is
//    not positive, a peak efficiency above the total one;
//  - an efficiency above 1 (it looks like percent);
//  - every energy below 10 (it looks like MeV);
//  - fewer points than the interpolation needs, more than the caller takes.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tcsum::efficiency {

struct TablePoint {
  double energy = 0.0;  // keV
  double total = 0.0;   // fractions
  double peak = 0.0;
  int line = 0;         // where it was read
};

struct CsvRules {
  std::size_t minPoints = 2;     // what the interpolation needs
  std::size_t maxPoints = 1000;  // what the user of the table can hold
};

// The table of TEXT, NAME being the file it came from (for the messages).
// Throws InputFileError.
std::vector<TablePoint> parseEfficiencyCsv(std::string_view text, const std::string& name,
                                           const CsvRules& rules = {});
// The same read from PATH with the bounds of readTextFile.
std::vector<TablePoint> readEfficiencyCsv(const std::string& path, const CsvRules& rules = {});

}  // namespace tcsum::efficiency
