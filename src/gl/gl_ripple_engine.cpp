#include "gl/gl_ripple_engine.h"

#include "ripple/drop_cone.h"
#include "ripple/ripple_kernels.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace rillo {

namespace gl {

bool LoadFunctions(Loader pfnLoad, Functions& f, const char** ppszMissing) {
    f = Functions{};
    const char* missing = nullptr;
    char name[64];
#define RILLO_GL_LOAD(ret, fn, params)                                                             \
    std::strcpy(name, "gl" #fn);                                                                   \
    f.fn = pfnLoad ? reinterpret_cast<ret(RILLO_GL_CALL*) params>(pfnLoad(name)) : nullptr;        \
    if (!f.fn && !missing)                                                                         \
        missing = "gl" #fn;
    RILLO_GL_FUNCTIONS(RILLO_GL_LOAD)
#undef RILLO_GL_LOAD
    if (ppszMissing)
        *ppszMissing = missing;
    return missing == nullptr;
}

} // namespace gl

namespace {

using namespace gl;

constexpr GLuint kGroupWidth = 64;

// Every shader works on a block of uCols x uRows items, one invocation each; a
// block larger than one dispatch may hold goes in parts, (uCol0, uRow0) the part's
// first item. GLSL ints wrap in 32 bits on add, subtract and multiply, and >> on
// them is arithmetic: the cell rules carry over unchanged.
constexpr const char* kCommon = R"(
layout(local_size_x = 64) in;
uniform uint uCols;
uniform uint uRows;
uniform uint uCol0;
uniform uint uRow0;
uniform int uWidth;
bool Item(out uint c, out uint r) {
    c = gl_GlobalInvocationID.x + uCol0;
    r = gl_GlobalInvocationID.y + uRow0;
    return c < uCols && r < uRows;
}
)";

// Adds one drop's amounts, a block of uCols columns starting at cell uFirst.
constexpr const char* kDropSource = R"(
uniform int uFirst;
layout(std430, binding = 0) buffer Target { int t[]; };
layout(std430, binding = 1) readonly buffer Amounts { int a[]; };
void main() {
    uint c, r;
    if (!Item(c, r))
        return;
    t[uFirst + int(r) * uWidth + int(c)] += a[r * uCols + c];
}
)";

// One frame pixel per interior cell (the block is the interior), from buffer 0's slopes.
constexpr const char* kRenderSource = R"(
uniform int uCells;
layout(std430, binding = 0) readonly buffer Heights { int h[]; };
layout(std430, binding = 1) readonly buffer Picture { uint src[]; };
layout(std430, binding = 2) buffer Frame { uint dst[]; };
void main() {
    uint c, r;
    if (!Item(c, r))
        return;
    int i = int(r + 1u) * uWidth + int(c) + 1;
    int gx = h[i] - h[i + 1];
    int gy = h[i] - h[i + uWidth];
    int f = i + (gy >> 3) * uWidth + (gx >> 3);
    if (f <= 0 || f >= uCells)
        return; // outside the picture: the pixel keeps what it had
    uint p = src[f];
    ivec3 ch = ivec3(int(p & 0xFFu), int((p >> 8) & 0xFFu), int((p >> 16) & 0xFFu)) - gx;
    ch = clamp(ch, 0, 255);
    dst[i] = (uint(ch.z) << 16) | (uint(ch.y) << 8) | uint(ch.x);
}
)";

// One damped wave step of an interior cell.
constexpr const char* kPropagateSource = R"(
uniform uint uShift;
layout(std430, binding = 0) buffer Written { int w[]; };
layout(std430, binding = 1) readonly buffer Read { int r[]; };
void main() {
    uint c, row;
    if (!Item(c, row))
        return;
    int i = int(row + 1u) * uWidth + int(c) + 1;
    int s = r[i - uWidth - 1] + r[i - uWidth] + r[i - uWidth + 1] + r[i - 1] + r[i + 1] +
            r[i + uWidth - 1] + r[i + uWidth] + r[i + uWidth + 1];
    int d = (s >> 2) - w[i];
    w[i] = d - (d >> uShift);
}
)";

