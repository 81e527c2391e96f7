#pragma once
// Efficiencies from the model of detector and source.
//
// Total efficiency of an emission point: the probability that a photon has
// its first interaction (coherent scattering left out) in the active
// germanium, integrated over the directions with the attenuation of every
// region on the way (source matrix, container, end cap, holder, dead
// layers). Of a source: the mean over its emission points, weighted by the
// activity. This is the effective solid angle Omega_eff(E) / 4 pi.
//
// Full-energy-peak efficiency: transferred from a measured calibration in a
// reference geometry, eps_p(E, sample) = eps_p(E, ref) Omega_eff(E, sample) /
// Omega_eff(E, ref), the ratio eps_p / Omega_eff at the calibration energies
// interpolated log-log in energy; or from a peak-to-total curve,
// eps_p = P/T(E) x total. A calibration that gives the total efficiency too
// transfers it the same way; otherwise the total is the model's.
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/efficiency.hpp"
#include "geometry/description.hpp"
#include "geometry/quadrature.hpp"

namespace tcsum::geometry {

struct PreparedSource;

// The total efficiency of every emission point of a source at the energies
// asked for so far: each energy computed once, in one pass over the rays
// for all energies missing, and shared by every node and thread.
class TotalsCache {
 public:
  // Per energy of ENERGIES the totals of the points of SOURCE.
  std::vector<std::vector<double>> totals(const PreparedSource& source, std::span<const double> energies);

 private:
  std::mutex mutex_;
  std::map<double, std::vector<double>> byEnergy_;
};

// A geometry made ready for any energy: its emission points and their rays.
struct PreparedSource {
  std::vector<Material> materials;
  std::vector<EmissionPoint> points;
  std::vector<Rays> rays;  // per point
  Orders orders;
  std::shared_ptr<TotalsCache> cache = std::make_shared<TotalsCache>();
  std::size_t rayCount() const;
};
PreparedSource prepare(const Geometry& geometry, const Orders& orders = {});

// The attenuation coefficients (1/cm, coherent scattering left out) of the
// materials at ENERGY.
std::vector<double> attenuations(const std::vector<Material>& materials, double energy);

// Total efficiency of emission point K, and of the whole source.
double pointTotal(const PreparedSource& source, std::size_t k, double energy);
double sourceTotal(const PreparedSource& source, double energy);
// The total efficiencies at ENERGIES of one emission point (POINT) or of the
// whole source, every ray read once for all of them.
std::vector<double> totals(const PreparedSource& source, std::span<const double> energies,
                           std::optional<std::size_t> point = std::nullopt);

// A curve through points (E, y), log-log, the end intervals extended.
struct LogLogCurve {
  std::vector<double> logEnergy;
  std::vector<double> logValue;
  double at(double energy) const;
  double lowest() const;
  double highest() const;
};

// How the full-energy-peak (and measured total) efficiency is made from the
// model's total efficiency.
struct PeakRule {
  LogLogCurve peakPerTotal;                // eps_p / Omega_eff, or P/T
  std::optional<LogLogCurve> totalFactor;  // eps_t(ref, measured) / Omega_eff(ref)
  std::string describe;
};

// A calibration file: energy_keV,peak[,total]; a peak-to-total file:
// energy_keV,peak_to_total. Throws DescriptionError ("message, file F, line N").
struct CalibrationPoint {
  double energy = 0.0;
  double peak = 0.0;
  std::optional<double> total;
};
std::vector<CalibrationPoint> readCalibration(const std::string& path);
std::vector<std::pair<double, double>> readPeakToTotal(const std::string& path);

PeakRule transferRule(const std::vector<CalibrationPoint>& calibration, const PreparedSource& reference,
                      const std::string& describe);
PeakRule peakToTotalRule(const std::vector<std::pair<double, double>>& curve, const std::string& describe);

// The efficiencies of a prepared source through a peak rule: one point of
// the source (POINT) or the mean over all of them (no POINT).
std::shared_ptr<const Efficiency> modelEfficiency(std::shared_ptr<const PreparedSource> source,
                                                  std::shared_ptr<const PeakRule> rule,
                                                  std::optional<std::size_t> point = std::nullopt);

// The integration error: the totals at check energies with the given orders
// and with every order raised by one.
struct Accuracy {
  std::vector<double> energies;
  std::vector<double> total;
  std::vector<double> refined;
  double maxRelative() const;
};
Accuracy estimateAccuracy(const Geometry& geometry, const PreparedSource& source,
                          const std::vector<double>& energies);

// Where the peak efficiency comes from.
struct Calibration {
  std::string file;           // --calibration
  std::string geometryFile;   // --calibration-geometry (the detector is the sample's)
  std::string peakToTotal;    // --peak-to-total, instead of the two above
};

// Everything a command needs: the sample's nodes with weights, each with
// its own efficiencies, and the volume average.
struct SampleEfficiency {
  Geometry geometry;
  std::shared_ptr<const PreparedSource> sample;
  std::shared_ptr<const PreparedSource> reference;  // null with a P/T curve
  std::shared_ptr<const PeakRule> rule;
  SourceEfficiency nodes;
  std::shared_ptr<const Efficiency> average;
};
// The emission points of SAMPLE as nodes, each with its own efficiencies.
SourceEfficiency sampleNodes(const std::shared_ptr<const PreparedSource>& sample,
                             const std::shared_ptr<const PeakRule>& rule);

// The quadrature of a sample whose summing is counted point by point: every
// emission point is a computation of the whole decay, so the volume keeps
// its order and the polar angle, the direction the model converges fastest
// in, gives one up. The examples' 100 mL beaker: total efficiency within
// 3e-5 from 50 keV up; the Marinelli beaker within 1.3e-3.
inline constexpr Orders kCountedSampleOrders{4, 3, 4};

SampleEfficiency sourceEfficiency(const std::string& detectorFile, const std::string& sourceFile,
                                  const Calibration& calibration, const Orders& orders = {});

}  // namespace tcsum::geometry
