#include "ensdf/command.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "core/fatal.hpp"
#include "core/safe_file.hpp"
#include "core/text_file.hpp"
#include "efficiency/csv_table.hpp"

#include "ensdf/convert.hpp"
#include "ensdf/dataset.hpp"
#include "ensdf/writer.hpp"

namespace tcsum::ensdf {

namespace {

std::string normalised(std::string_view name) {
  std::string out;
  for (char c : name)
    if (c != '-' && c != ' ' && c != '_')
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A plausible nuclide name: digits and one to three letters, nothing else.
bool nuclideForm(const std::string& name) {
  int digits = 0;
  int letters = 0;
  for (char c : name) {
    if (std::isdigit(static_cast<unsigned char>(c)))
      ++digits;
    else if (std::isalpha(static_cast<unsigned char>(c)))
      ++letters;
    else
      return false;
  }
  return digits > 0 && letters > 0 && letters <= 3;
}

// The bytes of PATH, read with the bounds of an ENSDF file; false with the
// one-line reason in ERROR.
bool readFile(const std::string& path, std::string& content, std::string& error) {
  try {
    content = readTextFile(path, kEnsdfFileLimits);
    return true;
  } catch (const InputFileError& e) {
    error = e.what();
    return false;
  }
}

// An efficiency table in CSV read by the strict reader (columns by their
// headings), as the rows "energy_keV,total,peak" the block is written from:
// each number the shortest text that reads back to the value read.
bool canonicalCsv(std::string_view content, const std::string& path, std::string& csv,
                  std::string& error) {
  try {
    // A quadratic through three points is the least the interpolation takes.
    const auto points = efficiency::parseEfficiencyCsv(content, path, {.minPoints = 3});
    csv = "energy_keV,total,peak\n";
    for (const efficiency::TablePoint& p : points) {
      const double row[] = {p.energy, p.total, p.peak};
      for (std::size_t k = 0; k < 3; ++k) {
        char buffer[32];
        csv.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, row[k]).ptr);
        csv += k == 2 ? '\n' : ',';
      }
    }
    return true;
  } catch (const InputFileError& e) {
    error = e.what();
    return false;
  }
}

bool looksLikeCsv(const std::string& path, std::string_view content) {
  if (path.size() >= 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".csv") return true;
  }
  // A table row or heading has three comma-separated cells; the first record
  // of a data file may hold a comma only in its detector text.
  const std::string_view first = content.substr(0, content.find('\n'));
  return std::count(first.begin(), first.end(), ',') == 2;
}

std::string where(const DataSet& set, int line) {
  return escapedControls(set.file + ":" + std::to_string(line) + ": " + set.dsid + ": ");
}

// The parent of SET as its nuclide and level: "166HO 5.969".
std::string parentLevel(const DataSet& set) {
  if (set.parents.empty()) return set.dsid.substr(0, set.dsid.find(' '));
  const ParentRecord& p = set.parents.front();
  return std::string(trim(p.nucid)) + " " + (p.energy.given ? p.energy.text : "0");
}

double parentHalfLife(const DataSet& set) {
  if (set.parents.empty()) return 0.0;
  const auto t = parseDuration(set.parents.front().halfLife);
  return t && !std::isnan(*t) ? *t : 0.0;
}

// Whether A and B are decays of one parent level: the same nuclide, level
// energies within 1 keV (evaluations of the branches differ in the last
// digits) and half-lives, where both are known, within a factor 1.5.
bool sameParent(const DataSet& a, const DataSet& b) {
  if (a.parents.empty() || b.parents.empty()) return parentLevel(a) == parentLevel(b);
  const ParentRecord& p = a.parents.front();
  const ParentRecord& q = b.parents.front();
  if (trim(p.nucid) != trim(q.nucid)) return false;
  auto energy = [](const Quantity& e) { return e.numeric ? e.value : e.given ? -1.0 : 0.0; };
  const bool numeric = (p.energy.numeric || !p.energy.given) && (q.energy.numeric || !q.energy.given);
  if (numeric && std::fabs(energy(p.energy) - energy(q.energy)) > 1.0) return false;
  if (!numeric && p.energy.text != q.energy.text) return false;
  const double s = parentHalfLife(a), t = parentHalfLife(b);
  if (s > 0.0 && t > 0.0 && std::max(s, t) > 1.5 * std::min(s, t)) return false;
  return true;
}

