#include "geometry/materials.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <stdexcept>

#include "geometry/xcom.hpp"

namespace tcsum::geometry {

namespace {

struct NamedMaterial {
  const char* names;        // spellings, separated by '|'
  const char* composition;  // a formula, or "El:fraction El:fraction ..." by mass
  double density;           // g/cm^3
};

// Compositions and densities. Pure elements and stoichiometric compounds at
// their handbook densities (CRC Handbook of Chemistry and Physics); air,
// the polymers and the steel as in the NIST tables of materials for
// attenuation coefficients (ESTAR/XCOM material list); the mixtures marked
// "estimate" are typical values for which each laboratory should put its
// own composition and density in the description.
constexpr NamedMaterial kMaterials[] = {
    {"germanium|ge", "Ge", 5.323},
    {"aluminium|aluminum|al", "Al", 2.699},
    {"beryllium|be", "Be", 1.848},
    {"magnesium|mg", "Mg", 1.738},
    {"copper|cu", "Cu", 8.96},
    {"lead|pb", "Pb", 11.35},
    {"tin|sn", "Sn", 7.31},
    {"cadmium|cd", "Cd", 8.65},
    {"iron|fe", "Fe", 7.874},
    {"tungsten|w", "W", 19.3},
    {"silicon|si", "Si", 2.33},
    {"carbon|graphite", "C", 2.0},
    // Dry air near sea level (NIST): 0.001205 g/cm^3.
    {"air", "C:0.000124 N:0.755268 O:0.231781 Ar:0.012827", 0.001205},
    {"vacuum", "N:1", 0.0},
    {"water", "H2O", 1.0},
    // Quartz sand as a loose sample: SiO2, bulk density 1.6 (grains 2.65).
    {"quartz sand|sand", "SiO2", 1.6},
    {"quartz", "SiO2", 2.65},
    // Mineral soil, dry, bulk density 1.5 (estimate: a typical composition
    // of the main elements of soils, mass fractions).
    {"soil", "H:0.021 C:0.016 O:0.577 Al:0.050 Si:0.271 K:0.013 Ca:0.041 Fe:0.011", 1.5},
    // Carbon-fibre epoxy end caps and windows (estimate: 65 % carbon fibre,
    // 35 % epoxy resin C 0.72, H 0.07, O 0.16, N 0.05 by mass).
    {"carbon epoxy|carbon-epoxy|carbon fibre|carbon fiber|carbon composite",
     "C:0.902 H:0.0245 O:0.056 N:0.0175", 1.55},
    // Stainless steel AISI 304 (NIST): Fe 0.695, Cr 0.19, Ni 0.095, Mn 0.02.
    {"stainless steel|steel|ss304", "Fe:0.695 Cr:0.19 Ni:0.095 Mn:0.02", 8.0},
    {"polyethylene|pe", "C2H4", 0.94},
    {"polypropylene|pp", "C3H6", 0.90},
    {"polystyrene|ps", "C8H8", 1.05},
    {"pmma|acrylic|plexiglas|perspex", "C5H8O2", 1.19},
    {"mylar|pet|polyester", "C10H8O4", 1.40},
    {"kapton|polyimide", "C22H10N2O5", 1.42},
    {"teflon|ptfe", "C2F4", 2.2},
    {"pvc", "C2H3Cl", 1.38},
};

// A decimal number, the whole of TEXT, or nothing.
std::optional<double> decimal(std::string_view text) {
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::vector<std::pair<int, double>> compositionFractions(std::string_view composition) {
  if (composition.find(':') == std::string_view::npos) return formulaMassFractions(composition);
  std::vector<std::pair<int, double>> fractions;
  while (!composition.empty()) {
    std::size_t space = composition.find(' ');
    std::string_view item = composition.substr(0, space);
    composition = space == std::string_view::npos ? std::string_view() : composition.substr(space + 1);
    std::size_t colon = item.find(':');
    int z = atomicNumber(item.substr(0, colon));
    fractions.emplace_back(z, decimal(item.substr(colon + 1)).value());
  }
  return normalisedFractions(std::move(fractions));
}

// Formula grammar: group := (element count? | '(' group ')' count?)*,
// element := upper lower?, count := digits ('.' digits)?.
struct FormulaReader {
  std::string_view text;
  std::size_t pos = 0;

  [[noreturn]] void fail(const std::string& why) const {
    throw std::invalid_argument("formula \"" + std::string(text) + "\": " + why);
  }
  double count() {
    std::size_t start = pos;
    while (pos < text.size() && (std::isdigit(static_cast<unsigned char>(text[pos])) || text[pos] == '.'))
      ++pos;
    if (pos == start) return 1.0;
    std::string_view digits = text.substr(start, pos - start);
    std::optional<double> n = decimal(digits);
    if (!n || !(*n > 0.0)) fail("bad count " + std::string(digits));
    return *n;
  }
  // Atoms per formula unit, by Z.
  std::map<int, double> group(int depth) {
    std::map<int, double> atoms;
    while (pos < text.size()) {
      char c = text[pos];
      if (c == '(') {
        ++pos;
        auto inner = group(depth + 1);
        if (pos >= text.size() || text[pos] != ')') fail("unbalanced parenthesis");
        ++pos;
        double n = count();
        for (auto [z, k] : inner) atoms[z] += k * n;
      } else if (c == ')') {
        if (depth == 0) fail("unbalanced parenthesis");
        return atoms;
      } else if (std::isupper(static_cast<unsigned char>(c))) {
        std::size_t start = pos++;
        if (pos < text.size() && std::islower(static_cast<unsigned char>(text[pos]))) ++pos;
        std::string_view symbol = text.substr(start, pos - start);
        int z = atomicNumber(symbol);
        if (z == 0) fail("no element " + std::string(symbol));
        atoms[z] += count();
      } else {
        fail(std::string("unexpected character '") + c + "'");
      }
    }
    return atoms;
  }
};

}  // namespace

std::vector<std::pair<int, double>> normalisedFractions(std::vector<std::pair<int, double>> fractions) {
  std::map<int, double> merged;
  double sum = 0.0;
  for (auto [z, f] : fractions) {
    if (z < 1 || z > kXcomMaxZ) throw std::invalid_argument("no element with Z = " + std::to_string(z));
    if (!(f >= 0.0)) throw std::invalid_argument("a mass fraction is negative");
    merged[z] += f;
    sum += f;
  }
  if (!(sum > 0.0)) throw std::invalid_argument("the mass fractions add up to zero");
  std::vector<std::pair<int, double>> out;
  for (auto [z, f] : merged) out.emplace_back(z, f / sum);
  return out;
}

std::vector<std::pair<int, double>> formulaMassFractions(std::string_view formula) {
  FormulaReader reader{formula};
  if (formula.empty()) reader.fail("empty");
  auto atoms = reader.group(0);
  std::vector<std::pair<int, double>> mass;
  for (auto [z, n] : atoms) mass.emplace_back(z, n * atomicWeight(z));
  return normalisedFractions(std::move(mass));
}

std::optional<Material> namedMaterial(std::string_view name) {
  std::string key = lowered(name);
  for (const NamedMaterial& m : kMaterials) {
    std::string_view names = m.names;
    while (!names.empty()) {
      std::size_t bar = names.find('|');
      if (names.substr(0, bar) == key) {
        std::string primary(std::string_view(m.names).substr(0, std::string_view(m.names).find('|')));
        return Material{primary, compositionFractions(m.composition), m.density};
      }
      names = bar == std::string_view::npos ? std::string_view() : names.substr(bar + 1);
    }
  }
  return std::nullopt;
}

std::vector<std::string> materialNames() {
  std::vector<std::string> out;
  for (const NamedMaterial& m : kMaterials) {
    std::string_view names = m.names;
    out.emplace_back(names.substr(0, names.find('|')));
  }
  return out;
}

double massAttenuation(const Material& material, double energy, bool coherent) {
  double mu = 0.0;
  for (auto [z, fraction] : material.massFractions) {
    CrossSections s = crossSections(z, energy);
    mu += fraction * (coherent ? s.total() : s.withoutCoherent()) * barnToMassAttenuation(z);
  }
  return mu;
}

}  // namespace tcsum::geometry
