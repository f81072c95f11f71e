// The GL headers before the system's, whose macros would rename their constants.
#include "gl/gl_rainfall.h"
#include "gl/gl_ripple_engine.h"
#include "gl/gl_self_test.h"
#include "saver/gl_water.h"

#undef NO_ERROR
#undef MemoryBarrier

#include <cstring>
#include <string>

namespace gl = rillo::gl;

namespace {

using WglGetProcAddressFn = PROC(WINAPI*)(LPCSTR);
using WglCreateContextFn = HGLRC(WINAPI*)(HDC);
using WglMakeCurrentFn = BOOL(WINAPI*)(HDC, HGLRC);
using WglDeleteContextFn = BOOL(WINAPI*)(HGLRC);
using WglGetCurrentContextFn = HGLRC(WINAPI*)();
using WglCreateContextAttribsFn = HGLRC(WINAPI*)(HDC, HGLRC, const int*);

// opengl32.dll and its WGL functions, loaded once for the process and kept.
struct Wgl {
    HMODULE module = nullptr;
    WglGetProcAddressFn getProcAddress = nullptr;
    WglCreateContextFn createContext = nullptr;
    WglMakeCurrentFn makeCurrent = nullptr;
    WglDeleteContextFn deleteContext = nullptr;
    WglGetCurrentContextFn getCurrentContext = nullptr;
    bool usable = false;
};

template <class F> F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const Wgl& LoadWgl() {
    static const Wgl wgl = [] {
        Wgl w;
        w.module = ::LoadLibraryW(L"opengl32.dll");
        if (!w.module)
            return w;
        w.getProcAddress = Export<WglGetProcAddressFn>(w.module, "wglGetProcAddress");
        w.createContext = Export<WglCreateContextFn>(w.module, "wglCreateContext");
        w.makeCurrent = Export<WglMakeCurrentFn>(w.module, "wglMakeCurrent");
        w.deleteContext = Export<WglDeleteContextFn>(w.module, "wglDeleteContext");
        w.getCurrentContext = Export<WglGetCurrentContextFn>(w.module, "wglGetCurrentContext");
        w.usable = w.getProcAddress && w.createContext && w.makeCurrent && w.deleteContext &&
                   w.getCurrentContext;
        return w;
    }();
    return wgl;
}

// The current context's functions: wglGetProcAddress knows only what opengl32.dll
// does not export itself, and some drivers answer with small numbers for "none".
void* LoadGl(const char* pszName) {
    const Wgl& wgl = LoadWgl();
    PROC p = wgl.getProcAddress(pszName);
    const auto v = reinterpret_cast<std::intptr_t>(p);
    if (v >= -1 && v <= 3)
        p = ::GetProcAddress(wgl.module, pszName);
    return reinterpret_cast<void*>(p);
}

PIXELFORMATDESCRIPTOR WantedFormat() {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    return pfd;
}

// Eight bits a channel, or the frame's pixels would not reach the screen unchanged.
bool IsExactFormat(HDC hdc, int format) {
    PIXELFORMATDESCRIPTOR got{};
    return ::DescribePixelFormat(hdc, format, sizeof got, &got) != 0 &&
           (got.dwFlags & PFD_SUPPORT_OPENGL) && (got.dwFlags & PFD_DRAW_TO_WINDOW) &&
           got.iPixelType == PFD_TYPE_RGBA && got.cRedBits == 8 && got.cGreenBits == 8 &&
           got.cBlueBits == 8;
}

// The functions of the pass that shows the frame, beyond the engine's own.
constexpr gl::GLenum kVertexShader = 0x8B31;
constexpr gl::GLenum kFragmentShader = 0x8B30;
constexpr gl::GLenum kTriangles = 0x0004;
constexpr gl::GLenum kDither = 0x0BD0;
struct ShowFunctions {
    void(RILLO_GL_CALL* GenVertexArrays)(gl::GLsizei, gl::GLuint*) = nullptr;
    void(RILLO_GL_CALL* BindVertexArray)(gl::GLuint) = nullptr;
    void(RILLO_GL_CALL* DeleteVertexArrays)(gl::GLsizei, const gl::GLuint*) = nullptr;
    void(RILLO_GL_CALL* DrawArrays)(gl::GLenum, gl::GLint, gl::GLsizei) = nullptr;
    void(RILLO_GL_CALL* Viewport)(gl::GLint, gl::GLint, gl::GLsizei, gl::GLsizei) = nullptr;
    void(RILLO_GL_CALL* Disable)(gl::GLenum) = nullptr;