// Uniform slots every program shares, then its own.
enum { kCols, kRows, kCol0, kRow0, kWidth, kOwn, kUniforms };
const char* const kDropUniforms[] = {"uCols", "uRows", "uCol0", "uRow0", "uWidth", "uFirst"};
const char* const kRenderUniforms[] = {"uCols", "uRows", "uCol0", "uRow0", "uWidth", "uCells"};
const char* const kPropagateUniforms[] = {"uCols", "uRows", "uCol0", "uRow0", "uWidth", "uShift"};

// Version line and extensions: 4.3 has compute shaders and storage buffers; an
// older context may offer both as extensions.
constexpr const char* kHeader430 = "#version 430\n";
constexpr const char* kHeaderExtensions = "#version 420\n"
                                          "#extension GL_ARB_compute_shader : require\n"
                                          "#extension GL_ARB_shader_storage_buffer_object : "
                                          "require\n";

} // namespace

bool IsSoftwareRenderer(const char* pszRenderer) {
    if (!pszRenderer)
        return false;
    std::string lower(pszRenderer);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* name : {"llvmpipe", "softpipe", "swiftshader", "gdi generic",
                             "basic render driver", "software rasterizer"})
        if (lower.find(name) != std::string::npos)
            return true;
    return false;
}

CGlRippleEngine::CGlRippleEngine(gl::Loader pfnLoad) {
    const char* missing = nullptr;
    if (!LoadFunctions(pfnLoad, m_gl, &missing)) {
        Fail(std::string("no ") + (missing ? missing : "loader"));
        return;
    }
    // Errors left over from whoever used the context before are not ours. A lost
    // context keeps reporting one, so only so many are taken.
    for (int n = 0; n < 16 && m_gl.GetError() != NO_ERROR; ++n) {
    }
    if (const GLubyte* r = m_gl.GetString(RENDERER))
        m_strRenderer = reinterpret_cast<const char*>(r);
    if (!CheckVersion())
        return;
    GLint groups[2] = {};
    m_gl.GetIntegeri_v(MAX_COMPUTE_WORK_GROUP_COUNT, 0, &groups[0]);
    m_gl.GetIntegeri_v(MAX_COMPUTE_WORK_GROUP_COUNT, 1, &groups[1]);
    m_nMaxGroupsX = GLuint(std::max<GLint>(groups[0], 1));
    m_nMaxGroupsY = GLuint(std::max<GLint>(groups[1], 1));
    m_gl.GetInteger64v(MAX_SHADER_STORAGE_BLOCK_SIZE, &m_nMaxBlockBytes);
    if (!CheckErrors("reading the limits"))
        return;
    if (!Build(m_drop, kDropSource, kDropUniforms, kUniforms) ||
        !Build(m_render, kRenderSource, kRenderUniforms, kUniforms) ||
        !Build(m_propagate, kPropagateSource, kPropagateUniforms, kUniforms))
        return;
    CheckErrors("building the shaders");
}

CGlRippleEngine::~CGlRippleEngine() {
    if (!m_gl.DeleteProgram)
        return;
    FreeBuffers();
    for (Program* p : {&m_drop, &m_render, &m_propagate})
        if (p->id)
            m_gl.DeleteProgram(p->id);
}

bool CGlRippleEngine::Fail(const std::string& why) {
    if (!m_bFailed)
        m_strFailure = why;
    m_bFailed = true;
    return false;
}

bool CGlRippleEngine::CheckErrors(const char* pszWhere) {
    if (m_bFailed)
        return false;
    const GLenum e = m_gl.GetError();
    if (e == NO_ERROR)
        return true;
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", e);
    return Fail(std::string("GL error ") + code + " " + pszWhere);
}

bool CGlRippleEngine::CheckVersion() {
    GLint major = 0, minor = 0;
    m_gl.GetIntegerv(MAJOR_VERSION, &major);
    m_gl.GetIntegerv(MINOR_VERSION, &minor);
    // Before 3.0 these are unknown names: not an error of ours.
    for (int n = 0; n < 16 && m_gl.GetError() != NO_ERROR; ++n) {
    }
    m_bExtensions = !(major > 4 || (major == 4 && minor >= 3));
    if (!m_bExtensions)
        return true;
    bool bCompute = false, bStorage = false;
    if (major >= 3) {
        GLint n = 0;
        m_gl.GetIntegerv(NUM_EXTENSIONS, &n);
        for (GLint k = 0; k < n; ++k) {
            const GLubyte* e = m_gl.GetStringi(EXTENSIONS, GLuint(k));
            if (!e)
                continue;
            const char* s = reinterpret_cast<const char*>(e);
            bCompute |= std::strcmp(s, "GL_ARB_compute_shader") == 0;
            bStorage |= std::strcmp(s, "GL_ARB_shader_storage_buffer_object") == 0;
        }
    }
    if (bCompute && bStorage && CheckErrors("reading the extensions"))
        return true;
    return Fail("OpenGL " + std::to_string(major) + "." + std::to_string(minor) +
                " without compute shaders and storage buffers");
}

