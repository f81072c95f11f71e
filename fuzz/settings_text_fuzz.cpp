// The settings file is hand-editable: any bytes must load without harm, and a rewrite
// must keep the first line and read back as the values written.
#include "app/settings_text.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// For short numbers the C library is the reference.
void CompareWithStrtol(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i + digits < text.size() && text[i + digits] >= '0' && text[i + digits] <= '9')
        ++digits;
    if (digits > 9)
        return;                    // beyond the range strtol and a 32-bit wrap agree on
    const std::string copy = text; // strtol needs a terminated string
    const long expected = std::strtol(copy.c_str(), nullptr, 10);
    Check(rillo::ReadLeadingInt(text.data(), text.data() + text.size()) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CompareWithStrtol(text);

    std::int32_t wavelength = rillo::kDefaultWavelength, amplitude = rillo::kDefaultAmplitude;
    rillo::ParseSettingsText(text, wavelength, amplitude);

    const std::string rewritten = rillo::RewriteSettingsText(text, wavelength, amplitude);
    const std::string_view firstLine = rillo::SettingsFirstLine(text);
    Check(rewritten.size() <= firstLine.size() + 2 + 11 + 2 + 11);
    Check(rewritten.compare(0, firstLine.size(), firstLine) == 0);
    Check(rillo::SettingsFirstLine(rewritten) == firstLine);

    std::int32_t w2 = 0, a2 = 0;
    rillo::ParseSettingsText(rewritten, w2, a2);
    Check(w2 == wavelength && a2 == amplitude);
    Check(rillo::RewriteSettingsText(rewritten, w2, a2) == rewritten);
    return 0;
}
