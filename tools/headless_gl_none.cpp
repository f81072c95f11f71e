#include "headless_gl.h"

namespace rillo {

std::unique_ptr<HeadlessGl> MakeHeadlessGl(std::string& why) {
    why = "this build has no headless OpenGL";
    return nullptr;
}

} // namespace rillo