bool CGlRippleEngine::Build(Program& p, const char* pszSource, const char* const* ppszUniforms,
                            int nUniforms) {
    const GLchar* parts[] = {m_bExtensions ? kHeaderExtensions : kHeader430, kCommon, pszSource};
    const GLuint shader = m_gl.CreateShader(COMPUTE_SHADER);
    if (!shader)
        return Fail("no compute shader object");
    m_gl.ShaderSource(shader, 3, parts, nullptr);
    m_gl.CompileShader(shader);
    GLint ok = 0;
    m_gl.GetShaderiv(shader, COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        m_gl.GetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        m_gl.DeleteShader(shader);
        return Fail(std::string("shader does not compile: ") + log);
    }
    p.id = m_gl.CreateProgram();
    m_gl.AttachShader(p.id, shader);
    m_gl.LinkProgram(p.id);
    m_gl.DeleteShader(shader); // the program keeps it while it needs it
    m_gl.GetProgramiv(p.id, LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        m_gl.GetProgramInfoLog(p.id, sizeof log - 1, nullptr, log);
        return Fail(std::string("shader does not link: ") + log);
    }
    for (int n = 0; n < nUniforms; ++n) {
        p.uniform[n] = m_gl.GetUniformLocation(p.id, ppszUniforms[n]);
        if (p.uniform[n] < 0)
            return Fail(std::string("shader lacks ") + ppszUniforms[n]);
    }
    return CheckErrors("linking a shader");
}

void CGlRippleEngine::FreeBuffers() {
    const GLuint buffers[] = {m_buf0, m_buf1, m_picture, m_frame, m_amounts};
    if (m_gl.DeleteBuffers)
        m_gl.DeleteBuffers(5, buffers);
    m_buf0 = m_buf1 = m_picture = m_frame = m_amounts = 0;
    m_nAmountCapacity = 0;
    m_bAmountsValid = false;
}

bool CGlRippleEngine::Resize(std::int32_t nWidth, std::int32_t nHeight) {
    if (m_bFailed)
        return false;
    FreeBuffers();
    m_nWidth = 0;
    m_nHeight = 0;
    m_nCurrent = 0;
    // Every cell index, and w * h itself, must fit in a signed 32-bit integer, and
    // each buffer in one storage block.
    const std::int64_t bytes = std::int64_t(nWidth) * nHeight * 4;
    if (nWidth <= 0 || nHeight <= 0 || std::int64_t(nWidth) * nHeight > INT32_MAX ||
        bytes > m_nMaxBlockBytes || std::uint64_t(bytes) > std::uint64_t(PTRDIFF_MAX)) {
        CheckErrors("freeing buffers");
        return false;
    }
    GLuint ids[4] = {};
    m_gl.GenBuffers(4, ids);
    m_buf0 = ids[0];
    m_buf1 = ids[1];
    m_picture = ids[2];
    m_frame = ids[3];
    for (GLuint id : ids) {
        m_gl.BindBuffer(SHADER_STORAGE_BUFFER, id);
        m_gl.BufferData(SHADER_STORAGE_BUFFER, GLsizeiptr(bytes), nullptr, DYNAMIC_COPY);
        m_gl.ClearBufferData(SHADER_STORAGE_BUFFER, R32UI, RED_INTEGER, UNSIGNED_INT, nullptr);
    }
    m_gl.BindBuffer(SHADER_STORAGE_BUFFER, 0);
    if (!CheckErrors("making the buffers")) {
        FreeBuffers();
        return false;
    }
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    return true;
}

