// Test support: records what GL really assembles from a draw (immediate mode or a display
// list) through transform feedback: each vertex's position and normal, exactly as GL
// received them, grouped into the primitives GL formed. Nothing is rasterized.
#pragma once

// The GL 3 entry points (shaders, buffers, queries, transform feedback) are declared only
// with prototypes requested before the first include of the GL headers.
#if defined(__gl_h_) && !defined(GL_GLEXT_PROTOTYPES)
#error "include tests/gl_capture.h before any other GL header"
#endif
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "geometry/vector3.h"

namespace aerolume::gltest {

struct CapturedVertex {
  Vector3 position;
  Vector3 normal;
};

class PrimitiveCapture {
 public:
  // Builds the pass-through program, the buffer and the queries in the current context.
  PrimitiveCapture() {
    static const char* const source =
        "#version 130\n"
        "out vec3 position;\n"
        "out vec3 normal;\n"
        "void main() {\n"
        "  position = gl_Vertex.xyz;\n"
        "  normal = gl_Normal;\n"
        "  gl_Position = gl_Vertex;\n"
        "}\n";
    shader_ = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader_, 1, &source, nullptr);
    glCompileShader(shader_);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader_, GL_COMPILE_STATUS, &ok);
    EXPECT_EQ(ok, GL_TRUE) << "the capture shader does not compile";
    program_ = glCreateProgram();
    glAttachShader(program_, shader_);
    static const char* const varyings[] = {"position", "normal"};
    glTransformFeedbackVaryings(program_, 2, varyings, GL_INTERLEAVED_ATTRIBS);
    glLinkProgram(program_);
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    EXPECT_EQ(ok, GL_TRUE) << "the capture program does not link";
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, buffer_);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, capacity * sizeof(GLfloat), nullptr, GL_STATIC_READ);
    glGenQueries(2, queries_);
    warm_up();
  }

  ~PrimitiveCapture() {
    glDeleteQueries(2, queries_);
    glDeleteBuffers(1, &buffer_);
    glDeleteProgram(program_);
    glDeleteShader(shader_);
  }

  PrimitiveCapture(const PrimitiveCapture&) = delete;
  PrimitiveCapture& operator=(const PrimitiveCapture&) = delete;

  // Runs `draw` and returns every primitive GL assembled from it, in order, as
  // `mode`'s vertices (GL_TRIANGLES: 3 each, GL_LINES: 2 each). Strips and fans arrive
  // broken into their triangles, with GL's vertex order for each.
  template <class Draw>
  std::vector<std::vector<CapturedVertex>> capture(GLenum mode, Draw draw) {
    const std::size_t per_primitive = mode == GL_TRIANGLES ? 3 : mode == GL_LINES ? 2 : 1;
    glUseProgram(program_);
    glEnable(GL_RASTERIZER_DISCARD);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer_);
    glBeginQuery(GL_PRIMITIVES_GENERATED, queries_[0]);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, queries_[1]);
    glBeginTransformFeedback(mode);
    draw();
    glEndTransformFeedback();
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    glDisable(GL_RASTERIZER_DISCARD);
    glUseProgram(0);

    GLuint generated = 0, written = 0;
    glGetQueryObjectuiv(queries_[0], GL_QUERY_RESULT, &generated);
    glGetQueryObjectuiv(queries_[1], GL_QUERY_RESULT, &written);
    EXPECT_EQ(generated, written) << "capture buffer of " << capacity << " values overflowed";
    std::vector<GLfloat> data(written * per_primitive * floats_per_vertex);
    if (!data.empty())
      glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, data.size() * sizeof(GLfloat), data.data());

    std::vector<std::vector<CapturedVertex>> primitives(written);
    const GLfloat* at = data.data();
    for (auto& primitive : primitives)
      for (std::size_t i = 0; i < per_primitive; ++i, at += floats_per_vertex)
        primitive.push_back({Vector3(at[0], at[1], at[2]), Vector3(at[3], at[4], at[5])});
    return primitives;
  }

 private:
  // Mesa 22.3 (llvmpipe) keeps about a hundred bytes for each shader variant it builds
  // for a program's first draws and never frees them, even when the context is
  // destroyed. The variants for both capture modes are built here, with the leak
  // checker looking away; the captures themselves run with it watching.
  void warm_up() {
#if defined(__SANITIZE_ADDRESS__)
    const __lsan::ScopedDisabler mesa_keeps_its_variants;
#endif
    capture(GL_TRIANGLES, [] {
      glBegin(GL_TRIANGLES);
      glVertex3f(0, 0, 0);
      glVertex3f(1, 0, 0);
      glVertex3f(0, 1, 0);
      glEnd();
    });
    capture(GL_LINES, [] {
      glBegin(GL_LINES);
      glVertex3f(0, 0, 0);
      glVertex3f(1, 0, 0);
      glEnd();
    });
  }

  static constexpr std::size_t capacity = 1 << 18;  // floats
  static constexpr std::size_t floats_per_vertex = 6;

  GLuint shader_ = 0;
  GLuint program_ = 0;
  GLuint buffer_ = 0;
  GLuint queries_[2] = {0, 0};
};

}  // namespace aerolume::gltest
