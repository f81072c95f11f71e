#include "app/settings_text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace std::string_literals;
using rillo::ParseSettingsText;
using rillo::ReadLeadingInt;
using rillo::RewriteSettingsText;

namespace {

struct Values {
    std::int32_t wavelength = rillo::kDefaultWavelength;
    std::int32_t amplitude = rillo::kDefaultAmplitude;
    bool operator==(const Values& o) const {
        return wavelength == o.wavelength && amplitude == o.amplitude;
    }
};

Values Parse(const std::string& text) {
    Values v;
    ParseSettingsText(text, v.wavelength, v.amplitude);
    return v;
}

std::int32_t Read(const std::string& s) {
    return ReadLeadingInt(s.data(), s.data() + s.size());
}

} // namespace

TEST(SettingsText, ReadsTheSecondAndThirdLines) {
    EXPECT_EQ(Parse("abc\r\n90\r\n200"), (Values{90, 200}));
    EXPECT_EQ(Parse("\r\n90\r\n200"), (Values{90, 200}));
    EXPECT_EQ(Parse("abc\r\n90\r\n200\r\n"), (Values{90, 200}));
    EXPECT_EQ(Parse("abc\r\n90xyz\r\n200"), (Values{90, 200}));
    EXPECT_EQ(Parse("abc\r\n-5\r\n1000"), (Values{-5, 1000}));
    EXPECT_EQ(Parse("abc\r\n  +7 \r\n\t-8"), (Values{7, -8}));
    EXPECT_EQ(Parse("\r\n100\r\n100"), (Values{100, 100}));
}

TEST(SettingsText, AnEmptySecondLineTakesTheThirdLinesNumberForBoth) {
    EXPECT_EQ(Parse("abc\r\n\r\n200"), (Values{200, 200}));
}

TEST(SettingsText, TextThatIsNotANumberReadsAsZero) {
    EXPECT_EQ(Parse("abc\r\nxyz\r\n-"), (Values{0, 0}));
    EXPECT_EQ(Parse("abc\r\n\r\n"), (Values{0, 0}));
    EXPECT_EQ(Parse("abc\r\n90\r\n"), (Values{90, 0}));
}

TEST(SettingsText, MissingLinesKeepTheirDefaults) {
    EXPECT_EQ(Parse(""), (Values{}));
    EXPECT_EQ(Parse("abc"), (Values{}));
    EXPECT_EQ(Parse("abc\n90\n200"), (Values{}));
    EXPECT_EQ(Parse("\n\n\n\n"), (Values{}));
    EXPECT_EQ(Parse("abc\r90\r200"), (Values{}));
    EXPECT_EQ(Parse("abc\r\n90"), (Values{90, 100}));
    EXPECT_EQ(Parse("abc\r\n90\n200"), (Values{90, 100}));
    // The caller's values, whatever they are, are what "keep" means.
    std::int32_t w = -1, a = -2;
    ParseSettingsText("only one line", w, a);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(a, -2);
}

TEST(SettingsText, BytesInTheFirstLineAreNotLookedAt) {
    EXPECT_EQ(Parse("7\0\r\n8\r\n9"s), (Values{8, 9}));
    EXPECT_EQ(Parse("\xff\xfe\x80\r\n12\r\n34"s), (Values{12, 34}));
    // A NUL ends a number like any other non-digit.
    EXPECT_EQ(Parse("x\r\n1\0002\r\n3\0004"s), (Values{1, 3}));
}

TEST(SettingsText, NumbersWrapAt32Bits) {
    EXPECT_EQ(Read("2147483647"), INT_MAX);
    EXPECT_EQ(Read("-2147483648"), INT_MIN);
    EXPECT_EQ(Read("2147483648"), INT_MIN);
    EXPECT_EQ(Read("-2147483649"), INT_MAX);
    EXPECT_EQ(Read("4294967295"), -1);
    EXPECT_EQ(Read("4294967396"), 100);
    EXPECT_EQ(Read("00000000000000000000000000000042"), 42);
    EXPECT_EQ(Read(std::string(5000, '9')), -1); // 10^5000 - 1 is -1 modulo 2^32
    EXPECT_EQ(Read("--5"), 0);
    EXPECT_EQ(Read("+-5"), 0);
    EXPECT_EQ(Read("- 5"), 0);
    EXPECT_EQ(Parse("a\r\n99999999999\r\n-99999999999"), (Values{1215752191, -1215752191}));
}

TEST(SettingsText, RewriteKeepsTheFirstLineAndFormatsLikePercentD) {
    const std::string text = RewriteSettingsText("abc\r\n90\r\n200", 110, 150);
    EXPECT_EQ(text, "abc\r\n110\r\n150");
    EXPECT_EQ(text.size(), 13u);
    EXPECT_EQ(RewriteSettingsText("\r\n90\r\n200", 90, 200), "\r\n90\r\n200");
    EXPECT_EQ(RewriteSettingsText("abc\r\n90\r\n200\r\n", 90, 200), "abc\r\n90\r\n200");
    EXPECT_EQ(RewriteSettingsText("", 100, 100), "\r\n100\r\n100");
    EXPECT_EQ(RewriteSettingsText("no line end", 1, 2), "\r\n1\r\n2");
    EXPECT_EQ(RewriteSettingsText("a\nb\nc", 1, 2), "\r\n1\r\n2");
    EXPECT_EQ(RewriteSettingsText("x\r\ny", 0, -7), "x\r\n0\r\n-7");
    EXPECT_EQ(RewriteSettingsText("x\r\ny", INT_MAX, INT_MIN), "x\r\n2147483647\r\n-2147483648");
    EXPECT_EQ(RewriteSettingsText("x\r\ny", INT_MIN, INT_MAX), "x\r\n-2147483648\r\n2147483647");
    EXPECT_EQ(RewriteSettingsText("\r\n", -1, 10), "\r\n-1\r\n10");
}

TEST(SettingsText, FirstLineBytesSurviveRepeatedSaves) {
    const std::string firstLine = "\0caf\xe9 \x01\t\r\xff\n\0"s;
    std::string text = firstLine + "\r\n1\r\n2";
    for (std::int32_t round = 0; round < 5; ++round) {
        text = RewriteSettingsText(text, round, -round);
        Values v = Parse(text);
        EXPECT_EQ(v, (Values{round, -round}));
    }
    EXPECT_EQ(text, firstLine + "\r\n4\r\n-4");
    EXPECT_EQ(rillo::SettingsFirstLine(text), firstLine);
}

TEST(SettingsText, WrittenValuesReadBackUnchanged) {
    for (std::int32_t w : {INT_MIN, INT_MIN + 1, -100, -1, 0, 1, 9, 10, 100, INT_MAX - 1, INT_MAX})
        for (std::int32_t a : {INT_MIN, -1, 0, 100, INT_MAX})
            EXPECT_EQ(Parse(RewriteSettingsText("line", w, a)), (Values{w, a})) << w << " " << a;
}
