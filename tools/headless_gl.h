// A GL context with no window and no display, for the native tools, tests and
// benchmarks that run the GL engine: Mesa's surfaceless EGL platform, OpenGL 4.3 core.
#pragma once

#include "gl/gl_api.h"

#include <memory>
#include <string>

namespace rillo {

class HeadlessGl {
  public:
    virtual ~HeadlessGl() = default;
    // The context's function loader, for CGlRippleEngine.
    virtual gl::Loader GetLoader() const = 0;
};

// Makes a context and makes it current on this thread, or returns null and says why
// (no EGL, no surfaceless platform, no 4.3 context, or a build without EGL).
std::unique_ptr<HeadlessGl> MakeHeadlessGl(std::string& why);

} // namespace rillo
