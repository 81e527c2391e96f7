#pragma once
// The ensdf command: ENSDF decay data sets in, data sets for the program out.
//
//   tcsum ensdf [OPTIONS] FILE...
//
// FILE...          ENSDF files (any number of data sets, LF or CR LF, with or
//                  without comment records); only decay data sets are used.
// --list           list every selected decay data set (parent, daughter,
//                  mode, levels, gammas, whether it converts and if not why)
//                  on `out` instead of converting.
// --nuclide NAME   the parent's decay data sets, one per branch: CO60, Co-60,
//                  60CO; HO166M for a parent isomer. Default: every one.
// --dataset DSID   the one data set whose DSID is exactly this.
// --efficiency F   a data file whose efficiency block is copied, or a CSV
//                  file "energy_keV,total,peak" (efficiencies as fractions,
//                  at most 29 rows, a heading line allowed). The output is
//                  then a complete data file: efficiency block, data sets,
//                  end marker. Without it only the data-set records are
//                  written and a note on `err` says that an efficiency block
//                  must precede them.
// --detector NN    detector number 0-99 for the block (CSV; replaces the
//                  number of a copied block).
// --detector-text  detector text, 32 characters (the same).
// -o FILE          output file ("-": the stream `out`).
// --name NAME      data-set name, at most 8 characters (default from the
//                  parent, CO-60); parts of a decay below an isomer are named
//                  after the daughter isomer (AG-109M).
// --isomer-threshold TIME   a level living at least this long breaks the
//                  prompt cascade ("1 us"; units fs ps ns us ms s m h d y).
// --allow-beta-plus  write a decay with positrons in more than 1 % of decays
//                  (refused without it: the data file has no annihilation
//                  radiation).
//
// Warnings go to `err`, one line each: "warning: FILE:LINE: DSID: ...".
// A data set that cannot be converted gives one line
// "refused: FILE:LINE: DSID: reason". Exit status: 0 when at least one data
// set was written (or listed), 1 when none was or a file cannot be read or
// written, 2 for a usage error (bad threshold, detector, name or nuclide).
#include <ostream>
#include <string>
#include <vector>

namespace tcsum::ensdf {

struct Options {
  std::vector<std::string> files;
  bool list = false;
  std::string nuclide;     // empty = all
  std::string dataset;     // exact DSID, empty = not given
  std::string efficiency;  // data file or CSV; empty = none
  int detector = 0;
  bool detectorGiven = false;
  std::string detectorText;
  std::string output = "-";  // "-" = the stream `out`
  std::string name;          // empty = from the parent
  std::string isomerThreshold = "1 us";
  bool allowBetaPlus = false;
};

// The input of OPTIONS (an ENSDF file or the efficiency file) that the
// output file OUTPUT is, by any spelling or link; empty when none is.
std::string inputAt(const Options& options, const std::string& output);

// Runs the conversion; returns the exit status (0 ok, 1 fault, 2 usage).
int run(const Options& options, std::ostream& out, std::ostream& err);

// True when the parent of SET is the nuclide NAME in one of its written
// forms (CO60, Co-60, 60CO, HO166M, 166mHo).
struct DataSet;
bool matchesNuclide(const DataSet& set, const std::string& name);

}  // namespace tcsum::ensdf
