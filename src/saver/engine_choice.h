// Which engine runs the full-screen water: the profile's "Engine" value, read as the
// application starts and handed down with the settings.
#pragma once

#include <string_view>

namespace rillo {

enum class EngineChoice {
    Auto, // the GL engine on a graphics processor that passes the self-test, else the processor
    Gl,   // the GL engine whenever it passes the self-test, a software renderer included
    Cpu,  // the processor only: OpenGL is not even loaded
};

// "auto", "gl" or "cpu", in any case, blanks around it ignored; anything else (a
// missing value included) is Auto.
EngineChoice ParseEngineChoice(std::wstring_view text);

// Whether a GL context whose renderer is (or is not) software may run the water.
inline bool AcceptsRenderer(EngineChoice choice, bool bSoftwareRenderer) {
    return choice == EngineChoice::Gl || (choice == EngineChoice::Auto && !bSoftwareRenderer);
}

} // namespace rillo
