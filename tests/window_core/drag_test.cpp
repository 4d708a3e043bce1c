#include "window_core/drag.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(Drag, FollowsTheCursorOneToOneWithinTheLimits) {
  TwipRect splitter{2400, 1320, 135, 1455};
  const DragOffsets offsets = BeginDrag(splitter, {2460.4, 1500});
  EXPECT_EQ(offsets.x, -60);
  EXPECT_EQ(offsets.y, -180);

  EXPECT_TRUE(DragWithin(splitter, offsets, {3060, 1600}, 2400, 4000, 1320, 1320));
  EXPECT_EQ(splitter.left, 3000);
  EXPECT_EQ(splitter.top, 1320);  // the top is fixed by its limits

  // Beyond a limit the axis keeps its place; the limits themselves are allowed.
  EXPECT_FALSE(DragWithin(splitter, offsets, {4061, 1320}, 2400, 4000, 1320, 1320));
  EXPECT_EQ(splitter.left, 3000);
  EXPECT_TRUE(DragWithin(splitter, offsets, {4060, 1320}, 2400, 4000, 1320, 1320));
  EXPECT_EQ(splitter.left, 4000);
}

TEST(Drag, EachAxisIsLimitedOnItsOwn) {
  TwipRect splitter{0, 2760, 6975, 135};
  const DragOffsets offsets = BeginDrag(splitter, {100, 2800});
  DragWithin(splitter, offsets, {500, 2700}, 0, 0, 2760, 4000);  // above the top limit
  EXPECT_EQ(splitter.top, 2760);
  EXPECT_EQ(splitter.left, 0);
  DragWithin(splitter, offsets, {500, 3340}, 0, 0, 2760, 4000);
  EXPECT_EQ(splitter.top, 3300);
  EXPECT_EQ(splitter.left, 0);
}

}  // namespace
}  // namespace quorvel
