#include "app/mode_choice.h"

#include <gtest/gtest.h>

#include <climits>

using rillo::ChooseMode;
using rillo::ModeChoice;
using rillo::SaverMode;

namespace {

ModeChoice Choose(std::initializer_list<const wchar_t*> args) {
    std::vector<std::wstring> argv{L"C:\\WINDOWS\\rillo.scr"};
    for (const wchar_t* a : args)
        argv.emplace_back(a);
    return ChooseMode(argv);
}

} // namespace

TEST(ModeChoice, NoArgumentsOpensTheSettings) {
    EXPECT_EQ(Choose({}).mode, SaverMode::Settings);
    const wchar_t* argv[] = {L"rillo.scr", nullptr};
    EXPECT_EQ(ChooseMode(1, argv).mode, SaverMode::Settings);
    EXPECT_EQ(ChooseMode(0, nullptr).mode, SaverMode::Settings);
}

TEST(ModeChoice, LowerCaseCAnywhereOpensTheSettingsFirst) {
    for (const wchar_t* first : {L"/c", L"/c:1234", L"-c", L"c", L"/cp", L"/pc", L"/scr"}) {
        const ModeChoice m = Choose({first, L"1234"});
        EXPECT_EQ(m.mode, SaverMode::Settings) << first;
        EXPECT_EQ(m.previewParent, 0) << first;
    }
}

TEST(ModeChoice, SettingsOwnerFollowsTheFirstCAndAColon) {
    const std::pair<const wchar_t*, std::int32_t> cases[] = {
        {L"/c:1234", 1234},
        {L"/c:396626", 396626},
        {L"-c:77", 77},
        {L"c:5", 5},
        {L"/c: 42", 42},
        {L"/c:42abc", 42},
        {L"/c:-2", -2},
        {L"/c:4294967295", -1}, // a sign-extended handle written unsigned
        {L"/c:2147483648", INT_MIN},
        // No handle: nothing after the colon, no colon, or a colon after another letter.
        {L"/c:", 0},
        {L"/c:0x1234", 0},
        {L"/c:abc", 0},
        {L"/c", 0},
        {L"/c1234", 0},
        {L"/c 1234", 0},
        {L"/p:c", 0},
        // Only the first "c" counts.
        {L"/cc:12", 0},
        {L"/scr:9", 0},
        {L"/pc:12", 12},
    };
    for (const auto& [first, owner] : cases) {
        const ModeChoice m = Choose({first, L"99"});
        EXPECT_EQ(m.mode, SaverMode::Settings) << first;
        EXPECT_EQ(m.settingsOwner, owner) << first;
        EXPECT_EQ(m.previewParent, 0) << first;
    }
    // The second argument is never the owner.
    EXPECT_EQ(Choose({L"/c", L"1234"}).settingsOwner, 0);
    EXPECT_EQ(Choose({}).settingsOwner, 0);
    // Other modes have no owner.
    EXPECT_EQ(Choose({L"/p", L"c:12"}).settingsOwner, 0);
    EXPECT_EQ(Choose({L"/s:12"}).settingsOwner, 0);
}

TEST(ModeChoice, EverythingElseWithoutPRunsFullScreen) {
    for (const wchar_t* first : {L"/C", L"/P", L"/s", L"/S", L"/a", L"-x", L"", L"\u00e7"}) {
        EXPECT_EQ(Choose({first, L"1234"}).mode, SaverMode::FullScreen) << first;
        EXPECT_EQ(Choose({first}).mode, SaverMode::FullScreen) << first;
    }
}

TEST(ModeChoice, OnlyTheFirstArgumentChooses) {
    EXPECT_EQ(Choose({L"/s", L"/c"}).mode, SaverMode::FullScreen);
    EXPECT_EQ(Choose({L"/s", L"/p", L"1234"}).mode, SaverMode::FullScreen);
    const ModeChoice m = Choose({L"/p", L"1234", L"/c", L"99"});
    EXPECT_EQ(m.mode, SaverMode::Preview);
    EXPECT_EQ(m.previewParent, 1234);
}

TEST(ModeChoice, PreviewReadsTheHandleAsAtolDoes) {
    const std::pair<const wchar_t*, std::int32_t> cases[] = {
        {L"1234", 1234},
        {L"  \t1234", 1234},
        {L"+77", 77},
        {L"  -5", -5},
        {L"42abc", 42},
        {L"\r\n\v\f9", 9},
        {L"2147483647", INT_MAX},
        {L"-2147483648", INT_MIN},
        // Past 32 bits the digits wrap, as a 32-bit accumulator would.
        {L"2147483648", INT_MIN},
        {L"4294967297", 1},
        {L"99999999999999999999999", std::int32_t(-0x9800001)},
    };
    for (const auto& [text, handle] : cases) {
        const ModeChoice m = Choose({L"/p", text});
        EXPECT_EQ(m.mode, SaverMode::Preview) << text;
        EXPECT_EQ(m.previewParent, handle) << text;
    }
    EXPECT_EQ(Choose({L"xyzp", L"8"}).previewParent, 8);
}

TEST(ModeChoice, PreviewWithoutAUsableHandleEndsAtOnce) {
    for (const wchar_t* text : {L"0x1234", L"0", L"", L"abc", L"-", L"+ 5", L"4294967296"}) {
        const ModeChoice m = Choose({L"/p", text});
        EXPECT_EQ(m.mode, SaverMode::EndAtOnce) << text;
        EXPECT_EQ(m.previewParent, 0) << text;
    }
    EXPECT_EQ(Choose({L"/p"}).mode, SaverMode::EndAtOnce);
    // A count that says there is no second argument is believed.
    const wchar_t* argv[] = {L"rillo.scr", L"/p", L"1234", nullptr};
    EXPECT_EQ(ChooseMode(2, argv).mode, SaverMode::EndAtOnce);
    EXPECT_EQ(ChooseMode(3, argv).mode, SaverMode::Preview);
}
