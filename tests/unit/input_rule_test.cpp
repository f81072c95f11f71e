#include "saver/input_rule.h"

#include <gtest/gtest.h>

#include <utility>

using rillo::CInputRule;

TEST(InputRule, FirstMoveOnlyRecordsThePointer) {
    for (auto [x, y] : {std::pair{0, 0}, {640, 480}, {-1, 5}, {5, -1}, {-32768, 32767}}) {
        CInputRule rule;
        EXPECT_FALSE(rule.OnMouseMove(x, y));
        EXPECT_EQ(rule.FirstMouse().x, x);
        EXPECT_EQ(rule.FirstMouse().y, y);
    }
}

TEST(InputRule, StayingPutNeverCloses) {
    CInputRule rule;
    EXPECT_FALSE(rule.OnMouseMove(100, 200));
    for (int k = 0; k < 1000; ++k)
        ASSERT_FALSE(rule.OnMouseMove(100, 200));
}

TEST(InputRule, OnePixelAwayCloses) {
    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-300, 700}}) {
        CInputRule rule;
        EXPECT_FALSE(rule.OnMouseMove(100, 200));
        EXPECT_TRUE(rule.OnMouseMove(100 + dx, 200 + dy)) << dx << "," << dy;
        // The first point stays where it was: coming back does not close.
        EXPECT_FALSE(rule.OnMouseMove(100, 200));
        EXPECT_EQ(rule.FirstMouse().x, 100);
        EXPECT_EQ(rule.FirstMouse().y, 200);
    }
}

// Screen coordinates left of and above the primary monitor are negative: the pixel
// at (-1, -1) is as good a first position as any.
TEST(InputRule, FirstMovesAtNegativeScreenPointsAreRecordedToo) {
    for (auto [x, y] : {std::pair{-1, -1}, std::pair{-800, 0}, std::pair{-1, -1080}}) {
        CInputRule rule;
        EXPECT_FALSE(rule.OnMouseMove(x, y));
        EXPECT_EQ(rule.FirstMouse().x, x);
        EXPECT_EQ(rule.FirstMouse().y, y);
        EXPECT_FALSE(rule.OnMouseMove(x, y));
        EXPECT_TRUE(rule.OnMouseMove(x + 1, y));
    }
}
