#pragma once
// The models a run can compute with, by name. A new model is a new file and
// one add() in builtinModels().
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/model.hpp"

namespace tcsum {

class ModelRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Model>()>;
  // Registers FACTORY under NAME, replacing an earlier one of that name.
  void add(const std::string& name, Factory factory);
  // A new instance of the model NAME; null when there is none of that name.
  std::unique_ptr<Model> make(const std::string& name) const;
  // The names, in alphabetical order.
  std::vector<std::string> names() const;

 private:
  std::map<std::string, Factory> factories_;
};

// The name of the classic model, the one a run computes with by default.
inline constexpr const char* kClassicModel = "classic";

// The models that come with the program.
ModelRegistry builtinModels();

}  // namespace tcsum