// Where the decay data sets of the nuclide NAME are filed: under the
// daughter's mass number.
std::string filedUnder(const std::string& name) {
  std::string digits;
  for (char c : normalised(name))
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  int mass = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), mass);
  if (error != std::errc() || end != digits.data() + digits.size() || mass > 999)
    return "(no mass number can be read from the name)";
  std::string text = std::to_string(mass) + " (beta, electron capture, isomeric transition)";
  if (mass > 4) text += " and " + std::to_string(mass - 4) + " (alpha)";
  return text;
}

}  // namespace

std::string inputAt(const Options& options, const std::string& output) {
  std::vector<std::string> inputs = options.files;
  if (!options.efficiency.empty()) inputs.push_back(options.efficiency);
  for (const std::string& input : inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(output, input, error)) return input;
  }
  return {};
}

bool matchesNuclide(const DataSet& set, const std::string& name) {
  const std::string wanted = normalised(name);
  std::string nucid;
  bool isomer = false;
  if (!set.parents.empty()) {
    nucid = set.parents.front().nucid;
    const Quantity& e = set.parents.front().energy;
    isomer = e.given && !(e.numeric && e.value == 0.0);
  } else {
    nucid = set.dsid.substr(0, set.dsid.find(' '));
  }
  std::string mass, element;
  for (char c : nucid) {
    if (std::isdigit(static_cast<unsigned char>(c)))
      mass += c;
    else if (c != ' ')
      element += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (isomer)
    return wanted == element + mass + "M" || wanted == mass + element + "M" ||
           wanted == mass + "M" + element;
  return wanted == element + mass || wanted == mass + element;
}

int run(const Options& options, std::ostream& out, std::ostream& err) {
  const auto threshold = parseDuration(options.isomerThreshold);
  if (!threshold || std::isnan(*threshold)) {
    err << "error: --isomer-threshold: cannot read \"" << options.isomerThreshold
        << "\" as a time such as \"1 us\"\n";
    return 2;
  }
  if (options.detectorGiven && (options.detector < 0 || options.detector > 99)) {
    err << "error: --detector: " << options.detector << " is not a number from 0 to 99\n";
    return 2;
  }
  if (options.name.size() > 8) {
    err << "error: --name: \"" << options.name << "\" is longer than 8 characters\n";
    return 2;
  }
  // The name heads the data set in the data file: "E" there is the end
  // marker, and a blank or unprintable name is not one the reader can tell.
  const bool printable = std::all_of(options.name.begin(), options.name.end(), [](char c) {
    return c >= ' ' && c <= '~';
  });
  const std::string_view nameText = trim(options.name);
  if (!options.name.empty() && (!printable || nameText.empty() || nameText == "E")) {
    err << "error: --name: \"" << (printable ? options.name : std::string("?"))
        << "\" cannot be written as a data-set name (it reads as the end marker, is blank or holds "
           "an unprintable byte)\n";
    return 2;
  }
  if (!options.nuclide.empty() && !nuclideForm(normalised(options.nuclide))) {
    err << "error: --nuclide: \"" << options.nuclide
        << "\" is not a nuclide such as CO60, Co-60 or 60CO\n";
    return 2;
  }
  if (options.files.empty()) {
    err << "error: no ENSDF file given\n";
    return 2;
  }
  if (options.output != "-") {
    if (const std::string input = inputAt(options, options.output); !input.empty()) {
      err << "error: -o: " << options.output << " is the input " << input
          << ": writing it would replace the input\n";
      return 2;
    }
  }

  std::vector<DataSet> sets;
  for (const std::string& path : options.files) {
    std::string content, error;
    if (!readFile(path, content, error)) {
      err << "error: " << escapedControls(error) << "\n";
      return 1;
    }
    for (DataSet& set : readDataSets(content, path)) {
      if (!options.nuclide.empty() && !matchesNuclide(set, options.nuclide)) continue;
      if (!options.dataset.empty() && set.dsid != options.dataset) continue;
      sets.push_back(std::move(set));
    }
  }
  if (sets.empty()) {
    if (!options.nuclide.empty() && options.dataset.empty())
      err << "error: no decay data set of " << escapedControls(normalised(options.nuclide))
          << " in the files: decay data sets are filed under the daughter's mass number, for "
             "this parent "
          << filedUnder(options.nuclide) << "\n";
    else
      err << "error: no decay data set in the files matches\n";
    return 1;
  }

  Settings settings;
  settings.isomerThreshold = *threshold;
  settings.name = options.name;
  settings.allowBetaPlus = options.allowBetaPlus;

  std::vector<Conversion> conversions;
  conversions.reserve(sets.size());
  for (const DataSet& set : sets)
    conversions.push_back(convert(set, settings));

  // One name, one parent: where data sets of different parent levels (an
  // isomer and the ground state, or two isomers) would be written under one
  // name, the longest-lived parent keeps it and the others are refused.
  auto nameOf = [&](const DataSet& set) {
    return settings.name.empty() ? parentName(set) : settings.name;
  };
  std::map<std::string, const DataSet*> namedParent;
  for (std::size_t i = 0; i < sets.size(); ++i) {
    if (conversions[i].refusal != RefusalKind::None) continue;
    const DataSet*& kept = namedParent[nameOf(sets[i])];
    if (kept == nullptr || parentHalfLife(sets[i]) > parentHalfLife(*kept)) kept = &sets[i];
  }
  auto otherParent = [&](const DataSet& set) -> std::string {
    const auto kept = namedParent.find(nameOf(set));
    if (kept == namedParent.end() || sameParent(*kept->second, set)) return {};
    const DataSet& k = *kept->second;
    return "the name " + kept->first + " is that of the longer-lived parent " + parentLevel(k) +
           " keV (T1/2 " + (k.parents.empty() ? std::string("?") : k.parents.front().halfLife) +
           ") written from " + k.file + ":" + std::to_string(k.line) +
           "; convert this parent alone with --dataset \"" + set.dsid + "\" and a --name of its own";
  };

  if (options.list) {
    for (std::size_t i = 0; i < sets.size(); ++i) {
      const DataSet& set = sets[i];
      const Conversion& c = conversions[i];
      out << where(set, set.line) << "parent " << escapedControls(parentName(set)) << ", daughter "
          << escapedControls(trim(set.nucid)) << ", mode " << escapedControls(set.decayToken())
          << ", " << c.levels << " levels, " << c.gammas << " gammas: ";
      if (c.refusal == RefusalKind::None)
        out << "converts (" << c.sets.size() << (c.sets.size() == 1 ? " data set" : " data sets")
            << ", " << c.warnings.size() << " warnings)\n";
      else
        out << "refused: " << escapedControls(c.reason) << "\n";
    }
    out.flush();
    if (!out) {
      err << "error: cannot write the listing to standard output\n";
      return 1;
    }
    return 0;
  }

  std::string block;
  if (!options.efficiency.empty()) {
    std::string content, error, csv;
    if (!readFile(options.efficiency, content, error)) {
      err << "error: " << escapedControls(error) << "\n";
      return 1;
    }
    if (looksLikeCsv(options.efficiency, content)) {
      if (!canonicalCsv(content, options.efficiency, csv, error)) {
        err << "error: " << escapedControls(error) << "\n";
        return 1;
      }
    }
    const bool ok =
        !csv.empty()
            ? efficiencyFromCsv(csv, options.detector, options.detectorText, block, error)
            : efficiencyFromDataFile(content, options.detectorGiven ? options.detector : -1,
                                     options.detectorText, block, error);
    if (!ok) {
      err << "error: " << escapedControls(options.efficiency + ": " + error) << "\n";
      return 1;
    }
  }

  std::string body;
  int written = 0;
  std::map<std::string, std::string> seen;       // DSID and records written: where from
  std::map<std::string, const DataSet*> nameOwner;  // name written: its parent
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const DataSet& set = sets[i];
    const Conversion& c = conversions[i];
    if (c.refusal == RefusalKind::None) {
      if (const std::string other = otherParent(set); !other.empty()) {
        err << "refused: " << where(set, set.line) << escapedControls(other) << "\n";
        continue;
      }
    }
    if (c.refusal != RefusalKind::None) {
      for (const Warning& w : c.warnings)
        err << "warning: " << where(set, w.line) << escapedControls(w.text) << "\n";
      err << "refused: " << where(set, set.line) << escapedControls(c.reason) << "\n";
      continue;
    }
    // A name written for another parent (the daughter's isomer reached from
    // two parents) gets a digit of its own.
    std::vector<OutSet> outSets = c.sets;
    std::vector<std::string> renamed;
    for (OutSet& o : outSets) {
      const std::string wanted = o.name;
      const auto owner = nameOwner.find(wanted);
      if (owner == nameOwner.end() || sameParent(*owner->second, set)) continue;
      // A digit, or a letter after a name that ends in one (GE-73M2B).
      const bool digit = std::isdigit(static_cast<unsigned char>(wanted.back())) != 0;
      for (char mark = digit ? 'B' : '2'; mark <= (digit ? 'Z' : '9'); ++mark) {
        o.name = wanted.substr(0, 7) + mark;
        if (nameOwner.count(o.name) == 0) break;
      }
      renamed.push_back(wanted + " as " + o.name);
      nameOwner.emplace(o.name, &set);
    }
    std::string records;
    for (const OutSet& o : outSets)
      writeDataSet(o, records);
    const auto [first, isNew] =
        seen.try_emplace(set.dsid + "\n" + records, set.file + ":" + std::to_string(set.line));
    if (!isNew) {
      err << "warning: " << where(set, set.line) << "the same data set as " << escapedControls(first->second)
          << ", written once\n";
      continue;
    }
    for (const Warning& w : c.warnings)
      err << "warning: " << where(set, w.line) << escapedControls(w.text) << "\n";
    for (const std::string& r : renamed)
      err << "warning: " << where(set, set.line) << "written " << escapedControls(r)
          << ": the name is that of a data set of another parent\n";
    for (const OutSet& o : outSets)
      nameOwner.emplace(o.name, &set);
    body += records;
    written += static_cast<int>(c.sets.size());
  }
  if (written == 0) {
    err << "error: no data set converted\n";
    return 1;
  }
  std::string text;
  if (options.efficiency.empty()) {
    text = body;
    err << "note: no --efficiency given: an efficiency block must precede these data sets and an "
           "end marker (E) follow them\n";
  } else {
    text = block + body + std::string(kEndMarker);
  }
  if (options.output == "-") {
    out << text;
    out.flush();
    if (!out) {
      err << "error: cannot write the output\n";
      return 1;
    }
    return 0;
  }
  // Whole or not at all, and never over an existing file.
  try {
    SafeFile file(options.output, SafeFile::Mode::besideKeep);
    file.write(text);
    file.commit(true);
  } catch (const SafeFile::Fault& fault) {
    err << "error: cannot write " << options.output
        << (fault.error == 0 ? std::string(": a file is in the way (not replaced)")
                             : ": " + std::string(std::strerror(fault.error)))
        << "\n";
    return 1;
  }
  return 0;
}

}  // namespace tcsum::ensdf
