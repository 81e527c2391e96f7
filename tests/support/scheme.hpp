#pragma once
// Small decay schemes in a data store, for the decay-scheme and summing tests.
#include <cstdint>
#include <initializer_list>

#include "core/store.hpp"
#include "efficiency/eps.hpp"

namespace tcsum::test {

struct Line {  // a transition J -> I as the data file gives it
  int32_t J, I;
  float EGAM, XTR, ALPHA = 0.0f, ALPHAK = 0.0f;
};

// Levels 1 ... feed.size() with the given feedings, not electron capture. Efficiency points at
// 10 and 50 keV: below 50 keV the efficiencies lie on the straight line through them, total E/100
// and peak E/200 (E in keV), so 0.2 and 0.1 at 20 keV, 0.4 and 0.2 at 40 keV.
inline Store scheme(std::initializer_list<float> feed, std::initializer_list<Line> lines) {
  Store s;
  s.NEFF = 2;
  s.EFF(1, 1) = 10.0f, s.EFF(2, 1) = 100.0f, s.EFF(3, 1) = 50.0f;
  s.EFF(1, 2) = 50.0f, s.EFF(2, 2) = 500.0f, s.EFF(3, 2) = 250.0f;
  buildLogTable(s);
  for (float f : feed)
    s.FEED(++s.NLEV) = f;
  for (const Line& l : lines) {
    s.EGAM(l.J, l.I) = l.EGAM, s.XTR(l.J, l.I) = l.XTR;
    s.ALPHA(l.J, l.I) = l.ALPHA, s.ALPHAK(l.J, l.I) = l.ALPHAK;
  }
  return s;
}

struct Step {  // a transition J -> I as the transition stage leaves it, XTR set to 1
  int32_t J, I;
  float BPEAK, DMISS = 0.0f;
};

inline Store cascade(std::initializer_list<float> feed, std::initializer_list<Step> steps) {
  Store s = scheme(feed, {});
  for (const Step& t : steps)
    s.XTR(t.J, t.I) = 1.0f, s.BPEAK(t.J, t.I) = t.BPEAK, s.DMISS(t.J, t.I) = t.DMISS;
  return s;
}

}  // namespace tcsum::test
