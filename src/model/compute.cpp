#include <exception>

#include "core/fatal.hpp"
#include "model/model.hpp"

namespace tcsum {

std::span<const LevelRecord> RecordsRead::levels() {
  if (fault && faultAfter == Stage::header) std::rethrow_exception(fault);
  return levelList;
}

std::span<const TransitionRecord> RecordsRead::transitions() {
  if (fault) std::rethrow_exception(fault);
  return transitionList;
}

void computeDataSet(const Model& model, ModelWork& work, DataSetRecords& records,
                    const Efficiency& efficiency, DataSetResult& ds,
                    const ComputeOptions& options) {
  DataSetObserver none;
  DataSetObserver& observe = options.observer ? *options.observer : none;
  ds.levels.clear();
  ds.balance.clear();
  ds.transitions.clear();
  ds.gammas.clear();
  ds.xray.reset();
  ds.lines.clear();
  ds.reached = Stage::header;

  model.header(work, efficiency, records.headerRecord(), ds);
  observe.opened(ds);

  model.levels(work, records.levels(), ds);
  ds.reached = Stage::levels;
  observe.levelsDone(ds);

  model.read(work, records.transitions(), options.checks, ds);
  observe.read(work, ds);
  model.balance(work, options.checks, ds);
  observe.balanceDone(ds);

  ds.reached = Stage::transitions;
  try {
    model.transitions(work, efficiency, ds);
  } catch (const RunStop&) {
    observe.transitionsDone(ds);
    throw;
  }
  observe.transitionsDone(ds);
  if (options.last == Stage::transitions) return;

  model.results(work, efficiency, ds);
  ds.reached = Stage::complete;
  observe.resultsDone(ds);
}

}  // namespace tcsum
