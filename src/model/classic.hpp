#pragma once
// The classic model: the data store and its float stages (BALANCE,
// TRANSITIONS, CASCADE, LINERATES, CORRECT), each operation rounded as it
// always was, with the efficiencies of the data file's table.
#include <memory>
#include <optional>

#include "core/store.hpp"
#include "decay/decay.hpp"
#include "input/reader.hpp"
#include "model/model.hpp"

namespace tcsum {

// The classic model's work: a data store, its own or one it is given.
class ClassicWork final : public ModelWork {
 public:
  ClassicWork() : own_(std::make_unique<Store>()), s_(own_.get()) {}
  explicit ClassicWork(Store& s) : s_(&s) {}
  // A work with a store of its own that starts as a copy of BASE.
  static std::unique_ptr<ClassicWork> copyOf(const Store& base) {
    auto work = std::make_unique<ClassicWork>();
    *work->s_ = base;
    return work;
  }
  Store& store() { return *s_; }
  const Store& store() const { return *s_; }
  // The efficiency stencils at the transition energies, when the caller
  // gives them or sameEnergies let the work keep them.
  const TransitionStencils* stencils = nullptr;
  std::optional<TransitionStencils> kept;

 private:
  std::unique_ptr<Store> own_;
  Store* s_;
};

// The classic model computes with a TableEfficiency (any other efficiency
// is refused with std::invalid_argument).
class ClassicModel final : public Model {
 public:
  std::unique_ptr<ModelWork> newWork() const override;
  void header(ModelWork& work, const Efficiency& efficiency, int32_t headerRecord,
              DataSetResult& ds) const override;
  void levels(ModelWork& work, std::span<const LevelRecord> records,
              DataSetResult& ds) const override;
  void read(ModelWork& work, std::span<const TransitionRecord> records, bool checks,
            DataSetResult& ds) const override;
  void balance(ModelWork& work, bool checks, DataSetResult& ds) const override;
  void transitions(ModelWork& work, const Efficiency& efficiency,
                   DataSetResult& ds) const override;
  void results(ModelWork& work, const Efficiency& efficiency, DataSetResult& ds) const override;
};

// The header of the data set that S holds, for a result.
void takeHeader(const Store& s, DataSetResult& ds);

// The records of the data set S holds as read (after its transitions were
// stored, before anything was computed from it): storing them again in a
// cleared store gives every value the stages read.
void recordsOf(const Store& s, RecordsRead& out);

}  // namespace tcsum