    bool Load() {
        return Get(GenVertexArrays, "glGenVertexArrays") &&
               Get(BindVertexArray, "glBindVertexArray") &&
               Get(DeleteVertexArrays, "glDeleteVertexArrays") && Get(DrawArrays, "glDrawArrays") &&
               Get(Viewport, "glViewport") && Get(Disable, "glDisable");
    }
    template <class F> static bool Get(F& f, const char* name) {
        f = reinterpret_cast<F>(LoadGl(name));
        return f != nullptr;
    }
};

// One triangle over the whole window; each pixel takes its word of the frame as it
// stands (row 0 of the frame is the bottom line, as the window's is), no filtering,
// no colour conversion: the eight-bit channels come back to the screen unchanged.
constexpr const char* kShowVertex = R"(#version 430 core
void main() {
    gl_Position = vec4(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID >> 1) * 4 - 1), 0.0, 1.0);
}
)";
constexpr const char* kShowFragment = R"(#version 430 core
layout(std430, binding = 0) readonly buffer Frame { uint frame[]; };
uniform int uWidth;
out vec4 colour;
void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    uint c = frame[p.y * uWidth + p.x];
    colour = vec4(float((c >> 16) & 255u), float((c >> 8) & 255u), float(c & 255u), 255.0) / 255.0;
}
)";

} // namespace

struct CGlWater::Context {
    HWND hwnd = nullptr;
    HDC hdc = nullptr;
    HGLRC hglrc = nullptr;
    gl::Functions gl;
    ShowFunctions show;
    gl::GLuint program = 0;
    gl::GLint widthLocation = -1;
    gl::GLuint vertexArray = 0;

    ~Context() {
        const Wgl& wgl = LoadWgl();
        if (hglrc) {
            if (wgl.makeCurrent(hdc, hglrc)) {
                if (program)
                    gl.DeleteProgram(program);
                if (vertexArray)
                    show.DeleteVertexArrays(1, &vertexArray);
            }
            wgl.makeCurrent(nullptr, nullptr);
            wgl.deleteContext(hglrc);
        }
        if (hdc)
            ::ReleaseDC(hwnd, hdc);
    }
};

namespace {

// A hidden window with a GL pixel format, for a context to be tried on before the
// saver's own window is given one.
struct TrialWindow {
    HWND hwnd = nullptr;
    HDC hdc = nullptr;
    int format = 0;
    ~TrialWindow() {
        if (hdc)
            ::ReleaseDC(hwnd, hdc);
        if (hwnd)
            ::DestroyWindow(hwnd);
    }
    bool Make() {
        hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr,
                                 nullptr, nullptr);
        hdc = hwnd ? ::GetDC(hwnd) : nullptr;
        if (!hdc)
            return false;
        const PIXELFORMATDESCRIPTOR pfd = WantedFormat();
        format = ::ChoosePixelFormat(hdc, &pfd);
        return format != 0 && IsExactFormat(hdc, format) && ::SetPixelFormat(hdc, format, &pfd);
    }
};

// A 4.3 core context on hdc, through a first context that finds the function making it;
// that first one when no 4.3 context can be had (the engine then judges what it offers).
HGLRC MakeContext(HDC hdc) {
    const Wgl& wgl = LoadWgl();
    HGLRC legacy = wgl.createContext(hdc);
    if (!legacy)
        return nullptr;
    if (!wgl.makeCurrent(hdc, legacy)) {
        wgl.deleteContext(legacy);
        return nullptr;
    }
    const auto attribs = reinterpret_cast<WglCreateContextAttribsFn>(
        reinterpret_cast<void*>(wgl.getProcAddress("wglCreateContextAttribsARB")));
    // WGL_CONTEXT_MAJOR_VERSION_ARB 4, MINOR 3, PROFILE_MASK core.
    const int version[] = {0x2091, 4, 0x2092, 3, 0x9126, 0x1, 0};
    HGLRC core = attribs ? attribs(hdc, nullptr, version) : nullptr;
    if (!core)
        return legacy;
    wgl.makeCurrent(nullptr, nullptr);
    wgl.deleteContext(legacy);
    if (!wgl.makeCurrent(hdc, core)) {
        wgl.deleteContext(core);
        return nullptr;
    }
    return core;
}

} // namespace

