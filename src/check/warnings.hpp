#pragma once
// The checks of the data as read: what a run computes anyway but a user
// should look at (a decay mode that is almost "EC", a transition that takes
// no part, an efficiency evaluated outside its table, ...). Each finding is a
// Warning of the result model; none changes the data or the report.
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"
#include "input/reader.hpp"

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
// transition energies outside the efficiency table; the efficiencies used
// at them and at E(X) (where the data set has K x-rays) that are outside
// 0 ... 1, far above the table, no number or 0.
void checkDataSet(const Store& s, std::vector<Warning>& out);

// The levels the balance check lists, as warnings.
void checkBalance(const Store& s, const std::vector<BalanceFinding>& findings,
                  std::vector<Warning>& out);

// The lines of a computed data set whose counts or factor are no number,
// negative, or 0 for a line that is emitted; each named with its values, at
// the record of its transition among RECORDS (the header's for the K x-ray
// line). What the efficiencies there were is said by checkDataSet: a value
// outside 0 ... 1, far above the table, no number, or 0 ("used 0").
void checkResults(const DataSetResult& ds, int32_t headerRecord,
                  std::span<const TransitionRecord> records, std::vector<Warning>& out);

// Records after the end marker, the first of them at RECORD.
Warning trailingRecords(int32_t record);

// Puts the warnings in the order of their records (stable).
void sortByRecord(std::vector<Warning>& warnings);

// The console line, without its line end:
// `warning: data set "CO60", record 12: ...`.
std::string formatWarning(const Warning& w);

// ITEMS joined by ", ", the first SHOWN of them, the rest as "... and N more".
std::string cappedList(const std::vector<std::string>& items, std::size_t shown);

// The console lines of WARNINGS: one each, except that the minor balance
// findings of a data set make one line, at the place of the first of them.
std::vector<std::string> terminalLines(const std::vector<Warning>& warnings);

// Prints warnings on standard error as terminalLines gives them, unless
// QUIET, and counts every one of them for --strict.
struct WarningPrinter {
  bool quiet = false;
  std::size_t count = 0;
  void print(const std::vector<Warning>& warnings);
  // A warning about the run as a whole (the command line), as one line.
  void printLine(const std::string& line);
};

}  // namespace tcsum
