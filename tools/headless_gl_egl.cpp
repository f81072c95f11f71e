#include "headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace rillo {

namespace {

void* LoadGl(const char* pszName) {
    return reinterpret_cast<void*>(eglGetProcAddress(pszName));
}

class EglContext : public HeadlessGl {
  public:
    EglContext(EGLDisplay display, EGLContext context) : m_display(display), m_context(context) {}
    ~EglContext() override {
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(m_display, m_context);
        eglTerminate(m_display);
    }
    gl::Loader GetLoader() const override { return &LoadGl; }

  private:
    EGLDisplay m_display;
    EGLContext m_context;
};

} // namespace

std::unique_ptr<HeadlessGl> MakeHeadlessGl(std::string& why) {
    const auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay) {
        why = "EGL has no eglGetPlatformDisplayEXT";
        return nullptr;
    }
    EGLDisplay display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        why = "no surfaceless EGL display";
        return nullptr;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 4,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext context = EGL_NO_CONTEXT;
    if (eglBindAPI(EGL_OPENGL_API))
        context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        why = "no OpenGL 4.3 core context";
        eglTerminate(display);
        return nullptr;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        why = "the context cannot be made current without a surface";
        eglDestroyContext(display, context);
        eglTerminate(display);
        return nullptr;
    }
    return std::make_unique<EglContext>(display, context);
}

} // namespace rillo
