#pragma once
// The uncertainty of the correction factors that comes from the efficiency
// table, propagated by Monte Carlo: every sample scales the table's total and
// full-energy-peak efficiencies by log-normal factors (mean 1, the given
// relative standard deviations; so no efficiency changes sign) and computes
// every factor again with the program's own stages, in their own arithmetic,
// from the data set as read. The samples are spread over threads, each with
// its own data store; every sample draws from a stream fixed by the seed and
// its number, so the results do not depend on the number of threads.
// The sensitivities come from central differences of the same computation.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/result.hpp"
#include "core/store.hpp"
#include "decay/decay.hpp"
#include "efficiency/eps.hpp"
#include "model/model.hpp"

namespace tcsum {

struct UncertaintyOptions {
  UncertaintySettings settings;
  unsigned threads = 1;
  // Called on the calling thread as the samples get done: with 0 first and
  // with all of them last.
  std::function<void(int64_t done, int64_t total)> progress;
};

// The factors of a data set computed again from S, the store as the data set
// was read (efficiency table, header, levels and transitions) and changed at
// will, with the classic model through computeDataSet: the log table and the
// efficiencies at the K x-ray energy, then the transition stage, the cascade,
// the line rates and the factors. S is the model's work.
struct Factors {
  std::vector<TransitionResult> rows;
  std::vector<GammaLine> gammas;
  std::optional<XrayLine> xray;
};
// What the recomputations of one data set share: the efficiency stencils at
// E(X) and at every transition energy, which depend on the energies of the
// table and of the data set, not on the efficiencies. Made from S with its
// log table.
struct RecomputePlan {
  explicit RecomputePlan(const Store& s) : xray(efficiencyStencil(s, s.EX)), transitions(s) {}
  EfficiencyStencil xray;
  TransitionStencils transitions;
};
// With PLAN, made from a store with the same energies (table, E(X),
// transitions) and NEFF and KDET, only the efficiencies of the log table are
// built again, and every efficiency is combined from the plan's stencils:
// the same bits as without it.
void recomputeFactors(Store& s, Factors& out, const RecomputePlan* plan = nullptr);

// Gives every line of DS, a data set computed from ASREAD, its uncertainty,
// and DS the settings.
void propagateEfficiencyUncertainty(const Store& asRead, DataSetResult& ds,
                                    const UncertaintyOptions& options);

// The same for DS, a data set computed with MODEL from RECORDS, with the
// header of HEADER and with EFFICIENCY: every sample computes it again with
// a scaled() copy of EFFICIENCY, through computeDataSet.
void propagateEfficiencyUncertainty(const Model& model, const RecordsRead& records,
                                    const DataSetResult& header, const Efficiency& efficiency,
                                    DataSetResult& ds, const UncertaintyOptions& options);

}  // namespace tcsum