bool CGlRippleEngine::Upload(GLuint buffer, const void* p) {
    if (m_bFailed || !buffer || !p)
        return false;
    m_gl.BindBuffer(SHADER_STORAGE_BUFFER, buffer);
    m_gl.BufferSubData(SHADER_STORAGE_BUFFER, 0, GLsizeiptr(m_nWidth) * m_nHeight * 4, p);
    m_gl.BindBuffer(SHADER_STORAGE_BUFFER, 0);
    return CheckErrors("uploading");
}

bool CGlRippleEngine::Download(GLuint buffer, void* p) {
    if (m_bFailed || !buffer || !p)
        return false;
    m_gl.MemoryBarrier(BUFFER_UPDATE_BARRIER_BIT);
    m_gl.BindBuffer(SHADER_STORAGE_BUFFER, buffer);
    m_gl.GetBufferSubData(SHADER_STORAGE_BUFFER, 0, GLsizeiptr(m_nWidth) * m_nHeight * 4, p);
    m_gl.BindBuffer(SHADER_STORAGE_BUFFER, 0);
    return CheckErrors("reading back");
}

bool CGlRippleEngine::SetPicture(const std::uint32_t* pPixels) {
    return Upload(m_picture, pPixels);
}

bool CGlRippleEngine::SetFrame(const std::uint32_t* pPixels) {
    return Upload(m_frame, pPixels);
}

bool CGlRippleEngine::ReadFrame(std::uint32_t* pPixels) {
    return Download(m_frame, pPixels);
}

bool CGlRippleEngine::ReadHeights(std::int32_t nBuffer, std::int32_t* pCells) {
    return Download(Buffer(nBuffer), pCells);
}

bool CGlRippleEngine::WriteHeights(std::int32_t nBuffer, const std::int32_t* pCells) {
    return Upload(Buffer(nBuffer), pCells);
}

bool CGlRippleEngine::Finish() {
    if (m_bFailed)
        return false;
    m_gl.Finish();
    return CheckErrors("finishing");
}

void CGlRippleEngine::Dispatch(const Program& p, std::uint32_t nCols, std::uint32_t nRows) {
    m_gl.Uniform1ui(p.uniform[kCols], nCols);
    m_gl.Uniform1ui(p.uniform[kRows], nRows);
    // Parts as large as the work group counts allow: one for any screen.
    const std::uint64_t spanX = std::uint64_t(m_nMaxGroupsX) * kGroupWidth;
    const std::uint64_t spanY = m_nMaxGroupsY;
    for (std::uint64_t row0 = 0; row0 < nRows; row0 += spanY)
        for (std::uint64_t col0 = 0; col0 < nCols; col0 += spanX) {
            const std::uint64_t cols = std::min<std::uint64_t>(nCols - col0, spanX);
            const std::uint64_t rows = std::min<std::uint64_t>(nRows - row0, spanY);
            m_gl.Uniform1ui(p.uniform[kCol0], GLuint(col0));
            m_gl.Uniform1ui(p.uniform[kRow0], GLuint(row0));
            m_gl.DispatchCompute(GLuint((cols + kGroupWidth - 1) / kGroupWidth), GLuint(rows), 1);
        }
    // The next pass reads what this one wrote, and a read-back may follow.
    m_gl.MemoryBarrier(SHADER_STORAGE_BARRIER_BIT | BUFFER_UPDATE_BARRIER_BIT);
}

