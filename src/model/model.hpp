#pragma once
// The seam between the computation of a data set and its models: a model is
// a set of stages that computeDataSet calls in their one order, each filling
// its part of the data set's result; the outputs follow the stages through
// an observer. The classic model (model/classic.hpp) is the first; a new
// model is a new file and one line in model/registry.cpp.
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <vector>

#include "core/efficiency.hpp"
#include "core/result.hpp"
#include "input/reader.hpp"

namespace tcsum {

// The records of one data set after its header, as a model takes them: the
// levels first, then the transitions. Either call ends the run with the
// fault the reading met there, as the reading would have.
class DataSetRecords {
 public:
  virtual ~DataSetRecords() = default;
  virtual int32_t headerRecord() const = 0;
  // The level records, the one that ends the list included.
  virtual std::span<const LevelRecord> levels() = 0;
  // The transition records, the one that ends the list included.
  virtual std::span<const TransitionRecord> transitions() = 0;
};

// A data set read ahead of its computation: its records and the fault that
// stopped the reading inside it, with the stage it came in (header: reading
// the levels; levels: reading the transitions).
struct RecordsRead final : DataSetRecords {
  int32_t header = 0;
  std::vector<LevelRecord> levelList;
  std::vector<TransitionRecord> transitionList;
  std::exception_ptr fault;
  Stage faultAfter = Stage::header;

  int32_t headerRecord() const override { return header; }
  std::span<const LevelRecord> levels() override;
  std::span<const TransitionRecord> transitions() override;
};

// A model's working space, for one data set at a time; made once per thread
// and used for every data set it computes.
class ModelWork {
 public:
  virtual ~ModelWork() = default;
  // Set by a caller that computes one data set over and over with
  // efficiencies made by scaled() from one efficiency (an uncertainty run):
  // the work may keep, from the first computation after it was set, what
  // depends on the energies alone. Clear it before another data set.
  bool sameEnergies = false;
};

class Model {
 public:
  virtual ~Model() = default;
  virtual std::unique_ptr<ModelWork> newWork() const = 0;

  // The stages, in the order computeDataSet calls them. The header: DS
  // holds it as read; the model takes it into WORK and sets DS's
  // efficiencies at E(X).
  virtual void header(ModelWork& work, const Efficiency& efficiency, int32_t headerRecord,
                      DataSetResult& ds) const = 0;
  // The level records: DS's levels.
  virtual void levels(ModelWork& work, std::span<const LevelRecord> records,
                      DataSetResult& ds) const = 0;
  // The transition records: the data set is read; with CHECKS, what a user
  // should look at goes to DS's warnings.
  virtual void read(ModelWork& work, std::span<const TransitionRecord> records, bool checks,
                    DataSetResult& ds) const = 0;
  // The balance of every level: DS's balance findings (and warnings).
  virtual void balance(ModelWork& work, bool checks, DataSetResult& ds) const = 0;
  // DS's transition rows, appended as they are done (so a fault keeps those
  // before it).
  virtual void transitions(ModelWork& work, const Efficiency& efficiency,
                           DataSetResult& ds) const = 0;
  // The lines: the level populations, the gamma and K x-ray lines, and the
  // model-neutral list of them.
  virtual void results(ModelWork& work, const Efficiency& efficiency,
                       DataSetResult& ds) const = 0;
};

// What the outputs learn as the stages finish, DS holding what they filled.
class DataSetObserver {
 public:
  virtual ~DataSetObserver() = default;
  virtual void opened(const DataSetResult&) {}
  virtual void levelsDone(const DataSetResult&) {}
  // The data set read and checked, nothing computed from it yet.
  virtual void read(const ModelWork&, const DataSetResult&) {}
  virtual void balanceDone(const DataSetResult&) {}
  // Also when a fault stopped the stage, with the rows before it.
  virtual void transitionsDone(const DataSetResult&) {}
  virtual void resultsDone(const DataSetResult&) {}
};

struct ComputeOptions {
  DataSetObserver* observer = nullptr;
  // The checks of the data as read, as warnings, and the balance findings;
  // off for recomputations that want the lines alone.
  bool checks = true;
  Stage last = Stage::complete;  // Stage::transitions: stop after the transition stage
};

// Computes the data set whose header DS holds, from RECORDS, with MODEL in
// WORK (made by that model) and EFFICIENCY: the only place where the stages
// of a data set are put in order. What earlier computations left in DS
// besides its header and warnings is dropped first. A fault ends it where it
// is met, DS holding what was reached.
void computeDataSet(const Model& model, ModelWork& work, DataSetRecords& records,
                    const Efficiency& efficiency, DataSetResult& ds,
                    const ComputeOptions& options = {});

}  // namespace tcsum
