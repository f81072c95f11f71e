#include "ui/browser_command.h"

#include <gtest/gtest.h>

using namespace std::string_literals;
using rillo::BuildBrowserCommand;

namespace {
const std::string kAddress = "https://rillo.example.org/";
}

TEST(BrowserCommand, AddressIsAppendedWithNothingInBetween) {
    EXPECT_EQ(BuildBrowserCommand("C:\\web\\browse.exe ", kAddress),
              "C:\\web\\browse.exe https://rillo.example.org/");
    EXPECT_EQ(BuildBrowserCommand("C:\\web\\browse.exe -nohome", kAddress),
              "C:\\web\\browse.exe -nohomehttps://rillo.example.org/");
    EXPECT_EQ(BuildBrowserCommand("\"C:\\Program Files\\web\\browse.exe\"", kAddress),
              "\"C:\\Program Files\\web\\browse.exe\"https://rillo.example.org/");
}

TEST(BrowserCommand, TheFirstPlaceholderTakesTheAddress) {
    EXPECT_EQ(BuildBrowserCommand("\"C:\\web\\browse.exe\" \"%1\"", kAddress),
              "\"C:\\web\\browse.exe\" \"https://rillo.example.org/\"");
    EXPECT_EQ(BuildBrowserCommand("browse.exe %1 -new", kAddress),
              "browse.exe https://rillo.example.org/ -new");
    EXPECT_EQ(BuildBrowserCommand("browse.exe %1 %1", kAddress),
              "browse.exe https://rillo.example.org/ %1");
    EXPECT_EQ(BuildBrowserCommand("%1", kAddress), kAddress);
    // Other placeholders and environment variables are left as they are.
    EXPECT_EQ(BuildBrowserCommand("%ProgramFiles%\\b.exe %L", "x"), "%ProgramFiles%\\b.exe %Lx");
    EXPECT_EQ(BuildBrowserCommand("b.exe %%1", "x"), "b.exe %x");
}

TEST(BrowserCommand, TextEndsAtTheFirstZeroByte) {
    EXPECT_EQ(BuildBrowserCommand("b.exe \0garbage"s, "x"), "b.exe x");
    std::string buffer(256, 'z');
    buffer.replace(0, 6, "b.exe\0"s);
    EXPECT_EQ(BuildBrowserCommand(buffer, "x"), "b.exex");
    // Data that fills the whole buffer without a terminating zero is still bounded.
    EXPECT_EQ(BuildBrowserCommand(std::string(255, 'b'), ""), std::string(255, 'b'));
    EXPECT_EQ(BuildBrowserCommand(std::string(256, 'b'), ""), std::nullopt);
}

TEST(BrowserCommand, ACommandThatDoesNotFitIsNotRun) {
    const std::string head(255 - kAddress.size(), 'b');
    EXPECT_EQ(BuildBrowserCommand(head, kAddress), head + kAddress);
    EXPECT_EQ(BuildBrowserCommand(head + "b", kAddress), std::nullopt);
    const std::string quoted = "\"" + std::string(252 - kAddress.size(), 'b') + "\" %1";
    EXPECT_EQ(BuildBrowserCommand(quoted, kAddress)->size(), 255u);
    EXPECT_EQ(BuildBrowserCommand("b" + quoted, kAddress), std::nullopt);
    EXPECT_EQ(BuildBrowserCommand("b %1", std::string(252, 'a'))->size(), 254u);
    EXPECT_EQ(BuildBrowserCommand("b %1", std::string(253, 'a'))->size(), 255u);
    EXPECT_EQ(BuildBrowserCommand("b %1", std::string(254, 'a')), std::nullopt);
    EXPECT_EQ(BuildBrowserCommand("b ", std::string(100000, 'a')), std::nullopt);
}

TEST(BrowserCommand, NoBrowserMeansNothingToRun) {
    EXPECT_EQ(BuildBrowserCommand("", kAddress), std::nullopt);
    EXPECT_EQ(BuildBrowserCommand("\0browse.exe"s, kAddress), std::nullopt);
    EXPECT_EQ(BuildBrowserCommand("  \t", kAddress), std::nullopt);
    // An address that would be cut at a zero byte is not run either.
    EXPECT_EQ(BuildBrowserCommand("b.exe ", "x\0y"s), std::nullopt);
}
