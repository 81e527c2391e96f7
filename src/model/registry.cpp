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

void ModelRegistry::addSchemeModel(const std::string& name, SchemeModel model) {
  schemeModels_[name] = std::move(model);
}

SchemeModel ModelRegistry::schemeModel(const std::string& name) const {
  const auto found = schemeModels_.find(name);
  return found == schemeModels_.end() ? SchemeModel() : found->second;
}

std::vector<std::string> ModelRegistry::schemeModelNames() const {
  std::vector<std::string> names;
  for (const auto& [name, model] : schemeModels_)
    names.push_back(name);
  return names;
}

ModelRegistry builtinModels() {
  ModelRegistry models;
  models.add(kClassicModel, [] { return std::make_unique<ClassicModel>(); });
  models.addSchemeModel(kCompleteModel, complete::compute);
  return models;
}

}  // namespace tcsum
