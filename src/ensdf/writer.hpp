#pragma once
// The records of the program's data file, as the converter writes them.
#include <string>
#include <string_view>
#include <vector>

#include "input/layout.hpp"

namespace tcsum::ensdf {

// A data set for the program: levels in order (the first is level 1, the
// ground state or the isomer a part of the decay starts from), transitions
// between level numbers.
struct OutLevel {
  float energy = 0.0f;
  float feed = 0.0f;  // percent of decays of the parent
  float pk = 0.0f;    // K captures per decay feeding the level
};
struct OutTransition {
  int upper = 0;  // level numbers, from 1
  int lower = 0;
  float energy = 0.0f;
  float intensity = 0.0f;  // photons per 100 decays of the parent
  float alpha = 0.0f;
  float alphak = 0.0f;
};
struct OutSet {
  std::string name;      // at most 8 characters
  bool capture = false;  // decay mode "EC"
  std::string mode;      // the mode written (8 columns)
  float ex = 0.0f;
  float omegak = 0.0f;
  std::vector<OutLevel> levels;
  std::vector<OutTransition> transitions;
};

// The columns of a real of the data file (F10.0).
inline constexpr int kFieldWidth = layout::kLevelEnergy.width();

// VALUE in at most 10 columns, as the data file reads it: plain decimals
// where the shortest text that reads back to VALUE fits, else the most
// significant digits that fit (plain or with an exponent, 1.23457E-7).
std::string formatField(float value);

// The records of SET: header, levels, the record ending the levels,
// transitions and the record ending them, each line ending in LF.
void writeDataSet(const OutSet& set, std::string& out);

// The end marker.
inline constexpr std::string_view kEndMarker = "E\n";

// An efficiency block made of a CSV table "energy_keV,total,peak" with
// efficiencies as fractions (a first line that is not numeric is a heading):
// one record per row, then a record repeating the last point with
// continuation digit 0. DETECTOR (0-99) and TEXT go into the first record.
// Returns false with a reason in ERROR for a table that the program cannot
// read (no rows, more than 29, energies not ascending, a field that is not
// a number).
bool efficiencyFromCsv(std::string_view csv, int detector, std::string_view text,
                       std::string& block, std::string& error);

// The efficiency block at the start of the data file DATA, copied record by
// record (line ends made LF). When DETECTOR is at least 0 it replaces the
// detector number (columns 41-42 of the first record), and TEXT, when not
// empty, the detector text (columns 51-82). False with ERROR when the file
// ends inside the block or the block has more than 30 records.
bool efficiencyFromDataFile(std::string_view data, int detector, std::string_view text,
                            std::string& block, std::string& error);

}  // namespace tcsum::ensdf
