#include "app/settings_text.h"

namespace rillo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::int32_t ReadNumber(std::string_view text) {
    return ReadLeadingInt(text.data(), text.data() + text.size());
}

// Decimal, with a minus sign for negative values: what "%d" writes for a 32-bit int.
std::string FormatNumber(std::int32_t value) {
    std::uint32_t magnitude = value < 0 ? 0u - std::uint32_t(value) : std::uint32_t(value);
    char digits[16];
    char* p = digits + sizeof digits;
    do {
        *--p = char('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    return std::string(p, digits + sizeof digits);
}

} // namespace

void ParseSettingsText(std::string_view text, std::int32_t& wavelength, std::int32_t& amplitude) {
    const auto first = text.find(kLineEnd);
    if (first == std::string_view::npos)
        return;
    // The number may begin past white space, even past the next line end: an empty
    // second line makes the wavelength take the third line's number.
    std::string_view rest = text.substr(first + kLineEnd.size());
    wavelength = ReadNumber(rest);
    const auto second = rest.find(kLineEnd);
    if (second == std::string_view::npos)
        return;
    amplitude = ReadNumber(rest.substr(second + kLineEnd.size()));
}

std::string_view SettingsFirstLine(std::string_view text) {
    const auto first = text.find(kLineEnd);
    return first == std::string_view::npos ? std::string_view() : text.substr(0, first);
}

std::string RewriteSettingsText(std::string_view oldText, std::int32_t wavelength,
                                std::int32_t amplitude) {
    std::string text(SettingsFirstLine(oldText));
    text += kLineEnd;
    text += FormatNumber(wavelength);
    text += kLineEnd;
    text += FormatNumber(amplitude);
    return text;
}

} // namespace rillo
