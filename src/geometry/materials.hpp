#pragma once
// Materials of detectors, containers and samples: elements by mass fraction
// and a density, from a table of common materials by name, a chemical
// formula ("SiO2", "C5H8O2", "Ca(OH)2") or a list of mass fractions.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tcsum::geometry {

struct Material {
  std::string name;
  std::vector<std::pair<int, double>> massFractions;  // (Z, fraction); the fractions add up to 1
  double density = 0.0;                               // g/cm^3
};

// The named material (case and the spellings in the table ignored: "Aluminum",
// "aluminium"), or nothing.
std::optional<Material> namedMaterial(std::string_view name);
// The names of the table, for messages and the documentation.
std::vector<std::string> materialNames();

// The mass fractions of a chemical formula; throws std::invalid_argument
// with the reason for a formula that cannot be read.
std::vector<std::pair<int, double>> formulaMassFractions(std::string_view formula);

// Mass fractions normalised to 1 and merged by element; throws
// std::invalid_argument for negative fractions or a zero sum.
std::vector<std::pair<int, double>> normalisedFractions(std::vector<std::pair<int, double>> fractions);

// Mass attenuation coefficient, cm^2/g, at ENERGY (keV): with coherent
// scattering (the attenuation of a beam) or without it (the probability of
// an interaction that deposits energy).
double massAttenuation(const Material& material, double energy, bool coherent);

// Linear attenuation coefficient without coherent scattering, 1/cm: the
// coefficient of every absorber and of the active germanium in the model.
inline double attenuation(const Material& material, double energy) {
  return massAttenuation(material, energy, false) * material.density;
}

}  // namespace tcsum::geometry
