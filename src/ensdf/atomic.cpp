#include "ensdf/atomic.hpp"

#include <xraylib.h>

#include <array>
#include <cctype>
#include <string>

namespace tcsum::ensdf {

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
  // xraylib is asked once per element.
  static std::array<KShellData, kMaxZ + 1> cache{};
  static std::array<bool, kMaxZ + 1> cached{};
  if (z < 1 || z > kMaxZ) return {};
  if (cached[static_cast<std::size_t>(z)]) return cache[static_cast<std::size_t>(z)];

  KShellData data;
  double rates = 0.0;
  double weighted = 0.0;
  for (int line = KL1_LINE; line >= KP5_LINE; --line) {
    double rate = 0.0;
    double energy = 0.0;
    if (!call([&](xrl_error** e) { return RadRate(z, line, e); }, rate)) continue;
    if (!call([&](xrl_error** e) { return LineEnergy(z, line, e); }, energy)) continue;
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
  cache[static_cast<std::size_t>(z)] = data;
  cached[static_cast<std::size_t>(z)] = true;
  return data;
}

}  // namespace tcsum::ensdf
