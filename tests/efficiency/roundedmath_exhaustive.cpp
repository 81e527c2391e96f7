// Every float input of the rounded logarithm and power of ten, checked
// against a wider reference: all positive finite floats for the logarithm,
// and for the power of ten every argument from -46 to 39, which takes in all
// whose result is a finite non-zero float and the first ones beyond on each
// side.
//
// Each input is first evaluated in double. When that double lies farther than
// kScreenWindow from every midpoint between two floats, its rounding is the
// correct one: the double logarithm and power err by a few units in the last
// place (2^-52), far inside the screen, and a sample of inputs confirms it
// below. The inputs inside the screen are evaluated in the wider type too;
// those whose exact value lies within the window of the functions must be
// exactly the table of hard cases, with their correctly rounded results.
//
// Under the sanitizers the scan takes every kStride-th input only.
// On failure the test prints the table as it should be.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "efficiency/roundedmath.hpp"

#if defined(TCSUM_HAVE_QUADMATH)
#include <quadmath.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
#define TCSUM_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define TCSUM_SANITIZED 1
#endif
#endif

namespace tcsum::roundedmath {
namespace {

#if defined(TCSUM_HAVE_QUADMATH)
using Wide = __float128;
Wide wideLog10(float x) {
  return log10q(static_cast<Wide>(x));
}
Wide widePow10(float x) {
  return powq(10, static_cast<Wide>(x));
}
// libquadmath errs by about one unit of 2^-112.
constexpr double kWideUnresolved = 0x1p-100;
#else
using Wide = long double;
Wide wideLog10(float x) {
  return std::log10(static_cast<Wide>(x));
}
Wide widePow10(float x) {
  return std::pow(10.0L, static_cast<Wide>(x));
}
constexpr double kWideUnresolved = 0x1p-58;
#endif

#if defined(TCSUM_SANITIZED)
constexpr uint32_t kStride = 17;
#else
constexpr uint32_t kStride = 1;
#endif
constexpr double kScreenWindow = 0x1p-40;
// What the double evaluation is allowed to err by (C libraries: 2^-52 to 2^-51).
constexpr double kDoubleError = 0x1p-50;
// One input in kSampleEvery has its double evaluation checked against the wider one.
constexpr uint32_t kSampleEvery = 8191;

struct Function {
  const char* name;
  double (*evaluate)(float);
  Wide (*reference)(float);
  float (*rounded)(float);
  std::span<const HardCase> cases;
};

Wide magnitude(Wide v) {
  return v < 0 ? -v : v;
}

float wideToFloat(Wide r) {
  if (r >= static_cast<Wide>(kOverflowMidpoint)) return std::numeric_limits<float>::infinity();
  return static_cast<float>(r);
}

bool sameFloat(float a, float b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

std::string hex(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%a", static_cast<double>(v));
  return text;
}

struct Scan {
  std::mutex lock;
  std::vector<HardCase> found;
  std::vector<std::string> failures;
  uint64_t inputs = 0;
  uint64_t screened = 0;

  void fail(const std::string& what) {
    std::lock_guard guard(lock);
    if (failures.size() < 20) failures.push_back(what);
  }
};

// The correctly rounded result of F at X from the wider reference, recording
// X when it is a hard case.
float resolve(const Function& f, float x, double y, Scan& scan, std::vector<HardCase>& found) {
  const Wide r = f.reference(x);
  if (nearMidpoint(r, kWideUnresolved)) scan.fail("unresolved by the reference: x = " + hex(x));
  if (magnitude(static_cast<Wide>(y) - r) > magnitude(r) * static_cast<Wide>(kDoubleError))
    scan.fail("double evaluation beyond its error bound: x = " + hex(x));
  const float correct = wideToFloat(r);
  if (nearMidpoint(r, kMidpointWindow)) found.push_back({x, correct});
  return correct;
}

// Whether Y lies within kScreenWindow of a midpoint. For a Y of the normal
// float range it suffices to look at the 29 bits of the double that rounding
// to float drops: the window is at most 2^13 units of Y's last place.
bool screened(double y) {
  const auto bits = std::bit_cast<uint64_t>(y);
  const auto exponent = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
  if (exponent < -126 || exponent > 127) return nearMidpoint(y, kScreenWindow);
  constexpr int64_t kHalf = int64_t{1} << 28;
  const auto dropped = static_cast<int64_t>(bits & 0x1fffffff);
  return std::abs(dropped - kHalf) <= (int64_t{1} << 13);
}

// Each input's double value is rounded correctly unless it falls inside the
// screen, and the function then returns that rounding whatever it looks up
// (the table entries are checked on their own), so only the screened inputs
// need the function's answer and the reference.
void scanRange(const Function& f, uint32_t firstBits, uint32_t lastBits, uint32_t stride,
               Scan& scan) {
  constexpr uint32_t kChunk = 1u << 20;
  std::atomic<uint64_t> next{firstBits};
  auto work = [&] {
    std::vector<HardCase> found;
    uint64_t inputs = 0;
    uint64_t candidates = 0;
    for (;;) {
      const uint64_t begin = next.fetch_add(kChunk);
      if (begin > lastBits) break;
      const uint64_t end = std::min<uint64_t>(begin + kChunk - 1, lastBits);
      for (uint64_t bits = begin; bits <= end; bits += stride) {
        const float x = std::bit_cast<float>(static_cast<uint32_t>(bits));
        const double y = f.evaluate(x);
        ++inputs;
        if (screened(y)) {
          ++candidates;
          // roundOnce looks in the table only where its quick test holds.
          if (nearMidpoint(y) && !mayBeNearMidpoint(y))
            scan.fail(std::string(f.name) + "(" + hex(x) + "): the quick midpoint test misses it");
          const float correct = resolve(f, x, y, scan, found);
          const float got = roundOnce(x, y, f.cases);
          if (!sameFloat(got, correct))
            scan.fail(std::string(f.name) + "(" + hex(x) + ") = " + hex(got) + ", correct " +
                      hex(correct));
        } else if (bits % kSampleEvery == 0) {
          resolve(f, x, y, scan, found);
        }
      }
    }
    std::lock_guard guard(scan.lock);
    scan.found.insert(scan.found.end(), found.begin(), found.end());
    scan.inputs += inputs;
    scan.screened += candidates;
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t)
    pool.emplace_back(work);
  for (auto& t : pool)
    t.join();
}

struct Range {
  float from;
  float to;  // of the same sign, farther from 0
};

void checkAll(const Function& f, const std::vector<Range>& ranges) {
  const auto start = std::chrono::steady_clock::now();
  Scan scan;
  for (const Range& r : ranges)
    scanRange(f, std::bit_cast<uint32_t>(r.from), std::bit_cast<uint32_t>(r.to), kStride, scan);
  std::sort(scan.found.begin(), scan.found.end(),
            [](const HardCase& a, const HardCase& b) { return a.x < b.x; });

  // The table itself, through the function as the program calls it.
  for (const HardCase& c : f.cases) {
    std::vector<HardCase> found;
    const float correct = resolve(f, c.x, f.evaluate(c.x), scan, found);
    if (found.empty()) scan.fail(std::string("not a hard case: ") + hex(c.x));
    if (!sameFloat(f.rounded(c.x), correct) || !sameFloat(c.result, correct))
      scan.fail(std::string(f.name) + "(" + hex(c.x) + ") should be " + hex(correct));
  }

#if defined(TCSUM_SANITIZED)
  // A sample finds only some of the table's inputs.
  for (const HardCase& c : scan.found) {
    if (!std::any_of(f.cases.begin(), f.cases.end(), [&](const HardCase& t) { return t.x == c.x; }))
      scan.fail(std::string("missing from the table: ") + hex(c.x));
  }
#else
  const bool sameTable = std::equal(scan.found.begin(), scan.found.end(), f.cases.begin(),
                                    f.cases.end(), [](const HardCase& a, const HardCase& b) {
                                      return sameFloat(a.x, b.x) && sameFloat(a.result, b.result);
                                    });
  if (!sameTable) {
    scan.fail(std::string("the table of ") + f.name + " is not the set of hard cases");
    std::printf("%s hard cases as found:\n", f.name);
    for (const HardCase& c : scan.found)
      std::printf("    {%sf, %sf},\n", hex(c.x).c_str(), hex(c.result).c_str());
  }
#endif

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %llu inputs, %llu screened, %zu hard cases, %.1f s\n", f.name,
              static_cast<unsigned long long>(scan.inputs),
              static_cast<unsigned long long>(scan.screened), scan.found.size(), seconds);
  for (const std::string& failure : scan.failures)
    ADD_FAILURE() << failure;
}

TEST(RoundedMathExhaustive, Log10OfEveryPositiveFiniteFloat) {
  const Function f{"log10", log10Double, wideLog10, roundedLog10, log10HardCases()};
  checkAll(f, {{std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max()}});
}

// Below 2^-28 in magnitude 10^x lies within 2^-26.7 of 1, far inside the
// half spacings of the floats around 1 (2^-25 below, 2^-24 above): all those
// arguments give 1, and a sample of them suffices.
TEST(RoundedMathExhaustive, Pow10OfEveryArgumentWithAFiniteNonZeroResult) {
  const Function f{"pow10", pow10Double, widePow10, roundedPow10, pow10HardCases()};
  constexpr float kTiny = 0x1p-28f;
  constexpr uint32_t kTinyStride = 4099;
  checkAll(f, {{kTiny, 39.0f}, {-kTiny, -46.0f}});
  for (uint32_t bits = 0; bits < std::bit_cast<uint32_t>(kTiny); bits += kTinyStride) {
    const float x = std::bit_cast<float>(bits);
    EXPECT_EQ(roundedPow10(x), 1.0f) << hex(x);
    EXPECT_EQ(roundedPow10(-x), 1.0f) << hex(-x);
  }
}

}  // namespace
}  // namespace tcsum::roundedmath
