// The seam for models: a model plugged in through the registry and computed
// from the data file through computeDataSet, and the classic model's lines
// in their model-neutral form.
#include "model/model.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "input/decay_scheme.hpp"
#include "model/registry.hpp"

namespace tcsum {
namespace {

// A model without coincidences: every gamma line's count is its intensity
// times its peak efficiency, with and without coincidences, factor 1.
struct UnitWork final : ModelWork {
  int32_t headerRecord = 0;
  std::vector<LevelRecord> levels;
  std::vector<TransitionRecord> transitions;
};

class UnitModel final : public Model {
 public:
  std::unique_ptr<ModelWork> newWork() const override { return std::make_unique<UnitWork>(); }
  void header(ModelWork& work, const Efficiency& efficiency, int32_t headerRecord,
              DataSetResult& ds) const override {
    static_cast<UnitWork&>(work).headerRecord = headerRecord;
    const EfficiencyPair x = efficiency.at(ds.EX);
    ds.EPSTX = static_cast<float>(x.total);
    ds.EPSX = static_cast<float>(x.peak);
  }
  void levels(ModelWork& work, std::span<const LevelRecord> records,
              DataSetResult&) const override {
    static_cast<UnitWork&>(work).levels.assign(records.begin(), records.end());
  }
  void read(ModelWork& work, std::span<const TransitionRecord> records, bool,
            DataSetResult&) const override {
    static_cast<UnitWork&>(work).transitions.assign(records.begin(), records.end());
  }
  void balance(ModelWork&, bool, DataSetResult&) const override {}
  void transitions(ModelWork&, const Efficiency&, DataSetResult&) const override {}
  void results(ModelWork& work, const Efficiency& efficiency, DataSetResult& ds) const override {
    const auto& w = static_cast<const UnitWork&>(work);
    const DecayScheme scheme = decaySchemeOf(ds, w.headerRecord, w.levels, w.transitions);
    for (const SchemeTransition& t : scheme.transitions) {
      const double count = t.gamma * efficiency.at(t.energy).peak;
      ds.lines.push_back({LineKind::gamma, {}, t.upper, t.lower, t.energy, t.gamma, count, count,
                          1.0});
    }
  }
};

std::vector<DataSetResult> computed(const std::string& example, const Model* model) {
  std::ifstream in(TCSUM_SOURCE_DIR "/examples/" + example + "/TALVEN", std::ios::binary);
  EXPECT_TRUE(in) << example;
  std::vector<DataSetResult> sets;
  RunOutputs out;
  out.model = model;
  out.dataSet = [&sets](const DataSetResult& ds, const PreparedTexts&) { sets.push_back(ds); };
  auto store = std::make_unique<Store>();
  run(*store, in, out, [] { return CalendarDate{8, 12, 2026}; });
  return sets;
}

TEST(ComputeDataSet, ARegisteredModelComputesTheDataFile) {
  ModelRegistry models = builtinModels();
  models.add("unit", [] { return std::make_unique<UnitModel>(); });
  EXPECT_EQ(models.names(), (std::vector<std::string>{"classic", "unit"}));
  EXPECT_EQ(models.make("none"), nullptr);
  const std::unique_ptr<Model> unit = models.make("unit");
  ASSERT_NE(unit, nullptr);

  const std::vector<DataSetResult> sets = computed("co60", unit.get());
  const std::vector<DataSetResult> classic = computed("co60", nullptr);
  ASSERT_EQ(sets.size(), 1u);
  const DataSetResult& ds = sets[0];
  EXPECT_EQ(ds.reached, Stage::complete);
  EXPECT_EQ(ds.EPSX, classic[0].EPSX);
  // Co-60: six transitions of the data file, all with a gamma intensity.
  ASSERT_EQ(ds.lines.size(), 6u);
  for (const LineResult& l : ds.lines) {
    EXPECT_EQ(l.kind, LineKind::gamma);
    EXPECT_GT(l.upper, l.lower);
    EXPECT_EQ(l.factor, 1.0);
    EXPECT_GT(l.rate0, 0.0);
    EXPECT_EQ(l.rate, l.rate0);
  }
  // 4 -> 2, the 1173 keV line, as the scheme's indexes 3 -> 1.
  EXPECT_EQ(ds.lines[4].upper, 3);
  EXPECT_EQ(ds.lines[4].lower, 1);
  EXPECT_EQ(ds.lines[4].energy, static_cast<double>(1173.228f));
  EXPECT_EQ(ds.lines[4].emission, static_cast<double>(99.85f));
  EXPECT_TRUE(ds.gammas.empty());
}

// The classic model's lines are its float results exactly, the K x-ray line
// after the gamma lines.
TEST(ComputeDataSet, ClassicLinesAreTheFloatResults) {
  for (const char* example : {"co60", "eu152ec", "y88"}) {
    SCOPED_TRACE(example);
    for (const DataSetResult& ds : computed(example, nullptr)) {
      ASSERT_EQ(ds.lines.size(), ds.gammas.size() + (ds.xray ? 1 : 0));
      for (std::size_t k = 0; k < ds.gammas.size(); ++k) {
        const GammaLine& g = ds.gammas[k];
        const LineResult& l = ds.lines[k];
        EXPECT_EQ(l.kind, LineKind::gamma);
        EXPECT_EQ(l.upper, g.upper - 1);
        EXPECT_EQ(l.lower, g.lower - 1);
        EXPECT_EQ(l.energy, static_cast<double>(g.energy));
        EXPECT_EQ(l.rate0, static_cast<double>(g.RATE0));
        EXPECT_EQ(l.rate, static_cast<double>(g.RATE));
        EXPECT_EQ(l.factor, static_cast<double>(g.KORR));
        EXPECT_GT(l.emission, 0.0);
      }
      if (ds.xray) {
        const LineResult& x = ds.lines.back();
        EXPECT_EQ(x.kind, LineKind::kxray);
        EXPECT_EQ(x.factor, static_cast<double>(ds.xray->KORR));
        EXPECT_EQ(x.rate, static_cast<double>(ds.xray->RATE));
        EXPECT_GT(x.emission, 0.0);
      }
    }
  }
}

}  // namespace
}  // namespace tcsum
