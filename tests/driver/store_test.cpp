#include "core/store.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "core/fatal.hpp"

namespace tcsum {
namespace {

TEST(Store, IndexOutsideAnArrayStopsTheRun) {
  Vec<float, 3> v;
  Mat<float, 2, 3> m;
  // (1, 4) would be the storage place of (2, 1) if only the flat index were checked.
  const std::function<void()> writes[] = {[&] { v(0) = 1.0f; },    [&] { v(4) = 1.0f; },
                                          [&] { m(0, 1) = 1.0f; }, [&] { m(3, 1) = 1.0f; },
                                          [&] { m(2, 0) = 1.0f; }, [&] { m(1, 4) = 1.0f; }};
  for (const auto& write : writes)
    EXPECT_THAT(write, ::testing::ThrowsMessage<RunStop>(
                           ::testing::StartsWith("index beyond the data store")));
  EXPECT_EQ(m(2, 1), 0.0f);
}

TEST(Store, RowIsCheckedOnceForAllItsElements) {
  Mat<float, 2, 3> m;
  m(2, 3) = 7.0f;
  EXPECT_EQ(m.row(2, 3)[2], 7.0f);
  EXPECT_EQ(m.row(1, 2).size(), 2u);
  for (const auto& [i, n] : {std::pair{1, 4}, {3, 1}, {0, 1}, {1, 0}})
    EXPECT_THROW((void)m.row(i, n), RunStop) << i << ", " << n;
}

}  // namespace
}  // namespace tcsum
