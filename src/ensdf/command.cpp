#include "ensdf/command.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/fatal.hpp"
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

}  // namespace

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
    err << "error: no decay data set in the files matches\n";
    return 1;
  }

  Settings settings;
  settings.isomerThreshold = *threshold;
  settings.name = options.name;

  if (options.list) {
    for (const DataSet& set : sets) {
      const Conversion c = convert(set, settings);
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
  for (const DataSet& set : sets) {
    const Conversion c = convert(set, settings);
    for (const Warning& w : c.warnings)
      err << "warning: " << where(set, w.line) << escapedControls(w.text) << "\n";
    if (c.refusal != RefusalKind::None) {
      err << "refused: " << where(set, set.line) << escapedControls(c.reason) << "\n";
      continue;
    }
    for (const OutSet& o : c.sets) {
      writeDataSet(o, body);
      ++written;
    }
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
  std::ofstream file(options.output, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) {
    err << "error: cannot write " << options.output << "\n";
    return 1;
  }
  return 0;
}

}  // namespace tcsum::ensdf
