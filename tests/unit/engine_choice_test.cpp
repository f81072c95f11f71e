#include "saver/engine_choice.h"

#include <gtest/gtest.h>

namespace {

using rillo::EngineChoice;
using rillo::ParseEngineChoice;

TEST(EngineChoice, ReadsTheThreeWordsInAnyCaseWithBlanksAround) {
    EXPECT_EQ(ParseEngineChoice(L"gl"), EngineChoice::Gl);
    EXPECT_EQ(ParseEngineChoice(L"GL"), EngineChoice::Gl);
    EXPECT_EQ(ParseEngineChoice(L" Gl \t"), EngineChoice::Gl);
    EXPECT_EQ(ParseEngineChoice(L"cpu"), EngineChoice::Cpu);
    EXPECT_EQ(ParseEngineChoice(L"CPU\r\n"), EngineChoice::Cpu);
    EXPECT_EQ(ParseEngineChoice(L"auto"), EngineChoice::Auto);
}

TEST(EngineChoice, AnythingElseIsAuto) {
    for (const wchar_t* text :
         {L"", L"  ", L"g", L"gll", L"cpu2", L"c pu", L"opengl", L"gpu", L"\u0130gl"})
        EXPECT_EQ(ParseEngineChoice(text), EngineChoice::Auto) << text;
    // An embedded NUL is part of the value, not its end.
    EXPECT_EQ(ParseEngineChoice(std::wstring_view(L"gl\0", 3)), EngineChoice::Auto);
}

TEST(EngineChoice, OnlyGlTakesASoftwareRenderer) {
    EXPECT_TRUE(rillo::AcceptsRenderer(EngineChoice::Gl, true));
    EXPECT_TRUE(rillo::AcceptsRenderer(EngineChoice::Gl, false));
    EXPECT_FALSE(rillo::AcceptsRenderer(EngineChoice::Auto, true));
    EXPECT_TRUE(rillo::AcceptsRenderer(EngineChoice::Auto, false));
    EXPECT_FALSE(rillo::AcceptsRenderer(EngineChoice::Cpu, false));
}

} // namespace
