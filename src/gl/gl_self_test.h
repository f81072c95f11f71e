// The GL engine's proof at start: a few steps on a small field, run by both engines
// and compared cell for cell and pixel for pixel. A graphics driver whose integers
// are not exact fails it, and the caller keeps the processor engine.
#pragma once

#include "gl/gl_ripple_engine.h"

#include <string>

namespace rillo {

// Runs the test on engine (usable, on its context) and leaves it empty, 0 x 0, for
// the caller to Resize. Returns whether every cell and pixel matched; pWhy, when
// given, says what did not.
bool RunGlSelfTest(CGlRippleEngine& engine, std::string* pWhy = nullptr);

} // namespace rillo
