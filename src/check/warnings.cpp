#include "check/warnings.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string_view>
#include <tuple>

#include "core/fatal.hpp"
#include "core/number_text.hpp"
#include "efficiency/eps.hpp"

namespace tcsum {

namespace {

// A value as the data file could hold it: the shortest decimal that reads
// back to the float.
std::string value(float x) {
  if (std::isnan(x)) return "nan";  // whatever its sign bit
  return text::shortest(x);
}

// A derived amount (a difference), to six significant digits.
std::string amount(double x) {
  return text::significant(x, 6);
}

std::string percent(float x) {
  return text::fixed(static_cast<double>(x), 2);
}

std::string dataSetPlace(const Store& s) {
  return "data set " + quoted(trimmedName(s.DSNAME));
}

std::string levelPair(int32_t J, int32_t I) {
  return std::to_string(J) + " -> " + std::to_string(I);
}

std::string transitionName(int32_t J, int32_t I) {
  return "transition " + levelPair(J, I);
}

// A balance finding's text starts with this and the level's number.
constexpr std::string_view kLevelFinding = "level ";

// Whether a value lies inside the energy range of the efficiency table (0
// counts as inside).
bool insideTable(const Store& s, float E) {
  return E == 0.0f || (E >= s.EFF(1, 1) && E <= s.EFF(1, s.NEFF));
}

// Where a value lies relative to the energy range of the efficiency table,
// as the start of a warning text; empty inside it.
std::string outsideTable(const Store& s, float E) {
  if (insideTable(s, E)) return {};
  const float first = s.EFF(1, 1);
  const float last = s.EFF(1, s.NEFF);
  if (E < first) {
    return " lies " + amount(static_cast<double>(first) - static_cast<double>(E)) +
           " keV below the first energy of the efficiency table (" + value(first) + " keV)";
  }
  return " lies " + amount(static_cast<double>(E) - static_cast<double>(last)) +
         " keV above the last energy of the efficiency table (" + value(last) + " keV)";
}

// The decay mode in upper case without blanks and dots, so that "e.c." and
// " EC" read as "EC".
std::string normalisedMode(const Text8& mode) {
  std::string out;
  for (char c : mode) {
    if (c == ' ' || c == '.') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

// An efficiency this many times the largest of its table is no detector's:
// the quadratic through points far apart overshoots.
constexpr float kOvershoot = 1.5f;

// What is wrong with the efficiencies the run uses at energy E (not 0):
// outside 0 ... 1, inside the table far above its values (an overshooting
// curve; beyond the table its extrapolation is warned of anyway), not finite,
// or 0, which is what a value extrapolated or interpolated to 0 or below is
// cut to. Empty when nothing is.
std::string efficiencyProblems(const Store& s, float E) {
  const Efficiencies eff = efficienciesAt(s, E);
  const bool extrapolated = !insideTable(s, E);
  std::string problems;
  auto add = [&problems](std::string text) {
    problems += problems.empty() ? "" : "; ";
    problems += text;
  };
  // The largest efficiency of a row of the table, as a fraction of 1.
  auto largest = [&s](int32_t row) {
    float most = 0.0f;
    for (int32_t i = 1; i <= s.NEFF; ++i)
      most = std::max(most, s.EFF(row, i));
    return most / 1000.0f;
  };
  const std::tuple<const char*, float, float> both[] = {{"total", eff.total, largest(2)},
                                                        {"full-energy-peak", eff.peak, largest(3)}};
  for (const auto& [name, x, most] : both) {
    const std::string what = std::string("the ") + name + " efficiency " +
                             (extrapolated ? "extrapolated" : "interpolated") + " from the table ";
    if (!std::isfinite(x)) {
      add(what + "is " + value(x) + ", no number (the table has " + std::to_string(s.NEFF) +
          (s.NEFF == 1 ? " point)" : " points)"));
    } else if (x > 1.0f) {
      add(what + "is " + value(x) + ", above 1 (used " + value(x) + ")");
    } else if (!extrapolated && x > kOvershoot * most) {
      add(what + "is " + value(x) + ", more than " + amount(static_cast<double>(kOvershoot)) +
          " times the largest of the table (" + value(most) +
          "): the curve overshoots between "
          "points far apart (used " +
          value(x) + ")");
    } else if (x < 0.0f) {
      add(what + "is " + value(x) + ", below 0 (used " + value(x) + ")");
    } else if (x == 0.0f) {
      add(what + "comes out 0 or below (used 0)");
    }
  }
  if (problems.empty()) return {};
  return problems + (extrapolated ? ": every factor that takes it is wrong; extend the table"
                                  : ": every factor that takes it is wrong; check the table, its "
                                    "spacing and its zero or blank efficiencies");
}

}  // namespace

void checkEfficiencyTable(const Store& s, std::vector<Warning>& out) {
  auto warn = [&out](int32_t point, std::string text) {
    // The block begins with the file, so point i is record i.
    out.push_back({"efficiency block", point, std::move(text)});
  };
  for (int32_t i = 1; i <= s.NEFF; ++i) {
    const float E = s.EFF(1, i);
    if (i > 1 && !(E > s.EFF(1, i - 1))) {
      warn(i, "energy " + value(E) + " keV is not above the energy of the point before (" +
                  value(s.EFF(1, i - 1)) +
                  " keV): the table must ascend, efficiencies interpolated near it are wrong");
    }
    const char* names[] = {"total", "full-energy-peak"};
    for (int32_t row = 2; row <= 3; ++row) {
      const float eff = s.EFF(row, i);
      const std::string what = std::string(names[row - 2]) + " efficiency " + value(eff) +
                               " per mille at " + value(E) + " keV";
      if (eff < 0.0f) warn(i, what + " is negative: check the value and its columns");
      if (eff > 1000.0f)
        warn(i, what + " is above 1000 per mille: check the value and its columns");
    }
    if (s.EFF(3, i) > s.EFF(2, i)) {
      warn(i, "full-energy-peak efficiency " + value(s.EFF(3, i)) + " per mille at " + value(E) +
                  " keV is above the total efficiency " + value(s.EFF(2, i)) +
                  ": check the columns (total 11-20, peak 21-30)");
    }
  }
}

void checkHeader(const Store& s, std::vector<Warning>& out) {
  auto warn = [&](std::string text) {
    out.push_back({dataSetPlace(s), s.headerRecord, std::move(text)});
  };
  const std::string mode = normalisedMode(s.DECMODE);
  const std::string shown = quoted(trimmedName(s.DECMODE));
  if (!isElectronCapture(s) && (mode.starts_with("EC") || mode.starts_with("EPS"))) {
    warn("decay mode " + shown +
         " is not \"EC\" in columns 11-12 with columns 13-18 blank: the data set is computed as "
         "not electron capture (no capture K x-rays); write exactly EC if it decays by "
         "electron capture");
  }
  if (mode.find("B+") != std::string::npos || mode.find("BETA+") != std::string::npos ||
      mode.starts_with("E+")) {
    warn("decay mode " + shown +
         " names beta-plus decay: annihilation radiation is not part of the model, so its "
         "summing is missing from every factor");
  }
  if (s.OMEGAK < 0.0f || s.OMEGAK > 1.0f) {
    warn("OMEGAK " + value(s.OMEGAK) + " lies outside 0 ... 1: check the value and columns 31-40");
  }
  if (std::string where = outsideTable(s, s.EX); !where.empty()) {
    warn("E(X) " + value(s.EX) + " keV" + where +
         ": the K x-ray efficiencies are extrapolated; extend the table");
  }
}

void checkDataSet(const Store& s, std::vector<Warning>& out) {
  const std::string place = dataSetPlace(s);
  auto warn = [&](int32_t record, std::string text) {
    out.push_back({place, record, std::move(text)});
  };

  bool captureK = false;
  for (int32_t i = 1; i <= s.NLEV; ++i) {
    const int32_t record = s.headerRecord + i;
    if (s.FEED(i) < 0.0f) {
      warn(record, "level " + std::to_string(i) + " has the negative feeding " + value(s.FEED(i)) +
                       " %: check the value and columns 11-20");
    }
    if (s.PK(i) < 0.0f || s.PK(i) > 1.0f) {
      warn(record, "level " + std::to_string(i) + " has the K-capture fraction PK " +
                       value(s.PK(i)) + " outside 0 ... 1: check the value and columns 21-30");
    }
    captureK = captureK || (s.FEED(i) > 0.0f && s.PK(i) > 0.0f);
  }
  captureK = captureK && isElectronCapture(s);

  int32_t conversionK = 0;  // the record of a transition with K conversion
  for (int32_t J = 1; J < kLevels; ++J) {
    for (int32_t I = 1; I <= kLevels; ++I) {
      const int32_t record = s.transitionRecord(J, I);
      if (record == 0) continue;
      // Named only when there is something to say: most transitions have nothing.
      auto name = [J, I] { return transitionName(J, I); };
      if (J > s.NLEV || I > s.NLEV) {
        warn(record, name() + " names a level beyond the last level " + std::to_string(s.NLEV) +
                         ": the record takes no part in the computation");
        continue;
      }
      if (I >= J) {
        warn(record, name() +
                         " does not go to a lower level: the record takes no part in the "
                         "computation; check the level numbers in columns 1-4");
        continue;
      }
      const float E = s.EGAM(J, I);
      const double levels = static_cast<double>(s.ELEV(J)) - static_cast<double>(s.ELEV(I));
      const double off = std::fabs(static_cast<double>(E) - levels);
      if (off > 1.0 && off > 0.01 * std::fabs(levels)) {
        warn(record, name() + " energy " + value(E) + " keV differs by " + amount(off) +
                         " keV from the difference of its level energies (" + amount(levels) +
                         " keV): the energy is used as read; check both");
      }
      if (s.XTR(J, I) < 0.0f)
        warn(record, name() + " has the negative intensity " + value(s.XTR(J, I)) + " %");
      if (s.ALPHA(J, I) < 0.0f)
        warn(record, name() + " has the negative ALPHA " + value(s.ALPHA(J, I)));
      if (s.ALPHAK(J, I) < 0.0f)
        warn(record, name() + " has the negative ALPHAK " + value(s.ALPHAK(J, I)));
      if (s.ALPHAK(J, I) > s.ALPHA(J, I)) {
        warn(record, name() + " has ALPHAK " + value(s.ALPHAK(J, I)) + " above ALPHA " +
                         value(s.ALPHA(J, I)) + ": check the columns (ALPHA 31-40, ALPHAK 41-50)");
      }
      if (s.XTR(J, I) != 0.0f) {
        if (!insideTable(s, E)) {
          warn(record, name() + " at " + value(E) + " keV" + outsideTable(s, E) +
                           ": its efficiencies are extrapolated; extend the table");
        }
        if (std::string problems = efficiencyProblems(s, E); !problems.empty())
          warn(record, name() + " at " + value(E) + " keV: " + problems);
        if (s.ALPHAK(J, I) > 0.0f && conversionK == 0) conversionK = record;
      }
    }
  }

  for (const Store::Replaced& r : s.replaced) {
    warn(r.record, transitionName(r.upper, r.lower) + " is read again in record " +
                       std::to_string(r.by) + ", which replaces this one");
  }

  // The efficiencies at E(X) are used where there are K x-rays.
  if (s.EX != 0.0f && (captureK || conversionK != 0)) {
    if (std::string problems = efficiencyProblems(s, s.EX); !problems.empty())
      warn(s.headerRecord, "K x-rays at E(X) " + value(s.EX) + " keV: " + problems);
  }
  if (s.EX == 0.0f && (captureK || conversionK != 0)) {
    warn(s.headerRecord,
         std::string("E(X) is 0 while the data set has ") +
             (conversionK != 0 ? "K conversion (record " + std::to_string(conversionK) + ")"
                               : std::string("K capture")) +
             ": the K x-rays get efficiency 0, so their summing is missing; enter the "
             "daughter's mean K x-ray energy in columns 21-30");
  }
}

void checkBalance(const Store& s, const std::vector<BalanceFinding>& findings,
                  std::vector<Warning>& out) {
  for (const BalanceFinding& f : findings) {
    const double difference = std::fabs(static_cast<double>(f.PIN) - static_cast<double>(f.POUT));
    out.push_back({dataSetPlace(s), s.headerRecord + f.level,
                   std::string(kLevelFinding) + std::to_string(f.level) + " is populated with " +
                       percent(f.PIN) + " % and depopulated with " + percent(f.POUT) +
                       " % (listed in the report): check its feeding and the intensities and "
                       "ALPHA of its transitions",
                   difference < static_cast<double>(kBalanceRelevance)});
  }
}

void checkResults(const DataSetResult& ds, int32_t headerRecord,
                  std::span<const TransitionRecord> records, std::vector<Warning>& out) {
  const std::string place = "data set " + quoted(trimmedName(ds.DSNAME));
  // A line's counts and factor: what is wrong with them, empty when nothing.
  auto problem = [](float RATE0, float RATE, float KORR, bool counted) -> std::string {
    const std::string values = "count " + value(RATE0) + " per 100 decays without coincidences, " +
                               value(RATE) + " with them, factor " + value(KORR);
    if (!std::isfinite(RATE0) || !std::isfinite(RATE) || !std::isfinite(KORR))
      return values + ": no number";
    if (RATE0 < 0.0f || RATE < 0.0f || KORR < 0.0f) return values + ": negative";
    if (counted && (RATE0 == 0.0f || RATE == 0.0f || KORR == 0.0f))
      return values + ": 0 for a line that is emitted";
    return {};
  };
  const std::string check =
      " (the values are used as computed; check the efficiency table and the warnings on the "
      "efficiencies)";
  for (const GammaLine& g : ds.gammas) {
    float intensity = 0.0f;
    for (const TransitionResult& t : ds.transitions) {
      if (t.upper == g.upper && t.lower == g.lower) intensity = t.intensity;
    }
    std::string what = problem(g.RATE0, g.RATE, g.KORR, intensity > 0.0f);
    if (what.empty()) continue;
    int32_t record = headerRecord;
    for (const TransitionRecord& r : records) {
      if (r.upper == g.upper && r.lower == g.lower) record = r.record;
    }
    out.push_back({place, record,
                   "gamma line " + levelPair(g.upper, g.lower) + " at " + value(g.energy) +
                       " keV: " + what + check});
  }
  if (ds.xray) {
    const XrayLine& x = *ds.xray;
    if (std::string what = problem(x.RATE0, x.RATE, x.KORR, true); !what.empty())
      out.push_back(
          {place, headerRecord, "K x-ray line at " + value(x.energy) + " keV: " + what + check});
  }
}

Warning trailingRecords(int32_t record) {
  return {"end marker", record, "records follow the end marker and are not read"};
}

void sortByRecord(std::vector<Warning>& warnings) {
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const Warning& a, const Warning& b) { return a.record < b.record; });
}

std::string formatWarning(const Warning& w) {
  return escapedControls("warning: " + w.where + ", record " + std::to_string(w.record) + ": " +
                         w.text);
}

std::string cappedList(const std::vector<std::string>& items, std::size_t shown) {
  std::string out;
  for (std::size_t k = 0; k < items.size() && k < shown; ++k) {
    if (k > 0) out += ", ";
    out += items[k];
  }
  if (items.size() > shown) out += " ... and " + std::to_string(items.size() - shown) + " more";
  return out;
}

std::vector<std::string> terminalLines(const std::vector<Warning>& warnings) {
  std::vector<std::string> lines;
  // The minor findings of each part of the data file, in one line where the
  // first of them stood.
  struct Minor {
    std::size_t line;  // in LINES
    const Warning* first;
    std::vector<std::string> levels;
  };
  std::vector<Minor> minors;
  for (const Warning& w : warnings) {
    if (!w.minor) {
      lines.push_back(formatWarning(w));
      continue;
    }
    auto same = std::find_if(minors.begin(), minors.end(),
                             [&w](const Minor& m) { return m.first->where == w.where; });
    if (same == minors.end()) {
      minors.push_back({lines.size(), &w, {}});
      lines.emplace_back();
      same = minors.end() - 1;
    }
    const std::string_view level = std::string_view(w.text).substr(kLevelFinding.size());
    same->levels.emplace_back(level.substr(0, level.find(' ')));
  }
  for (const Minor& m : minors) {
    const std::size_t n = m.levels.size();
    lines[m.line] =
        formatWarning({m.first->where, m.first->record,
                       std::to_string(n) + (n == 1 ? " level is" : " levels are") +
                           " populated and depopulated within " + percent(kBalanceRelevance) +
                           " % of decays of each other, too little to change a factor (level" +
                           (n == 1 ? " " : "s ") + cappedList(m.levels, kListedItems) +
                           "; each is listed in the report and in the JSON and HTML outputs)"});
  }
  return lines;
}

void WarningPrinter::print(const std::vector<Warning>& warnings) {
  count += warnings.size();
  if (quiet) return;
  for (const std::string& line : terminalLines(warnings))
    std::cerr << line << '\n';
}

void WarningPrinter::printLine(const std::string& line) {
  ++count;
  if (!quiet) std::cerr << escapedControls(line) << '\n';
}

}  // namespace tcsum
