// The recorded GL entry points: clears, the viewport and the scissor, material, colour,
// enable and disable, the matrix stack, transforms, line strips of doubles, and
// display-list calls.
#include "tests/gl_call_log.h"

#include <GL/gl.h>
#include <dlfcn.h>

#include <cstdlib>
#include <sstream>

namespace aerolume::gltest {
namespace {

bool recording = false;
std::vector<GlCall> calls;

void note(const char* name, std::vector<double> args) {
  if (recording) calls.push_back({name, std::move(args)});
}

// The next definition of the entry point after this executable's: the real GL.
template <typename F>
F real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) std::abort();  // GL itself is missing the entry point
  return reinterpret_cast<F>(symbol);
}

}  // namespace

void start_gl_call_log() {
  calls.clear();
  recording = true;
}

std::vector<GlCall> stop_gl_call_log() {
  recording = false;
  return std::move(calls);
}

std::string describe(const GlCall& call) {
  std::ostringstream text;
  text << call.name << "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) text << (i ? ", " : "") << call.args[i];
  text << ")";
  return text.str();
}

}  // namespace aerolume::gltest

using aerolume::gltest::note;
using aerolume::gltest::real;

#define FORWARD(name, ...)                                            \
  static const auto forward = real<decltype(&::name)>(#name); \
  forward(__VA_ARGS__)

extern "C" {

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* p) {
  // Four values for the colour parameters, one for the shininess.
  const bool colour = pname != GL_SHININESS;
  note("glMaterialfv", colour ? std::vector<double>{double(face), double(pname), p[0], p[1], p[2], p[3]}
                              : std::vector<double>{double(face), double(pname), p[0]});
  FORWARD(glMaterialfv, face, pname, p);
}
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  note("glColor4f", {r, g, b, a});
  FORWARD(glColor4f, r, g, b, a);
}
void glClear(GLbitfield mask) {
  note("glClear", {double(mask)});
  FORWARD(glClear, mask);
}
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  note("glViewport", {double(x), double(y), double(width), double(height)});
  FORWARD(glViewport, x, y, width, height);
}
void glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
  note("glScissor", {double(x), double(y), double(width), double(height)});
  FORWARD(glScissor, x, y, width, height);
}
void glLoadIdentity() {
  note("glLoadIdentity", {});
  FORWARD(glLoadIdentity);
}
void glEnable(GLenum cap) {
  note("glEnable", {double(cap)});
  FORWARD(glEnable, cap);
}
void glDisable(GLenum cap) {
  note("glDisable", {double(cap)});
  FORWARD(glDisable, cap);
}
void glPushMatrix() {
  note("glPushMatrix", {});
  FORWARD(glPushMatrix);
}
void glPopMatrix() {
  note("glPopMatrix", {});
  FORWARD(glPopMatrix);
}
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  note("glTranslatef", {x, y, z});
  FORWARD(glTranslatef, x, y, z);
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  note("glRotatef", {angle, x, y, z});
  FORWARD(glRotatef, angle, x, y, z);
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
  note("glScalef", {x, y, z});
  FORWARD(glScalef, x, y, z);
}
void glCallList(GLuint list) {
  note("glCallList", {double(list)});
  FORWARD(glCallList, list);
}
void glBegin(GLenum mode) {
  note("glBegin", {double(mode)});
  FORWARD(glBegin, mode);
}
void glEnd() {
  note("glEnd", {});
  FORWARD(glEnd);
}
void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
  note("glVertex3d", {x, y, z});
  FORWARD(glVertex3d, x, y, z);
}

}  // extern "C"
