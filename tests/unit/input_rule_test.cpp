#include "saver/input_rule.h"

#include <gtest/gtest.h>

#include <utility>

using rillo::CInputRule;
namespace msg = rillo::msg;

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

TEST(InputRule, KeyAndButtonPressesClose) {
    for (unsigned m :
         {msg::kKeyDown, msg::kSysKeyDown, msg::kLButtonDown, msg::kMButtonDown, msg::kRButtonDown})
        EXPECT_TRUE(CInputRule::ClosesOnMessage(m)) << std::hex << m;
    for (unsigned m : {msg::kKeyUp, msg::kSysKeyUp, msg::kLButtonUp, msg::kMouseWheel,
                       msg::kMouseMove, msg::kActivate, msg::kSysCommand, 0u, 0x020Eu, 0x0203u})
        EXPECT_FALSE(CInputRule::ClosesOnMessage(m)) << std::hex << m;
}

TEST(InputRule, OnlyExactScreenSaveAndCloseCommandsAreSwallowed) {
    EXPECT_TRUE(CInputRule::SwallowsSysCommand(0xF140));
    EXPECT_TRUE(CInputRule::SwallowsSysCommand(0xF060));
    // The low four bits carry extra information for some commands; here they count.
    for (unsigned c :
         {0xF141u, 0xF14Fu, 0xF061u, 0xF063u, 0xF020u, 0xF030u, 0xF100u, 0xF170u, 0x1F060u, 0u})
        EXPECT_FALSE(CInputRule::SwallowsSysCommand(c)) << std::hex << c;
}

TEST(InputRule, LosingActivationCloses) {
    EXPECT_TRUE(CInputRule::ClosesOnActivate(0));  // WA_INACTIVE
    EXPECT_FALSE(CInputRule::ClosesOnActivate(1)); // WA_ACTIVE
    EXPECT_FALSE(CInputRule::ClosesOnActivate(2)); // WA_CLICKACTIVE
    EXPECT_TRUE(CInputRule::ClosesOnActivateApp(false));
    EXPECT_FALSE(CInputRule::ClosesOnActivateApp(true));
    EXPECT_TRUE(CInputRule::RefusesNcActivate(false));
    EXPECT_FALSE(CInputRule::RefusesNcActivate(true));
}
