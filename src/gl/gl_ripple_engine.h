// CGlRippleEngine: the water of CRippleField run by OpenGL 4.3 compute shaders.
//
// The same integers as the processor engine, to the bit: heights are GLSL ints,
// whose adds, subtracts and multiplies wrap in 32 bits and whose >> is arithmetic.
// Both height maps, the picture under the water and the frame live in shader
// storage buffers on the graphics side; the processor works out each drop's amounts
// (the same double-precision cone as CRippleField::Drop) and the graphics side adds
// them. Nothing travels back unless asked for (ReadFrame, ReadHeights).
//
// The engine is made on a context that is current on the calling thread, with the
// context's function loader; every call after that needs the same context current.
// Any GL error marks the engine failed: from then on every call does nothing and
// reports false, so a caller can fall back to the processor engine. It holds no
// window or context code of its own.
#pragma once

#include "gl/gl_api.h"
#include "ripple/ripple_field.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rillo {

class CGlRippleEngine {
  public:
    // Loads the functions and builds the shaders: usable only when the context offers
    // OpenGL 4.3 (or compute shaders and shader storage buffers as extensions), every
    // function loads and every shader compiles and links.
    explicit CGlRippleEngine(gl::Loader pfnLoad);
    ~CGlRippleEngine();
    CGlRippleEngine(const CGlRippleEngine&) = delete;
    CGlRippleEngine& operator=(const CGlRippleEngine&) = delete;

    // False once anything has failed: the engine does nothing any more.
    bool IsUsable() const { return !m_bFailed; }
    // Why it is not usable, for tools and tests; empty while it is.
    const std::string& GetFailure() const { return m_strFailure; }
    // The renderer string of the context ("" when it could not be read).
    const std::string& GetRenderer() const { return m_strRenderer; }

    // Flat water of width x height cells, m_nCurrent back to 0, picture and frame
    // black. A size the buffers cannot hold leaves an empty 0 x 0 engine (still
    // usable). Returns whether the buffers exist.
    bool Resize(std::int32_t nWidth, std::int32_t nHeight);

    // Uploads width x height words 0x00RRGGBB: the picture the water refracts, or the
    // frame the next Render draws over (its border pixels are never written).
    bool SetPicture(const std::uint32_t* pPixels);
    bool SetFrame(const std::uint32_t* pPixels);

    // As CRippleField::Drop: a cone of the given radius, strength / 64 per unit of
    // height, centred on cell (x, y), into buffer 0 (nBuffer == 0) or buffer 1.
    void Drop(std::int32_t x, std::int32_t y, std::int32_t nRadius, std::int32_t nStrength,
              std::int32_t nBuffer);

    // As CRippleField::Render: the frame's interior pixels from the picture, refracted
    // and shaded by buffer 0, then one wave step (Propagate(m_nCurrent, m_nDampShift))
    // and m_nCurrent flipped. bPixels false advances only the water.
    void Render(bool bPixels = true);

    // As CRippleField::Steps, on the engine's own picture and frame: for each of the
    // nSteps drops, the drop into the current buffer and a Render.
    void Steps(const RippleDrop* pDrops, int nSteps);

    // One damped wave step: buffer 0 from buffer 1 when nBuffer == 0, otherwise buffer
    // 1 from buffer 0. Only the low 5 bits of nShift count.
    void Propagate(std::int32_t nBuffer, std::int32_t nShift);

    // Copies width x height values back to the processor (waits for the graphics
    // side). False when they cannot be had, the engine being failed or empty.
    bool ReadFrame(std::uint32_t* pPixels);
    bool ReadHeights(std::int32_t nBuffer, std::int32_t* pCells);
    // Replaces a height map, as a caller that carries water over from another engine does.
    bool WriteHeights(std::int32_t nBuffer, const std::int32_t* pCells);

    // Waits for the graphics side to finish, then reports whether any error occurred.
    bool Finish();

    // The storage buffer holding the frame (width x height words, row 0 the bottom
    // line), for a pass that shows it on the same context; 0 while the engine is empty.
    gl::GLuint GetFrameStorageBuffer() const { return m_frame; }

    std::int32_t GetWidth() const { return m_nWidth; }
    std::int32_t GetHeight() const { return m_nHeight; }
    std::int32_t GetCurrent() const { return m_nCurrent; }
    std::int32_t GetDampShift() const { return m_nDampShift; }

  private:
    struct Program {
        gl::GLuint id = 0;
        // Uniform locations, by the order the program's source declares them.
        gl::GLint uniform[6] = {-1, -1, -1, -1, -1, -1};
    };

    bool Fail(const std::string& why);
    bool CheckErrors(const char* pszWhere);
    bool CheckVersion();
    bool Build(Program& p, const char* pszSource, const char* const* ppszUniforms, int nUniforms);
    void FreeBuffers();
    // Runs the bound program once for each item of a block nCols x nRows.
    void Dispatch(const Program& p, std::uint32_t nCols, std::uint32_t nRows);
    gl::GLuint Buffer(std::int32_t nBuffer) const { return nBuffer == 0 ? m_buf0 : m_buf1; }
    bool Upload(gl::GLuint buffer, const void* p);
    bool Download(gl::GLuint buffer, void* p);

    gl::Functions m_gl;
    bool m_bFailed = false;
    std::string m_strFailure;
    std::string m_strRenderer;
    // Compute shaders and storage buffers come as extensions (a context before 4.3).
    bool m_bExtensions = false;
    gl::GLuint m_nMaxGroupsX = 65535;
    gl::GLuint m_nMaxGroupsY = 65535;
    gl::GLint64 m_nMaxBlockBytes = 0;

    Program m_drop;
    Program m_render;
    Program m_propagate;

    std::int32_t m_nWidth = 0;
    std::int32_t m_nHeight = 0;
    std::int32_t m_nCurrent = 0;
    std::int32_t m_nDampShift = 10;
    gl::GLuint m_buf0 = 0;
    gl::GLuint m_buf1 = 0;
    gl::GLuint m_picture = 0;
    gl::GLuint m_frame = 0;
    // The amounts of the last drop, on both sides. They grow to the largest drop
    // seen (the saver's drops all have one radius, so after the first they stay),
    // and a drop of the same cone and clipping as the last is not sent again.
    gl::GLuint m_amounts = 0;
    std::size_t m_nAmountCapacity = 0;
    std::vector<std::int32_t> m_dropAmounts;
    bool m_bAmountsValid = false;
    bool m_bLastDropAddsNothing = false;
    std::int64_t m_lastDrop[6] = {};
};

// Whether a GL_RENDERER string names a renderer that draws on the processor (such a
// renderer is slower than the processor engine's own kernels).
bool IsSoftwareRenderer(const char* pszRenderer);

} // namespace rillo
