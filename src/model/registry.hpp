#pragma once
// The models a run can compute with, by name. A new model is a new file and
// one add() in builtinModels(). Two kinds: a data-set model computes the
// data file's data sets stage by stage through computeDataSet (the classic
// model); a scheme model computes a decay scheme as read, from ENSDF or the
// data file, as a whole (the complete model, for `tcsum factors`).
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "complete/model.hpp"
#include "core/efficiency.hpp"
#include "core/scheme.hpp"
#include "model/model.hpp"

namespace tcsum {

// A scheme model: the lines of a decay scheme, with the efficiencies of
// every node of a source and the model's settings. Safe to call from several
// threads at once.
using SchemeModel = std::function<complete::Result(const DecayScheme&, const SourceEfficiency&,
                                                   const complete::Settings&)>;

class ModelRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Model>()>;
  // Registers FACTORY under NAME, replacing an earlier one of that name.
  void add(const std::string& name, Factory factory);
  // A new instance of the model NAME; null when there is none of that name.
  std::unique_ptr<Model> make(const std::string& name) const;
  // The names of the data-set models, in alphabetical order.
  std::vector<std::string> names() const;

  // The same for scheme models; schemeModel() is empty for a name without one.
  void addSchemeModel(const std::string& name, SchemeModel model);
  SchemeModel schemeModel(const std::string& name) const;
  std::vector<std::string> schemeModelNames() const;

 private:
  std::map<std::string, Factory> factories_;
  std::map<std::string, SchemeModel> schemeModels_;
};

// The name of the classic model, the one a run computes with by default.
inline constexpr const char* kClassicModel = "classic";
// The name of the complete model, the one `tcsum factors` computes with.
inline constexpr const char* kCompleteModel = "complete";

// The models that come with the program.
ModelRegistry builtinModels();

}  // namespace tcsum
