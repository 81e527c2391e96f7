#include "atomic/atomic.hpp"

#include <xraylib.h>

#include <array>
#include <cctype>
#include <cstddef>
#include <string>

namespace tcsum::atomic {

namespace {

// A call to xraylib; nothing when it reports an error.
template <typename F>
bool call(F function, double& value) {
  xrl_error* error = nullptr;
  value = function(&error);
  if (error != nullptr) {
    xrl_error_free(error);
    return false;
  }
  return true;
}

constexpr int kMaxZ = 120;

// Radiative rate and energy of one line of Z; false when xraylib has none.
bool line(int z, int id, double& rate, double& energy) {
  return call([&](xrl_error** e) { return RadRate(z, id, e); }, rate) &&
         call([&](xrl_error** e) { return LineEnergy(z, id, e); }, energy);
}

KShellData computeKShell(int z) {
  KShellData data;
  double rates = 0.0;
  double weighted = 0.0;
  for (int id = KL1_LINE; id >= KP5_LINE; --id) {
    double rate = 0.0;
    double energy = 0.0;
    if (!line(z, id, rate, energy)) continue;
    rates += rate;
    weighted += rate * energy;
  }
  if (rates > 0.0) {
    data.energy = weighted / rates;
    data.energyKnown = true;
  }
  double yield = 0.0;
  if (call([&](xrl_error** e) { return FluorYield(z, K_SHELL, e); }, yield) && yield > 0.0) {
    data.yield = yield;
    data.yieldKnown = true;
  }
  return data;
}

// Sum of rate and of rate x energy over the lines FIRST down to LAST (the
// xraylib line numbers run downwards).
struct RateSum {
  double rate = 0.0;
  double weighted = 0.0;
};
RateSum lines(int z, int first, int last) {
  RateSum sum;
  for (int id = first; id >= last; --id) {
    double rate = 0.0;
    double energy = 0.0;
    if (!line(z, id, rate, energy)) continue;
    sum.rate += rate;
    sum.weighted += rate * energy;
  }
  return sum;
}

AtomicData computeAtomic(int z) {
  AtomicData data;
  double omegaK = 0.0;
  if (call([&](xrl_error** e) { return FluorYield(z, K_SHELL, e); }, omegaK) && omegaK > 0.0)
    data.omegaK = omegaK;

  struct Group {
    const char* label;
    int first, last;
  };
  constexpr std::array<Group, 4> groups{{{"Ka1", KL3_LINE, KL3_LINE},
                                          {"Ka2", KL1_LINE, KL2_LINE},
                                          {"Kb1", KM1_LINE, KM5_LINE},
                                          {"Kb2", KN1_LINE, KP5_LINE}}};
  std::array<RateSum, 4> sums{};
  double allRates = 0.0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    sums[g] = lines(z, groups[g].first, groups[g].last);
    allRates += sums[g].rate;
  }
  for (std::size_t g = 0; g < groups.size(); ++g)
    if (sums[g].rate > 0.0)
      data.kLines.push_back(
          {groups[g].label, sums[g].weighted / sums[g].rate, sums[g].rate / allRates});

  // The L shell: x-rays per primary vacancy, subshell by subshell.
  double w1 = 0.0, w2 = 0.0, w3 = 0.0;
  auto yield = [&](int shell, double& w) {
    return call([&](xrl_error** e) { return FluorYield(z, shell, e); }, w);
  };
  auto transfer = [&](int trans) {
    double f = 0.0;
    return call([&](xrl_error** e) { return CosKronTransProb(z, trans, e); }, f) ? f : 0.0;
  };
  if (yield(L1_SHELL, w1) && yield(L2_SHELL, w2) && yield(L3_SHELL, w3)) {
    const double n1 = 2.0 / 8.0, n2 = 2.0 / 8.0, n3 = 4.0 / 8.0;
    const double f12 = transfer(FL12_TRANS), f13 = transfer(FL13_TRANS),
                 f23 = transfer(FL23_TRANS);
    const double x1 = n1 * w1;
    const double x2 = (n2 + n1 * f12) * w2;
    const double x3 = (n3 + n2 * f23 + n1 * (f13 + f12 * f23)) * w3;
    const RateSum l1 = lines(z, L1L2_LINE, L1P5_LINE);
    const RateSum l2 = lines(z, L2L3_LINE, L2Q1_LINE);
    const RateSum l3 = lines(z, L3M1_LINE, L3Q1_LINE);
    // Each subshell's lines weighted by its x-rays, the rates within it
    // normalised to its own sum.
    double weight = 0.0, weighted = 0.0;
    for (auto [x, sum] : {std::pair{x1, l1}, std::pair{x2, l2}, std::pair{x3, l3}}) {
      if (sum.rate <= 0.0) continue;
      weight += x;
      weighted += x * sum.weighted / sum.rate;
    }
    if (weight > 0.0) {
      data.omegaL = x1 + x2 + x3;
      data.lEnergy = weighted / weight;
    }
  }
  return data;
}

// Both tables, made once for every element the first time one is asked for
// (the initialisation of a function-local static is safe under threads).
struct Tables {
  std::array<KShellData, kMaxZ + 1> kShell{};
  std::array<AtomicData, kMaxZ + 1> atomic{};
};
const Tables& tables() {
  static const Tables t = [] {
    Tables made;
    for (int z = 1; z <= kMaxZ; ++z) {
      made.kShell[static_cast<std::size_t>(z)] = computeKShell(z);
      made.atomic[static_cast<std::size_t>(z)] = computeAtomic(z);
    }
    return made;
  }();
  return t;
}

}  // namespace

int atomicNumber(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 2) return 0;
  std::string name;
  name += static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[0])));
  if (symbol.size() == 2)
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(symbol[1])));
  if (!std::isalpha(static_cast<unsigned char>(name[0])) ||
      (name.size() == 2 && !std::isalpha(static_cast<unsigned char>(name[1]))))
    return 0;
  xrl_error* error = nullptr;
  const int z = SymbolToAtomicNumber(name.c_str(), &error);
  if (error != nullptr) {
    xrl_error_free(error);
    return 0;
  }
  return z;
}

KShellData kShellData(int z) {
  if (z < 1 || z > kMaxZ) return {};
  return tables().kShell[static_cast<std::size_t>(z)];
}

AtomicData atomicData(int z) {
  if (z < 1 || z > kMaxZ) return {};
  return tables().atomic[static_cast<std::size_t>(z)];
}

}  // namespace tcsum::atomic
