// Test support: a record of the GL calls the scene code makes. The test executable
// defines the recorded GL entry points itself, so calls from the scene's library bind to
// them at link time; each one notes its name and arguments while recording is on and
// then hands the call on to the real GL.
#pragma once

#include <string>
#include <vector>

namespace aerolume::gltest {

struct GlCall {
  std::string name;
  std::vector<double> args;  // every argument as a double; enums as their values
  bool operator==(const GlCall&) const = default;
};

// Starts a fresh record; calls are noted until stop_gl_call_log().
void start_gl_call_log();
std::vector<GlCall> stop_gl_call_log();

// "glName(a, b, ...)" for messages.
std::string describe(const GlCall& call);

}  // namespace aerolume::gltest
