// gen_talven: writes a large valid data file for throughput measurements.
//
//   gen_talven DATASETS SEED OUTPUT
//
// The file holds one 29-point efficiency table of a coaxial detector and
// DATASETS nuclides with dense decay schemes: up to 32 levels (30 in electron
// capture), each de-excited by transitions to many lower levels. Every other
// data set decays by electron capture. Intensities follow the population of
// each level, so the schemes balance to within a few percent. The same SEED
// gives the same file (with the same C++ standard library).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// Efficiency (x 10^3) of a coaxial detector: absorption in the window cuts off
// low energies; at high energies the peak efficiency falls faster than the total.
double peakEfficiency(double e) {
  return 235.0 * (1.0 - std::exp(-std::pow(e / 12.0, 2.5))) / (1.0 + std::pow(e / 150.0, 0.9));
}
double totalEfficiency(double e) {
  return 260.0 * (1.0 - std::exp(-std::pow(e / 10.0, 2.5))) / (1.0 + std::pow(e / 400.0, 0.5));
}

void writeEfficiencyBlock(std::FILE* out) {
  // 29 points, then the record that closes the block (continuation digit 0).
  const double energies[30] = {5,    8,    11,   15,   20,   30,   40,   50,   60,   80,
                               100,  120,  150,  200,  250,  300,  400,  500,  600,  800,
                               1000, 1200, 1400, 1700, 2000, 2400, 2800, 3300, 4000, 4500};
  for (int k = 0; k < 30; ++k) {
    const double e = energies[k];
    std::fprintf(out, "%10.1f%10.3f%10.3f          ", e, totalEfficiency(e), peakEfficiency(e));
    if (k == 0) {
      std::fprintf(out, "14        %-32s\n", "N-COAX 40% GENERATED, SRC ON CAP");
    } else {
      std::fprintf(out, "%d\n", k < 29 ? 1 : 0);
    }
  }
}

// Total conversion coefficient: large for soft transitions, tiny for hard ones.
double conversion(double energy) {
  return std::clamp(0.02 * std::pow(100.0 / energy, 2.0), 1e-5, 0.5);
}

void writeDataSet(std::FILE* out, int index, std::mt19937& rng) {
  auto uniform = [&rng](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  };
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

  const bool capture = index % 2 == 1;
  const int nlev = capture ? pick(24, 30) : pick(26, 32);
  std::fprintf(out, "G%07d  %-8s  %10.3f%10.4f\n", index + 1, capture ? "EC" : "B-",
               uniform(25.0, 95.0), uniform(0.80, 0.97));

  // Levels: ascending energies; the decay feeds a few levels strongly and
  // the rest weakly, 100 % in all.
  std::vector<double> energy(nlev + 1, 0.0), feed(nlev + 1, 0.0);
  double sum = 0.0;
  for (int j = 2; j <= nlev; ++j) {
    energy[j] = energy[j - 1] + uniform(25.0, 120.0);
    feed[j] = pick(0, 4) == 0 ? uniform(5.0, 30.0) : uniform(0.01, 1.0);
    sum += feed[j];
  }
  for (int j = 1; j <= nlev; ++j) {
    feed[j] *= 100.0 / sum;
    std::fprintf(out, "%10.3f%10.4f", energy[j], feed[j]);
    if (capture) std::fprintf(out, "%10.4f", uniform(0.70, 0.88));
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "       0.0\n");

  // Transitions, from the top level down: each level hands its population
  // on to many lower levels (always the ground state among them), with a
  // few percent of noise in the intensities.
  std::vector<double> population(feed);
  for (int j = nlev; j >= 2; --j) {
    std::vector<int> lower;
    for (int i = 1; i < j; ++i)
      lower.push_back(i);
    std::shuffle(lower.begin() + 1, lower.end(), rng);
    lower.resize(std::min<std::size_t>(lower.size(), static_cast<std::size_t>(pick(6, 16))));
    std::vector<double> weight;
    double total = 0.0;
    for (std::size_t n = 0; n < lower.size(); ++n)
      total += weight.emplace_back(uniform(0.1, 1.0));
    for (std::size_t n = 0; n < lower.size(); ++n) {
      const int i = lower[n];
      const double share = population[j] * weight[n] / total;
      population[i] += share;
      const double e = energy[j] - energy[i];
      const double alpha = conversion(e);
      const double gamma = std::max(share / (1.0 + alpha) * uniform(0.97, 1.03), 1e-4);
      std::fprintf(out, "%2d%2d      %10.3f%10.5f%10.7f%10.7f\n", j, i, e, gamma, alpha,
                   0.8 * alpha);
    }
  }
  std::fprintf(out, "33 1\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: gen_talven DATASETS SEED OUTPUT\n");
    return 2;
  }
  char* end = nullptr;
  const long datasets = std::strtol(argv[1], &end, 10);
  if (*end != '\0' || datasets < 0 || datasets > 9999999) {
    std::fprintf(stderr, "gen_talven: DATASETS must be a number from 0 to 9999999\n");
    return 2;
  }
  std::mt19937 rng(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
  std::FILE* out = std::fopen(argv[3], "w");
  if (out == nullptr) {
    std::perror(argv[3]);
    return 1;
  }
  writeEfficiencyBlock(out);
  for (int n = 0; n < datasets; ++n)
    writeDataSet(out, n, rng);
  std::fprintf(out, "E\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
