// The geometry of work items: output order, and where ranges are cut.
#include "parallel/work_item.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>
#include <vector>

namespace tavrel::parallel {
namespace {

// Work items over cursors of given (next, end); the frames are not read.
class Items {
 public:
  WorkItem& item(std::vector<int> prefix, const std::vector<std::pair<int, int>>& ranges) {
    WorkItem& made = items_.emplace_back();
    made.prefix = std::move(prefix);
    for (auto [next, end] : ranges) {
      Cursor& cursor = cursors_.emplace_back();
      cursor.next = next;
      cursor.end = end;
      made.levels.push_back(ItemLevel{nullptr, &cursor, nullptr});
    }
    return made;
  }

 private:
  std::deque<WorkItem> items_;
  std::deque<Cursor> cursors_;
};

TEST(WorkItemTest, ItemsCompareInOutputOrder) {
  Items items;
  // Keys: {1, 3}; {1, 5} (the step taken above is next - 1); {1}; {0, 9, 9}.
  WorkItem& a = items.item({1}, {{3, 8}});
  WorkItem& b = items.item({}, {{2, 4}, {5, 6}});
  WorkItem& c = items.item({}, {{1, 4}});
  WorkItem& d = items.item({0, 9}, {{9, 10}});
  EXPECT_EQ(b.keyAt(0), 1);
  EXPECT_EQ(b.keyAt(1), 5);
  std::vector<WorkItem*> inOrder{&d, &c, &a, &b};
  for (std::size_t i = 0; i < inOrder.size(); ++i) {
    EXPECT_FALSE(later(inOrder[i], inOrder[i])) << i;
    for (std::size_t j = i + 1; j < inOrder.size(); ++j) {
      EXPECT_TRUE(later(inOrder[j], inOrder[i])) << i << " before " << j;
      EXPECT_FALSE(later(inOrder[i], inOrder[j])) << i << " before " << j;
    }
  }
}

TEST(WorkItemTest, TheShallowestRangeOfTwoOrMoreIsCut) {
  Items items;
  EXPECT_EQ(splittableLevel(items.item({}, {{5, 6}, {2, 4}, {0, 10}})), 1u);
  EXPECT_EQ(splittableLevel(items.item({}, {{5, 6}, {3, 4}, {9, 10}})), 3u);
  EXPECT_EQ(splittableLevel(items.item({}, {})), 0u);
}

TEST(WorkItemTest, NearPiecesStartBehindTheCurrentWork) {
  Items items;
  // Above the deepest level, the subtree of candidate next - 1 is being
  // searched: a piece starts at next. At the deepest, next is taken next.
  WorkItem& item = items.item({}, {{4, 4}, {2, 6}, {8, 8}, {4, 6}});
  EXPECT_EQ(nearStart(item, 0), -1);
  EXPECT_EQ(nearStart(item, 1), 2);
  EXPECT_EQ(nearStart(item, 2), -1);
  EXPECT_EQ(nearStart(item, 3), 5);
  EXPECT_EQ(nearStart(items.item({}, {{3, 4}}), 0), -1);
  EXPECT_EQ(nearStart(items.item({}, {{3, 4}, {1, 2}}), 0), 3);
  // The level `height` above the deepest, else the closest above, else below.
  EXPECT_EQ(nearLevel(item, 0), 3u);
  EXPECT_EQ(nearLevel(item, 1), 1u);  // level 2 has nothing to cut off
  EXPECT_EQ(nearLevel(item, 2), 1u);
  EXPECT_EQ(nearLevel(item, 3), 1u);  // nothing at level 0: the closest below it
  EXPECT_EQ(nearLevel(items.item({}, {{4, 4}, {7, 8}}), 0), 2u);
}

TEST(WorkItemTest, APieceTakesTheStepsAboveItsLevel) {
  Items items;
  WorkItem& item = items.item({4, 2}, {{3, 9}, {6, 8}, {1, 5}});
  WorkItem thief;
  ASSERT_TRUE(takePrefix(thief, item, 2));
  EXPECT_EQ(thief.prefix, (std::vector<int>{4, 2, 2, 5}));
  EXPECT_GE(thief.levels.capacity(), 1u);
  ASSERT_TRUE(takePrefix(thief, item, 0));
  EXPECT_EQ(thief.prefix, (std::vector<int>{4, 2}));
  ASSERT_TRUE(pushLevel(thief, item.levels[2]));
  EXPECT_EQ(thief.keyLength(), 3u);
  EXPECT_EQ(thief.keyAt(2), 1);
}

}  // namespace
}  // namespace tavrel::parallel
