#include "input/layout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "input/fields.hpp"
#include "input/reader.hpp"

namespace tcsum {
namespace {

using layout::Type;

// The fields of KIND of type TYPE, in column order.
std::vector<Field> fieldsOf(const layout::RecordKind& kind, Type type) {
  std::vector<Field> out;
  for (const layout::TypedField& f : kind.fields)
    if (f.type == type) out.push_back(f.field);
  return out;
}

bool sameFields(std::span<const Field> a, const std::vector<Field>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Field& x, const Field& y) {
    return x.first == y.first && x.last == y.last;
  });
}

TEST(Layout, EveryRecordKindHasOrderedFieldsInsideARecord) {
  for (const layout::RecordKind& kind : layout::kRecordKinds) {
    SCOPED_TRACE(kind.expecting);
    ASSERT_FALSE(kind.fields.empty());
    int32_t end = 0;
    for (const layout::TypedField& f : kind.fields) {
      EXPECT_GT(f.field.first, end) << f.field.name;  // after the previous, no overlap
      EXPECT_GE(f.field.last, f.field.first) << f.field.name;
      EXPECT_LE(f.field.last, kRecordWidth) << f.field.name;
      EXPECT_NE(*f.field.name, '\0');
      end = f.field.last;
    }
  }
  // Reals are 10 columns wide (F10.0), level numbers 2 (I2).
  for (const layout::RecordKind* kind :
       {&layout::kEfficiency, &layout::kHeader, &layout::kLevel, &layout::kTransition})
    for (const Field& f : fieldsOf(*kind, Type::real))
      EXPECT_EQ(f.width(), 10) << f.name;
  EXPECT_EQ(layout::kUpperLevel.width(), 2);
  EXPECT_EQ(kRecordWidth, layout::kDetectorText.last);
}

TEST(Layout, FieldsReadTogetherAreThoseOfTheirRecordKind) {
  EXPECT_TRUE(sameFields(layout::kEffReals, fieldsOf(layout::kEfficiency, Type::real)));
  EXPECT_TRUE(sameFields(layout::kEffReals, fieldsOf(layout::kEfficiencyFirst, Type::real)));
  EXPECT_TRUE(sameFields(layout::kLevelReals, fieldsOf(layout::kLevel, Type::real)));
  EXPECT_TRUE(sameFields(layout::kLevelNumbers, fieldsOf(layout::kTransition, Type::integer)));
  EXPECT_TRUE(sameFields(layout::kTransitionReals, fieldsOf(layout::kTransition, Type::real)));
}

TEST(Layout, PlaceAlignsNumbersRightAndTextLeft) {
  std::string record;
  layout::place(record, layout::kXrayEnergy, Type::real, "41.04");
  EXPECT_EQ(record, std::string(20, ' ') + "     41.04");
  layout::place(record, layout::kName, Type::text, "EU-152");
  EXPECT_EQ(record.substr(0, 10), "EU-152    ");
  // Text longer than its field is cut at the field's end; a field placed
  // again replaces what it held, and nothing beside it moves.
  layout::place(record, layout::kDecayMode, Type::text, "EC AND B+ DECAY");
  EXPECT_EQ(record.substr(10, 10), "EC AND B  ");
  layout::place(record, layout::kXrayEnergy, Type::real, "7.5");
  EXPECT_EQ(record.substr(20), "       7.5");
  EXPECT_EQ(record.size(), 30u);
  // A record shorter than the field grows to it; one longer keeps its tail.
  std::string longer(90, 'x');
  layout::place(longer, layout::kContinuation, Type::integer, "0");
  EXPECT_EQ(longer.size(), 90u);
  EXPECT_EQ(longer[40], '0');
  EXPECT_EQ(longer[39], 'x');
  EXPECT_EQ(longer[41], 'x');
}

TEST(Layout, ARecordPlacedByTheLayoutIsReadBackByTheReader) {
  std::string text;
  layout::place(text, layout::kUpperLevel, Type::integer, "12");
  layout::place(text, layout::kLowerLevel, Type::integer, "3");
  layout::place(text, layout::kGammaEnergy, Type::real, "1408.006");
  layout::place(text, layout::kIntensity, Type::real, "20.87");
  layout::place(text, layout::kAlpha, Type::real, "6.9E-4");
  layout::place(text, layout::kAlphaK, Type::real, "0");
  std::istringstream in(text + "\n");
  DataFile file(in);
  const Record r = file.next(layout::kTransition.expecting);
  int32_t levels[2];
  readIntegers(r, layout::kLevelNumbers, levels);
  float reals[4];
  readReals(r, layout::kTransitionReals, reals);
  EXPECT_EQ(levels[0], 12);
  EXPECT_EQ(levels[1], 3);
  EXPECT_EQ(reals[0], 1408.006f);
  EXPECT_EQ(reals[1], 20.87f);
  EXPECT_EQ(reals[2], 6.9e-4f);
  EXPECT_EQ(reals[3], 0.0f);
}

}  // namespace
}  // namespace tcsum
