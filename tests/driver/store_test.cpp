#include "core/store.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

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

}  // namespace
}  // namespace tcsum
