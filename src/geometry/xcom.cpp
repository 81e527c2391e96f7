#include "geometry/xcom.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry/xcom_data.hpp"

namespace tcsum::geometry {

namespace {

// Avogadro's number in units of 1e24 per mole: barn (1e-24 cm^2) per atom
// times N_A / A gives cm^2/g.
constexpr double kAvogadroPerBarn = 0.602214076;

// Two grid energies closer than this (relative) are the two sides of an edge.
constexpr double kEdgeSpacing = 1e-3;

constexpr int kColumns = 5;

struct ElementTable {
  std::string symbol;
  double atomicWeight = 0.0;
  std::vector<double> logEnergy;
  std::vector<std::array<double, kColumns>> sigma;  // barn
  std::vector<bool> edgeBelow;                      // point i and i+1 straddle an edge
};

double parseNumber(std::string_view text) {
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    throw std::logic_error("built-in XCOM table: bad number " + std::string(text));
  return value;
}

// The comma-separated fields of each line after the header.
std::vector<std::vector<std::string_view>> rows(std::string_view text) {
  std::vector<std::vector<std::string_view>> out;
  bool header = true;
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (header) {
      header = false;
      continue;
    }
    std::vector<std::string_view> fields;
    for (;;) {
      std::size_t comma = line.find(',');
      fields.push_back(line.substr(0, comma));
      if (comma == std::string_view::npos) break;
      line.remove_prefix(comma + 1);
    }
    out.push_back(std::move(fields));
  }
  return out;
}

std::vector<ElementTable> loadTables() {
  std::vector<ElementTable> tables(kXcomMaxZ + 1);
  for (const auto& row : rows(xcomElementList())) {
    if (row.size() != 3) throw std::logic_error("built-in XCOM element list: bad row");
    int z = static_cast<int>(parseNumber(row[0]));
    if (z < 1 || z > kXcomMaxZ) throw std::logic_error("built-in XCOM element list: bad Z");
    tables[z].symbol = std::string(row[1]);
    tables[z].atomicWeight = parseNumber(row[2]);
  }
  for (const XcomFile& file : xcomElementFiles()) {
    int z = static_cast<int>(parseNumber(file.name.substr(1, 3)));
    if (z < 1 || z > kXcomMaxZ) throw std::logic_error("built-in XCOM table: bad file name");
    ElementTable& t = tables[z];
    for (const auto& row : rows(file.text)) {
      if (row.size() != kColumns + 1) throw std::logic_error("built-in XCOM table: bad row");
      t.logEnergy.push_back(std::log(parseNumber(row[0])));
      std::array<double, kColumns> s{};
      for (int c = 0; c < kColumns; ++c) s[c] = parseNumber(row[c + 1]);
      t.sigma.push_back(s);
    }
    for (std::size_t i = 0; i + 1 < t.logEnergy.size(); ++i)
      t.edgeBelow.push_back(t.logEnergy[i + 1] - t.logEnergy[i] < kEdgeSpacing);
  }
  for (int z = 1; z <= kXcomMaxZ; ++z)
    if (tables[z].logEnergy.size() < 2 || tables[z].atomicWeight <= 0.0)
      throw std::logic_error("built-in XCOM tables: element " + std::to_string(z) + " missing");
  return tables;
}

// Parsed once, on first use; the initialisation of a local static is safe
// under threads and the tables are never changed after it.
const std::vector<ElementTable>& tables() {
  static const std::vector<ElementTable> loaded = loadTables();
  return loaded;
}

const ElementTable& table(int z) {
  if (z < 1 || z > kXcomMaxZ) throw std::invalid_argument("no element with Z = " + std::to_string(z));
  return tables()[z];
}

// One cross section between grid points lo and lo+1 (no edge between them).
double interpolate(double logE, double logLo, double logHi, double lo, double hi) {
  if (lo > 0.0 && hi > 0.0) {
    double f = (logE - logLo) / (logHi - logLo);
    return std::exp(std::log(lo) + f * (std::log(hi) - std::log(lo)));
  }
  if (hi <= 0.0) return 0.0;  // below a threshold
  // The interval that starts at a threshold (where the table gives 0).
  double threshold = std::exp(logLo);
  double x = (std::exp(logE) - threshold) / (std::exp(logHi) - threshold);
  return hi * x * x * x;
}

}  // namespace

CrossSections crossSections(int z, double energy) {
  const ElementTable& t = table(z);
  if (!(energy >= kXcomMinEnergy && energy <= kXcomMaxEnergy))
    throw std::invalid_argument("photon energy outside the cross-section tables (1 keV to 100 GeV)");
  double logE = std::log(energy);
  // The interval [i, i+1] holding E; at a grid energy the interval above it.
  auto it = std::upper_bound(t.logEnergy.begin(), t.logEnergy.end(), logE);
  std::size_t hi = std::min<std::size_t>(static_cast<std::size_t>(it - t.logEnergy.begin()),
                                         t.logEnergy.size() - 1);
  std::size_t lo = hi - 1;
  std::array<double, kColumns> s{};
  if (t.edgeBelow[lo]) {
    // Between the two sides of an edge, 0.1 eV apart: still below the edge.
    s = t.sigma[lo];
  } else {
    for (int c = 0; c < kColumns; ++c)
      s[c] = interpolate(logE, t.logEnergy[lo], t.logEnergy[hi], t.sigma[lo][c], t.sigma[hi][c]);
  }
  return {s[0], s[1], s[2], s[3], s[4]};
}

int atomicNumber(std::string_view symbol) {
  const auto& all = tables();
  for (int z = 1; z <= kXcomMaxZ; ++z)
    if (all[z].symbol == symbol) return z;
  return 0;
}

std::string_view elementSymbol(int z) { return table(z).symbol; }

double atomicWeight(int z) { return table(z).atomicWeight; }

double barnToMassAttenuation(int z) { return kAvogadroPerBarn / table(z).atomicWeight; }

}  // namespace tcsum::geometry
