// The GL engine as the Windows build compiles it, on a WGL context: opengl32.dll
// loaded at run time, functions found through wglGetProcAddress and the DLL's own
// exports, the water held to the literal reference. Skipped, saying why, where no
// OpenGL 4.3 context can be made (no GLX on the display, OpenGL switched off).
#include "gl/gl_ripple_engine.h"
#include "gl/gl_self_test.h"

#include "reference_ripple.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

using WglGetProcAddressFn = PROC(WINAPI*)(LPCSTR);
using WglCreateContextFn = HGLRC(WINAPI*)(HDC);
using WglMakeCurrentFn = BOOL(WINAPI*)(HDC, HGLRC);
using WglDeleteContextFn = BOOL(WINAPI*)(HGLRC);
using WglCreateContextAttribsFn = HGLRC(WINAPI*)(HDC, HGLRC, const int*);

HMODULE g_opengl32 = nullptr;

// An exported function as the type it has.
template <class F> F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
WglGetProcAddressFn g_wglGetProcAddress = nullptr;

// wglGetProcAddress knows only what opengl32.dll does not export itself, and some
// drivers answer with small numbers instead of null.
void* LoadGl(const char* pszName) {
    PROC p = g_wglGetProcAddress(pszName);
    const auto v = reinterpret_cast<std::intptr_t>(p);
    if (v == 0 || v == 1 || v == 2 || v == 3 || v == -1)
        p = ::GetProcAddress(g_opengl32, pszName);
    return reinterpret_cast<void*>(p);
}

// A hidden window with an OpenGL pixel format and a 4.3 core context current on it.
class WglContext {
  public:
    bool Make(std::string& why) {
        g_opengl32 = ::LoadLibraryW(L"opengl32.dll");
        if (!g_opengl32)
            return Fail(why, "no opengl32.dll");
        g_wglGetProcAddress = Export<WglGetProcAddressFn>(g_opengl32, "wglGetProcAddress");
        auto create = Export<WglCreateContextFn>(g_opengl32, "wglCreateContext");
        m_makeCurrent = Export<WglMakeCurrentFn>(g_opengl32, "wglMakeCurrent");
        m_delete = Export<WglDeleteContextFn>(g_opengl32, "wglDeleteContext");
        if (!g_wglGetProcAddress || !create || !m_makeCurrent || !m_delete)
            return Fail(why, "opengl32.dll lacks the WGL functions");
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"gl", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                   nullptr, nullptr);
        m_hDC = m_hWnd ? ::GetDC(m_hWnd) : nullptr;
        if (!m_hDC)
            return Fail(why, "no window");
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.nSize = sizeof pfd;
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.iPixelType = PFD_TYPE_RGBA;
        pfd.cColorBits = 32;
        const int format = ::ChoosePixelFormat(m_hDC, &pfd);
        if (format == 0 || !::SetPixelFormat(m_hDC, format, &pfd))
            return Fail(why, "no OpenGL pixel format");
        // A first context, only to find wglCreateContextAttribsARB.
        HGLRC legacy = create(m_hDC);
        if (!legacy || !m_makeCurrent(m_hDC, legacy))
            return Fail(why, "no OpenGL context");
        auto attribs = reinterpret_cast<WglCreateContextAttribsFn>(
            reinterpret_cast<void*>(g_wglGetProcAddress("wglCreateContextAttribsARB")));
        const int version[] = {0x2091, 4, 0x2092, 3, 0x9126, 0x1, 0}; // 4.3 core
        m_hGLRC = attribs ? attribs(m_hDC, nullptr, version) : nullptr;
        m_makeCurrent(nullptr, nullptr);
        m_delete(legacy);
        if (!m_hGLRC || !m_makeCurrent(m_hDC, m_hGLRC))
            return Fail(why, "no OpenGL 4.3 core context");
        return true;
    }
    ~WglContext() {
        if (m_hGLRC) {
            m_makeCurrent(nullptr, nullptr);
            m_delete(m_hGLRC);
        }
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }

  private:
    static bool Fail(std::string& why, const char* text) {
        why = text;
        return false;
    }
    WglMakeCurrentFn m_makeCurrent = nullptr;
    WglDeleteContextFn m_delete = nullptr;
    HWND m_hWnd = nullptr;
    HDC m_hDC = nullptr;
    HGLRC m_hGLRC = nullptr;
};

TEST(GlEngineWgl, SelfTestAndRainMatchTheReference) {
    WglContext context;
    std::string why;
    if (!context.Make(why))
        GTEST_SKIP() << why;
    // What the saver's start pays for the engine, printed for the record.
    LARGE_INTEGER frequency, t0, t1, t2;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&t0);
    rillo::CGlRippleEngine engine(&LoadGl);
    ::QueryPerformanceCounter(&t1);
    ASSERT_TRUE(engine.IsUsable()) << engine.GetFailure();
    EXPECT_TRUE(rillo::RunGlSelfTest(engine, &why)) << why;
    ::QueryPerformanceCounter(&t2);
    const auto ms = [&](LARGE_INTEGER a, LARGE_INTEGER b) {
        return double(b.QuadPart - a.QuadPart) * 1000.0 / double(frequency.QuadPart);
    };
    std::cout << "engine built in " << ms(t0, t1) << " ms, self-test " << ms(t1, t2) << " ms\n";

    std::mt19937 rng(5);
    for (auto [w, h] : {std::pair{3, 9}, {67, 23}, {1030, 5}}) {
        CReferenceRippleField ref;
        ref.Resize(w, h);
        std::vector<std::uint32_t> src(std::size_t(w) * h), dst(src.size()), frame(src.size());
        for (auto& p : src)
            p = rng();
        for (auto& p : dst)
            p = rng();
        ASSERT_TRUE(engine.Resize(w, h));
        ASSERT_TRUE(engine.SetPicture(src.data()) && engine.SetFrame(dst.data()));
        // Heights near both limits, then rain on and beyond the border.
        for (int b = 0; b < 2; ++b) {
            for (auto& v : ref.Buffer(b))
                v = rng() % 3 == 0 ? std::int32_t(rng()) : std::int32_t(rng() % 64) - 32;
            ASSERT_TRUE(engine.WriteHeights(b, ref.Buffer(b).data()));
        }
        std::uniform_int_distribution<std::int32_t> px(-5, w + 5), py(-5, h + 5), rad(0, 12),
            str(-900, 4000);
        std::vector<std::int32_t> cells(src.size());
        for (int step = 0; step < 20; ++step) {
            const std::int32_t x = px(rng), y = py(rng), r = rad(rng), k = str(rng);
            ref.Drop(x, y, r, k, ref.m_nCurrent);
            engine.Drop(x, y, r, k, engine.GetCurrent());
            ref.Render(src.data(), dst.data());
            engine.Render();
        }
        const std::string what = std::to_string(w) + "x" + std::to_string(h);
        ASSERT_TRUE(engine.ReadFrame(frame.data())) << engine.GetFailure();
        EXPECT_EQ(frame, dst) << what;
        ASSERT_TRUE(engine.ReadHeights(0, cells.data()));
        EXPECT_EQ(cells, ref.m_buffer0) << what;
        ASSERT_TRUE(engine.ReadHeights(1, cells.data()));
        EXPECT_EQ(cells, ref.m_buffer1) << what;
    }
    std::cout << "renderer: " << engine.GetRenderer() << "\n";
}

} // namespace
