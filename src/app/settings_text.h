// The settings file's text: three CR LF separated lines, the first one ours to keep but
// not to read, then the wavelength and the amplitude as signed decimal numbers.
//
// Everything here works on the file's bytes: the first line may hold any bytes at all
// (other code pages, NULs) and must survive a rewrite unchanged.
#pragma once

#include "saver/saver_settings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rillo {

// Reads a number the way the C library's atol does: leading white space (space, tab,
// LF, VT, FF, CR), an optional sign, then decimal digits up to the first non-digit; no
// digits give 0. Digits beyond the 32-bit range wrap modulo 2^32 instead of being
// undefined. Works on narrow and wide characters alike.
template <class Char> std::int32_t ReadLeadingInt(const Char* p, const Char* end) {
    auto isSpace = [](Char c) { return c == Char(' ') || (c >= Char('\t') && c <= Char('\r')); };
    while (p != end && isSpace(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == Char('+') || *p == Char('-'))) {
        negative = *p == Char('-');
        ++p;
    }
    std::uint32_t value = 0;
    for (; p != end && *p >= Char('0') && *p <= Char('9'); ++p)
        value = value * 10u + std::uint32_t(*p - Char('0'));
    if (negative)
        value = 0u - value;
    // Two's-complement reinterpretation, spelled out so that it is defined everywhere.
    return value <= 0x7FFFFFFFu ? std::int32_t(value) : -std::int32_t(~value) - 1;
}

// Fills in the values the text holds. A value whose line is missing (the text has too
// few CR LF line ends) keeps what the caller put there, normally the defaults.
void ParseSettingsText(std::string_view text, std::int32_t& wavelength, std::int32_t& amplitude);

// The first line: the bytes before the first CR LF, or nothing when there is none.
std::string_view SettingsFirstLine(std::string_view text);

// The text that replaces `oldText`: its first line, CR LF, the wavelength, CR LF, the
// amplitude. No line end follows the last line.
std::string RewriteSettingsText(std::string_view oldText, std::int32_t wavelength,
                                std::int32_t amplitude);

} // namespace rillo
