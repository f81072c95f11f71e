#include "framework/command_line.h"

#include <gtest/gtest.h>

using rillo::AppNameFromPath;
using rillo::SplitCommandLine;
using Args = std::vector<std::wstring>;

TEST(CommandLine, ProgramPathIsElementZero) {
    EXPECT_EQ(SplitCommandLine(L"rillo.scr"), Args{L"rillo.scr"});
    EXPECT_EQ(SplitCommandLine(L""), Args{L""});
    // A quoted program path keeps its blanks and its backslashes as they are.
    EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\rillo.scr\" /s"),
              (Args{L"C:\\Program Files\\rillo.scr", L"/s"}));
    EXPECT_EQ(SplitCommandLine(L"C:\\dir\\\"x /p"), (Args{L"C:\\dir\\x /p"}));
}

TEST(CommandLine, SplitsAtBlanksAndTabs) {
    EXPECT_EQ(SplitCommandLine(L"a.scr /p 1234"), (Args{L"a.scr", L"/p", L"1234"}));
    EXPECT_EQ(SplitCommandLine(L"a.scr  \t/c:1234   "), (Args{L"a.scr", L"/c:1234"}));
    EXPECT_EQ(SplitCommandLine(L"a.scr /s\t-x"), (Args{L"a.scr", L"/s", L"-x"}));
}

TEST(CommandLine, QuotesGroupAndBackslashesEscapeThem) {
    EXPECT_EQ(SplitCommandLine(L"a \"two words\" b"), (Args{L"a", L"two words", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"a pre\"mid dle\"post"), (Args{L"a", L"premid dlepost"}));
    EXPECT_EQ(SplitCommandLine(L"a \"\""), (Args{L"a", L""}));
    EXPECT_EQ(SplitCommandLine(L"a x\\\"y"), (Args{L"a", L"x\"y"}));         // \"  -> "
    EXPECT_EQ(SplitCommandLine(L"a x\\\\\"y z\""), (Args{L"a", L"x\\y z"})); // \\" -> \ + quote
    EXPECT_EQ(SplitCommandLine(L"a c:\\dir\\ b"), (Args{L"a", L"c:\\dir\\", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"a \"say \"\"hi\"\"\""), (Args{L"a", L"say \"hi\""}));
    // An unterminated quote runs to the end.
    EXPECT_EQ(SplitCommandLine(L"a \"open end"), (Args{L"a", L"open end"}));
}

TEST(CommandLine, AppNameIsFileNameWithoutExtension) {
    EXPECT_EQ(AppNameFromPath(L"C:\\Windows\\System32\\rillo.scr"), L"rillo");
    EXPECT_EQ(AppNameFromPath(L"Z:/build/tests/framework_app.exe"), L"framework_app");
    EXPECT_EQ(AppNameFromPath(L"C:\\dir.d\\noext"), L"noext");
    EXPECT_EQ(AppNameFromPath(L"C:rillo.tar.scr"), L"rillo.tar");
    EXPECT_EQ(AppNameFromPath(L"rillo"), L"rillo");
}