void CGlRippleEngine::Drop(std::int32_t x, std::int32_t y, std::int32_t nRadius,
                           std::int32_t nStrength, std::int32_t nBuffer) {
    if (m_bFailed || m_nWidth == 0)
        return;
    const std::int32_t k = nStrength / 64; // truncates before anything is multiplied
    std::int64_t dyStart, dyEnd, dxStart, dxEnd;
    ClipOffsets(y, nRadius, m_nHeight, dyStart, dyEnd);
    ClipOffsets(x, nRadius, m_nWidth, dxStart, dxEnd);
    if (dyStart >= dyEnd || dxStart >= dxEnd)
        return;
    // Both ranges lie within the interior, so the block has fewer cells than the field.
    const auto cols = std::size_t(dxEnd - dxStart);
    const auto count = std::size_t(dyEnd - dyStart) * cols;
    const std::int64_t key[6] = {nRadius, k, dyStart, dyEnd, dxStart, dxEnd};
    if (!m_bAmountsValid || !std::equal(key, key + 6, m_lastDrop)) {
        m_bAmountsValid = false;
        if (count > m_nAmountCapacity) {
            try {
                m_dropAmounts.resize(count);
            } catch (const std::bad_alloc&) {
                Fail("no memory for a drop");
                return;
            }
            m_gl.DeleteBuffers(1, &m_amounts);
            m_gl.GenBuffers(1, &m_amounts);
            m_gl.BindBuffer(SHADER_STORAGE_BUFFER, m_amounts);
            m_gl.BufferData(SHADER_STORAGE_BUFFER, GLsizeiptr(count * 4), nullptr, DYNAMIC_DRAW);
            m_nAmountCapacity = count;
        }
        // Offsets of a non-empty range lie strictly within the radius: they fit 32 bits.
        bool bAny = false;
        std::int32_t* a = m_dropAmounts.data();
        for (std::int64_t dy = dyStart; dy < dyEnd; ++dy) {
            const auto ody = std::int32_t(dy);
            const std::int32_t dy2 = WrapMul(ody, ody);
            for (std::int64_t dx = dxStart; dx < dxEnd; ++dx) {
                const auto odx = std::int32_t(dx);
                *a = DropAmount(nRadius, k, WrapAdd(WrapMul(odx, odx), dy2));
                bAny |= *a++ != 0;
            }
        }
        m_gl.BindBuffer(SHADER_STORAGE_BUFFER, m_amounts);
        if (bAny)
            m_gl.BufferSubData(SHADER_STORAGE_BUFFER, 0, GLsizeiptr(count * 4),
                               m_dropAmounts.data());
        m_gl.BindBuffer(SHADER_STORAGE_BUFFER, 0);
        if (!CheckErrors("sending a drop"))
            return;
        std::copy(key, key + 6, m_lastDrop);
        m_bAmountsValid = true;
        m_bLastDropAddsNothing = !bAny;
    }
    if (m_bLastDropAddsNothing)
        return;
    m_gl.UseProgram(m_drop.id);
    m_gl.Uniform1i(m_drop.uniform[kWidth], m_nWidth);
    m_gl.Uniform1i(m_drop.uniform[kOwn], std::int32_t((y + dyStart) * m_nWidth + (x + dxStart)));
    m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 0, Buffer(nBuffer));
    m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 1, m_amounts);
    Dispatch(m_drop, std::uint32_t(cols), std::uint32_t(count / cols));
    CheckErrors("adding a drop");
}

void CGlRippleEngine::Render(bool bPixels) {
    if (m_bFailed)
        return;
    if (m_nWidth >= 3 && m_nHeight >= 3 && bPixels) {
        const auto cols = std::uint32_t(m_nWidth - 2);
        m_gl.UseProgram(m_render.id);
        m_gl.Uniform1i(m_render.uniform[kWidth], m_nWidth);
        m_gl.Uniform1i(m_render.uniform[kOwn], m_nWidth * m_nHeight);
        m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 0, m_buf0);
        m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 1, m_picture);
        m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 2, m_frame);
        Dispatch(m_render, cols, std::uint32_t(m_nHeight - 2));
    }
    Propagate(m_nCurrent, m_nDampShift);
    m_nCurrent ^= 1;
}

void CGlRippleEngine::Steps(const RippleDrop* pDrops, int nSteps) {
    for (int n = 0; n < nSteps; ++n) {
        Drop(pDrops[n].x, pDrops[n].y, pDrops[n].nRadius, pDrops[n].nStrength, m_nCurrent);
        Render();
    }
}

void CGlRippleEngine::Propagate(std::int32_t nBuffer, std::int32_t nShift) {
    if (m_bFailed || m_nWidth < 3 || m_nHeight < 3)
        return;
    const auto cols = std::uint32_t(m_nWidth - 2);
    m_gl.UseProgram(m_propagate.id);
    m_gl.Uniform1i(m_propagate.uniform[kWidth], m_nWidth);
    m_gl.Uniform1ui(m_propagate.uniform[kOwn], GLuint(nShift & 31));
    m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 0, Buffer(nBuffer));
    m_gl.BindBufferBase(SHADER_STORAGE_BUFFER, 1, Buffer(nBuffer == 0 ? 1 : 0));
    Dispatch(m_propagate, cols, std::uint32_t(m_nHeight - 2));
    CheckErrors("stepping the water");
}

} // namespace rillo
