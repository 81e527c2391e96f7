#include "model/registry.hpp"

#include <utility>

#include "model/classic.hpp"

namespace tcsum {

void ModelRegistry::add(const std::string& name, Factory factory) {
  factories_[name] = std::move(factory);
}

std::unique_ptr<Model> ModelRegistry::make(const std::string& name) const {
  const auto found = factories_.find(name);
  return found == factories_.end() ? nullptr : found->second();
}

std::vector<std::string> ModelRegistry::names() const {
  std::vector<std::string> names;
  for (const auto& [name, factory] : factories_)
    names.push_back(name);
  return names;
}

ModelRegistry builtinModels() {
  ModelRegistry models;
  models.add(kClassicModel, [] { return std::make_unique<ClassicModel>(); });
  return models;
}

}  // namespace tcsum
