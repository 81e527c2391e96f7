#include "ensdf/records.hpp"

#include <gtest/gtest.h>

namespace tcsum::ensdf {
namespace {

TEST(Records, LineEndsAndPadding) {
  const auto records = splitRecords("133CS  L 0.0\r\n\n133CS  G 80.9979");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].columns(10, 12), "0.0");
  EXPECT_EQ(records[0].column(80), ' ');  // CR dropped, record padded
  EXPECT_TRUE(records[1].blank());
  EXPECT_EQ(records[2].line(), 3);
  EXPECT_EQ(records[2].type(), 'G');
}

TEST(Records, ContinuationKeysAreTakenExactly) {
  const auto items = continuationItems("EKC=1.29 6$ EL1C=0.166 9$KC=1.431 20$K/T=0.418 7$");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].key, "EKC");
  EXPECT_DOUBLE_EQ(items[0].value.value, 1.29);
  EXPECT_NEAR(items[0].value.uncertainty, 0.06, 1e-12);
  EXPECT_EQ(items[1].key, "EL1C");
  EXPECT_EQ(items[2].key, "KC");
  EXPECT_DOUBLE_EQ(items[2].value.value, 1.431);
  EXPECT_EQ(items[3].key, "K/T");
}

TEST(Records, PaddedValuesQualifiersAndFreeText) {
  const auto items =
      continuationItems("CK=  0.8708   $CC LT 0.01$FLAG=Z$FL=963.363$see 1967He09$NC+=1.80E-7 1");
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].key, "CK");
  EXPECT_DOUBLE_EQ(items[0].value.value, 0.8708);
  EXPECT_EQ(items[1].key, "CC");
  EXPECT_EQ(items[1].value.limit, Limit::LT);
  EXPECT_DOUBLE_EQ(items[1].value.value, 0.01);
  EXPECT_EQ(items[2].key, "FLAG");
  EXPECT_FALSE(items[2].value.numeric);
  EXPECT_EQ(items[3].key, "FL");
  EXPECT_DOUBLE_EQ(items[3].value.value, 963.363);
  EXPECT_EQ(items[4].key, "NC+");  // the free text between is not an item
}

}  // namespace
}  // namespace tcsum::ensdf