CGlWater::CGlWater(const rillo::SaverSettings& settings, std::int32_t nSeed)
    : m_settings(settings), m_nSeed(nSeed) {}

CGlWater::~CGlWater() {
    // The engine's buffers go with its context, which must be current to free them.
    if (m_pContext && MakeCurrent()) {
        m_pRain.reset();
        m_pEngine.reset();
    }
}

std::unique_ptr<CGlWater> CGlWater::Create(HWND hwnd, const rillo::SaverSettings& settings,
                                           std::int32_t nSeed, std::int32_t nWidth,
                                           std::int32_t nHeight, const std::uint32_t* pPicture) {
    if (settings.engine == rillo::EngineChoice::Cpu || !hwnd || nWidth <= 0 || nHeight <= 0 ||
        !pPicture)
        return nullptr;
    const Wgl& wgl = LoadWgl();
    if (!wgl.usable)
        return nullptr;

    std::unique_ptr<CGlWater> water(new CGlWater(settings, nSeed));
    auto context = std::make_unique<Context>();
    TrialWindow trial;
    if (!trial.Make())
        return nullptr;
    context->hwnd = trial.hwnd;
    context->hdc = trial.hdc;
    context->hglrc = MakeContext(trial.hdc);
    if (!context->hglrc) {
        context->hdc = nullptr; // the trial window's, released with it
        return nullptr;
    }
    // From here on the context is freed with `context`, current on the trial window
    // until the saver's window has it.
    auto release = [&] {
        water->m_pRain.reset();
        water->m_pEngine.reset();
        context->hdc = nullptr;
        wgl.makeCurrent(nullptr, nullptr);
        wgl.deleteContext(context->hglrc);
        context->hglrc = nullptr;
        return nullptr;
    };

    // Before any shader is built: a renderer the choice refuses costs no more.
    using GetStringFn = const gl::GLubyte*(RILLO_GL_CALL*)(gl::GLenum);
    const auto getString = reinterpret_cast<GetStringFn>(LoadGl("glGetString"));
    const gl::GLubyte* renderer = getString ? getString(gl::RENDERER) : nullptr;
    if (!renderer ||
        !rillo::AcceptsRenderer(settings.engine,
                                rillo::IsSoftwareRenderer(reinterpret_cast<const char*>(renderer))))
        return release();

    water->m_pEngine = std::make_unique<rillo::CGlRippleEngine>(&LoadGl);
    if (!water->m_pEngine->IsUsable() || !rillo::RunGlSelfTest(*water->m_pEngine))
        return release();
    if (!gl::LoadFunctions(&LoadGl, context->gl) || !context->show.Load())
        return release();

    // The saver's window takes the trial window's pixel format, and with it the context.
    HDC hdc = ::GetDC(hwnd);
    PIXELFORMATDESCRIPTOR pfd = WantedFormat();
    if (!hdc)
        return release();
    if (::GetPixelFormat(hdc) != trial.format &&
        (!::DescribePixelFormat(hdc, trial.format, sizeof pfd, &pfd) ||
         !::SetPixelFormat(hdc, trial.format, &pfd))) {
        ::ReleaseDC(hwnd, hdc);
        return release();
    }
    if (!wgl.makeCurrent(hdc, context->hglrc)) {
        ::ReleaseDC(hwnd, hdc);
        return release();
    }
    context->hwnd = hwnd;
    context->hdc = hdc;
    water->m_pContext = std::move(context);

    water->m_pRain = std::make_unique<rillo::GlRainfall>(*water->m_pEngine, settings, nSeed);
    if (!water->BuildShowProgram() || !water->m_pRain->Resize(nWidth, nHeight) ||
        water->m_pEngine->GetWidth() != nWidth || !water->m_pEngine->SetPicture(pPicture) ||
        !water->m_pEngine->SetFrame(pPicture) || !water->m_pEngine->Finish())
        return nullptr;
    return water;
}

bool CGlWater::MakeCurrent() {
    const Wgl& wgl = LoadWgl();
    return wgl.getCurrentContext() == m_pContext->hglrc ||
           wgl.makeCurrent(m_pContext->hdc, m_pContext->hglrc);
}

