// The part of OpenGL 4.3 the GL engine uses: types, constants and the functions it
// loads at run time. Written out here so the engine needs no system GL header and
// links against no GL library: whoever made the context hands it a loader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rillo::gl {

using GLenum = unsigned int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLint = int;
using GLuint = unsigned int;
using GLsizei = int;
using GLchar = char;
using GLubyte = unsigned char;
using GLint64 = std::int64_t;
using GLuint64 = std::uint64_t;
using GLintptr = std::ptrdiff_t;
using GLsizeiptr = std::ptrdiff_t;

constexpr GLenum NO_ERROR = 0;
constexpr GLenum RENDERER = 0x1F01;
constexpr GLenum VERSION = 0x1F02;
constexpr GLenum EXTENSIONS = 0x1F03;
constexpr GLenum MAJOR_VERSION = 0x821B;
constexpr GLenum MINOR_VERSION = 0x821C;
constexpr GLenum NUM_EXTENSIONS = 0x821D;
constexpr GLenum COMPUTE_SHADER = 0x91B9;
constexpr GLenum COMPILE_STATUS = 0x8B81;
constexpr GLenum LINK_STATUS = 0x8B82;
constexpr GLenum INFO_LOG_LENGTH = 0x8B84;
constexpr GLenum SHADER_STORAGE_BUFFER = 0x90D2;
constexpr GLenum MAX_SHADER_STORAGE_BLOCK_SIZE = 0x90DE;
constexpr GLenum MAX_COMPUTE_WORK_GROUP_COUNT = 0x91BE;
constexpr GLenum DYNAMIC_COPY = 0x88EA;
constexpr GLenum DYNAMIC_DRAW = 0x88E8;
constexpr GLenum R32UI = 0x8236;
constexpr GLenum RED_INTEGER = 0x8D94;
constexpr GLenum UNSIGNED_INT = 0x1405;
constexpr GLbitfield SHADER_STORAGE_BARRIER_BIT = 0x00002000;
constexpr GLbitfield BUFFER_UPDATE_BARRIER_BIT = 0x00000200;
constexpr GLbitfield ALL_BARRIER_BITS = 0xFFFFFFFF;
constexpr GLenum TIME_ELAPSED = 0x88BF;
constexpr GLenum TIMESTAMP = 0x8E28;
constexpr GLenum QUERY_RESULT = 0x8866;

// Windows' GL entry points use the stdcall convention (it matters in 32-bit code).
#if defined(_WIN32) && !defined(_WIN64)
#define RILLO_GL_CALL __attribute__((stdcall))
#else
#define RILLO_GL_CALL
#endif

// Every function the engine calls: return type, name, parameters.
#define RILLO_GL_FUNCTIONS(X)                                                                      \
    X(GLenum, GetError, (void))                                                                    \
    X(const GLubyte*, GetString, (GLenum name))                                                    \
    X(const GLubyte*, GetStringi, (GLenum name, GLuint index))                                     \
    X(void, GetIntegerv, (GLenum pname, GLint * data))                                             \
    X(void, GetIntegeri_v, (GLenum target, GLuint index, GLint * data))                            \
    X(void, GetInteger64v, (GLenum pname, GLint64 * data))                                         \
    X(void, Finish, (void))                                                                        \
    X(GLuint, CreateShader, (GLenum type))                                                         \
    X(void, DeleteShader, (GLuint shader))                                                         \
    X(void, ShaderSource,                                                                          \
      (GLuint shader, GLsizei count, const GLchar* const* string, const GLint* length))            \
    X(void, CompileShader, (GLuint shader))                                                        \
    X(void, GetShaderiv, (GLuint shader, GLenum pname, GLint * params))                            \
    X(void, GetShaderInfoLog, (GLuint shader, GLsizei size, GLsizei * length, GLchar * log))       \
    X(GLuint, CreateProgram, (void))                                                               \
    X(void, DeleteProgram, (GLuint program))                                                       \
    X(void, AttachShader, (GLuint program, GLuint shader))                                         \
    X(void, LinkProgram, (GLuint program))                                                         \
    X(void, GetProgramiv, (GLuint program, GLenum pname, GLint * params))                          \
    X(void, GetProgramInfoLog, (GLuint program, GLsizei size, GLsizei * length, GLchar * log))     \
    X(void, UseProgram, (GLuint program))                                                          \
    X(GLint, GetUniformLocation, (GLuint program, const GLchar* name))                             \
    X(void, Uniform1i, (GLint location, GLint v0))                                                 \
    X(void, Uniform1ui, (GLint location, GLuint v0))                                               \
    X(void, GenBuffers, (GLsizei n, GLuint * buffers))                                             \
    X(void, DeleteBuffers, (GLsizei n, const GLuint* buffers))                                     \
    X(void, BindBuffer, (GLenum target, GLuint buffer))                                            \
    X(void, BindBufferBase, (GLenum target, GLuint index, GLuint buffer))                          \
    X(void, BufferData, (GLenum target, GLsizeiptr size, const void* data, GLenum usage))          \
    X(void, BufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, const void* data))    \
    X(void, GetBufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, void* data))       \
    X(void, ClearBufferData,                                                                       \
      (GLenum target, GLenum internalformat, GLenum format, GLenum type, const void* data))        \
    X(void, DispatchCompute, (GLuint x, GLuint y, GLuint z))                                       \
    X(void, MemoryBarrier, (GLbitfield barriers))

// The loaded entry points, one member per function: gl.GetError() and so on.
struct Functions {
#define RILLO_GL_MEMBER(ret, name, params) ret(RILLO_GL_CALL* name) params = nullptr;
    RILLO_GL_FUNCTIONS(RILLO_GL_MEMBER)
#undef RILLO_GL_MEMBER
};

// The context's way of finding a function by name (eglGetProcAddress, or
// wglGetProcAddress with opengl32.dll's own exports for the GL 1.1 ones); null
// when it has no such function.
using Loader = void* (*)(const char* pszName);

// Loads every function through pfnLoad ("gl" + the member's name). Returns false,
// naming the first function missing, when any is.
bool LoadFunctions(Loader pfnLoad, Functions& f, const char** ppszMissing = nullptr);

} // namespace rillo::gl
