#pragma once
// The checks of the data as read: what a run computes anyway but a user
// should look at (a decay mode that is almost "EC", a transition that takes
// no part, an efficiency evaluated outside its table, ...). Each finding is a
// Warning of the result model; none changes the data or the report.
#include <cstddef>
#include <string>
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"

namespace tcsum {

// The efficiency table (points 1 ... NEFF): energies not ascending,
// efficiencies below 0 or above 1000 per mille, peak above total.
void checkEfficiencyTable(const Store& s, std::vector<Warning>& out);

// The data-set header just read: a decay mode that looks like electron
// capture but is not "EC" with six blanks, beta-plus decay, OMEGAK outside
// 0 ... 1, E(X) outside the efficiency table.
void checkHeader(const Store& s, std::vector<Warning>& out);

// The levels and transitions of the data set just read, before anything is
// computed: transitions that take no part, energies that disagree with their
// levels, replaced records, values out of range, E(X) missing for K x-rays,
// transition energies outside the efficiency table.
void checkDataSet(const Store& s, std::vector<Warning>& out);

// The levels the balance check lists, as warnings.
void checkBalance(const Store& s, const std::vector<BalanceFinding>& findings,
                  std::vector<Warning>& out);

// Records after the end marker, the first of them at RECORD.
Warning trailingRecords(int32_t record);

// Puts the warnings in the order of their records (stable).
void sortByRecord(std::vector<Warning>& warnings);

// The console line, without its line end:
// `warning: data set "CO60", record 12: ...`.
std::string formatWarning(const Warning& w);

// Prints warnings on standard error, one line each, unless QUIET, and
// counts them for --strict.
struct WarningPrinter {
  bool quiet = false;
  std::size_t count = 0;
  void print(const std::vector<Warning>& warnings);
};

}  // namespace tcsum
