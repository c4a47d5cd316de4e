// The scene pass: moves the stream once, then draws it and the dome.
#include "render/scene_pass.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <chrono>

#include "assets/balloon_mesh.h"
#include "assets/sky_dome.h"
#include "core/state.h"
#include "sim/balloon_stream.h"

namespace aerolume {

StreamTiming stream_timing;

namespace {

constexpr float tilt_per_drift = 10.0f;
constexpr float balloon_scale = 30.0f;
constexpr float dome_drop = -450000.0f;
constexpr int dome_grid = 9;

// Material with the balloon's fade, its rope unlit in grey, then its body: moved to
// its position, tilted by its drift, scaled, and drawn with the list its distance calls for.
void draw_balloon(const Balloon& b) {
  balloon_colour[3] = b.alpha;
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, balloon_colour);
  glPushMatrix();
  glDisable(GL_LIGHTING);
  glColor4f(0.7f, 0.7f, 0.7f, b.alpha);
  draw_rope(b.tether);
  glEnable(GL_LIGHTING);
  glTranslatef(b.position.x, b.position.y, b.position.z);
  glRotatef(b.drift.x * tilt_per_drift, 0.0f, 0.0f, 1.0f);
  glRotatef(b.drift.z * tilt_per_drift, 1.0f, 0.0f, 0.0f);
  glScalef(balloon_scale, balloon_scale, balloon_scale);
  const int level = lod_for_distance(distance_squared(eye, b.position));
  glCallList(lod_lists[level - 1]);
  glPopMatrix();
}

}  // namespace

void draw_rope(const Tether& tether) {
  glBegin(GL_LINE_STRIP);
  for (std::int32_t i = 0; i < tether.count; ++i) {
    const Vector3& p = tether.positions[i];
    glVertex3d(static_cast<double>(p.x) - 1.0, p.y, p.z);
  }
  glEnd();
}

namespace {

void clear_and_load_camera() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, look_at.x, look_at.y, look_at.z, 0.0, 1.0, 0.0);
}

void draw_stream_and_dome() {
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) draw_balloon(*b);
  draw_scene_dome();
}

}  // namespace

void step_scene_stream() {
  if (stream_timing.enabled) {
    const auto start = std::chrono::steady_clock::now();
    step_stream();
    const auto end = std::chrono::steady_clock::now();
    stream_timing.last_pass_us = std::chrono::duration<double, std::micro>(end - start).count();
  } else {
    step_stream();
  }
}

void draw_scene_view() {
  clear_and_load_camera();
  draw_stream_and_dome();
}

void draw_scene_parts(std::span<const DamageRect> parts, std::span<const DamageRect> balloons) {
  glEnable(GL_SCISSOR_TEST);
  for (const DamageRect& part : parts) {
    glScissor(part.x, part.y, part.width, part.height);
    clear_and_load_camera();
    // A balloon whose rectangle misses the part has no pixel in it: leaving it out
    // changes none of the part's pixels, and the others keep their order. One without
    // a rectangle is drawn: the scissor keeps it inside the part.
    std::size_t k = 0;
    for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get(), ++k)
      if (k >= balloons.size() || rects_meet(balloons[k], part)) draw_balloon(*b);
    draw_scene_dome();
  }
  glDisable(GL_SCISSOR_TEST);
}

void draw_scene_dome() {
  glPushMatrix();
  glTranslatef(0.0f, dome_drop, 0.0f);
  draw_sky_dome(dome_grid);
  glPopMatrix();
}

}  // namespace aerolume