bool CGlWater::BuildShowProgram() {
    Context& c = *m_pContext;
    const gl::Functions& f = c.gl;
    auto compile = [&](gl::GLenum type, const char* source) -> gl::GLuint {
        const gl::GLuint shader = f.CreateShader(type);
        if (!shader)
            return 0;
        f.ShaderSource(shader, 1, &source, nullptr);
        f.CompileShader(shader);
        gl::GLint ok = 0;
        f.GetShaderiv(shader, gl::COMPILE_STATUS, &ok);
        if (!ok) {
            f.DeleteShader(shader);
            return 0;
        }
        return shader;
    };
    const gl::GLuint vertex = compile(kVertexShader, kShowVertex);
    const gl::GLuint fragment = compile(kFragmentShader, kShowFragment);
    if (vertex && fragment) {
        c.program = f.CreateProgram();
        f.AttachShader(c.program, vertex);
        f.AttachShader(c.program, fragment);
        f.LinkProgram(c.program);
    }
    if (vertex)
        f.DeleteShader(vertex);
    if (fragment)
        f.DeleteShader(fragment);
    gl::GLint linked = 0;
    if (c.program)
        f.GetProgramiv(c.program, gl::LINK_STATUS, &linked);
    if (!linked)
        return false;
    c.widthLocation = f.GetUniformLocation(c.program, "uWidth");
    c.show.GenVertexArrays(1, &c.vertexArray);
    c.show.Disable(kDither);
    return c.widthLocation >= 0 && c.vertexArray != 0 && f.GetError() == gl::NO_ERROR;
}

bool CGlWater::Draw() {
    Context& c = *m_pContext;
    const gl::Functions& f = c.gl;
    const gl::GLuint frame = m_pEngine->GetFrameStorageBuffer();
    if (!frame)
        return false;
    // The compute passes' writes are seen by the drawing's reads.
    f.MemoryBarrier(gl::SHADER_STORAGE_BARRIER_BIT);
    c.show.Viewport(0, 0, m_pEngine->GetWidth(), m_pEngine->GetHeight());
    f.UseProgram(c.program);
    f.Uniform1i(c.widthLocation, m_pEngine->GetWidth());
    f.BindBufferBase(gl::SHADER_STORAGE_BUFFER, 0, frame);
    c.show.BindVertexArray(c.vertexArray);
    c.show.DrawArrays(kTriangles, 0, 3);
    if (f.GetError() != gl::NO_ERROR || !::SwapBuffers(c.hdc))
        return false;
    return f.GetError() == gl::NO_ERROR;
}

bool CGlWater::Tick() {
    if (m_bFailed || !MakeCurrent() || !m_pEngine->IsUsable()) {
        m_bFailed = true;
        return false;
    }
    if (m_pRain->Tick() > 0 && (!m_pEngine->IsUsable() || !Draw()))
        m_bFailed = true;
    return !m_bFailed;
}

bool CGlWater::Show() {
    if (m_bFailed || !MakeCurrent() || !m_pEngine->IsUsable() || !Draw())
        m_bFailed = true;
    return !m_bFailed;
}

void CGlWater::HandOver(rillo::Rainfall& rain, const std::uint32_t* pPicture,
                        std::uint32_t* pFrame) {
    rain.GetRain() = m_pRain->GetRain();
    CRippleField& field = rain.GetField();
    const bool current = MakeCurrent();
    const bool sameSize = field.GetWidth() == m_pEngine->GetWidth() &&
                          field.GetHeight() == m_pEngine->GetHeight() && field.GetWidth() > 0;
    // The processor's field starts at buffer 0: water read back at the other phase of
    // the cycle cannot be carried over, and flat water it is.
    const bool water = current && sameSize && m_pEngine->GetCurrent() == 0 &&
                       m_pEngine->ReadHeights(0, field.GetBuffer(0)) &&
                       m_pEngine->ReadHeights(1, field.GetBuffer(1));
    if (water)
        field.Invalidate();
    else
        field.Resize(field.GetWidth(), field.GetHeight());
    const bool frame = current && sameSize && pFrame && m_pEngine->ReadFrame(pFrame);
    if (!frame && pFrame && pPicture && field.GetWidth() > 0)
        std::memcpy(pFrame, pPicture,
                    std::size_t(field.GetWidth()) * std::size_t(field.GetHeight()) * 4);
    m_bFailed = true;
}
