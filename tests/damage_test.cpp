// The damage of a frame: the matrices it is computed from (those GL draws with), every
// pixel a balloon and its rope touch inside its rectangle, the merge and its bounds;
// and what a view's next frame redraws: the frames its buffer missed, or the whole view
// wherever the picture as a whole may have changed.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "render/damage.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "run/partial_frames.h"
#include "run/scene_setup.h"
#include "sim/balloon_stream.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

// Whether every pixel of inner lies in outer.
bool holds(const DamageRect& outer, const DamageRect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

bool any_holds(const std::vector<DamageRect>& rects, const DamageRect& inner) {
  return std::any_of(rects.begin(), rects.end(), [&](const DamageRect& r) { return holds(r, inner); });
}

class DamageGl : public gltest::GlTest {
 protected:
  void TearDown() override { clear_balloons(); }
};

TEST_F(DamageGl, TheCameraIsTheOneGlDrawsWith) {
  init_scene_from_seed(1);
  struct Case {
    DamageRect viewport;
    Vector3 eye, look_at;
  };
  const Case cases[] = {{{0, 0, 160, 120}, {0, 1500, -1250}, {0, 1250, 0}},
                        {{20, 10, 90, 100}, {400, 300, 300}, {0, 1250, 0}},
                        {{0, 0, 333, 217}, {-1700.5f, 2200, 900}, {10, 1100, -40}}};
  for (const Case& c : cases) {
    reshape_viewport(c.viewport.x, c.viewport.y, c.viewport.width, c.viewport.height);
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.look_at.x, c.look_at.y, c.look_at.z, 0.0, 1.0, 0.0);
    double gl[2][16];
    glGetDoublev(GL_PROJECTION_MATRIX, gl[0]);
    glGetDoublev(GL_MODELVIEW_MATRIX, gl[1]);
    const DamageCamera camera = damage_camera(c.viewport, c.eye, c.look_at);
    // GL keeps its matrices in float; the camera's translation is a sum of terms as large
    // as the eye's coordinates.
    const double reach = std::abs(c.eye.x) + std::abs(c.eye.y) + std::abs(c.eye.z);
    for (int i = 0; i < 16; ++i) {
      EXPECT_NEAR(camera.projection[i], gl[0][i], 1e-6 * std::max(1.0, std::abs(gl[0][i]))) << i;
      EXPECT_NEAR(camera.model_view[i], gl[1][i], 1e-6 * (i < 12 ? 1.0 : reach)) << i;
    }
  }
}

// One balloon in the list, its rope hanging from it and swung sideways by sway a point
// (the lowest point furthest), its body tilted by drift.
void place_one_balloon(const Vector3& position, float sway, const Vector3& drift) {
  clear_balloons();
  balloon_head = std::make_unique<Balloon>();
  balloon_tail = balloon_head.get();
  Balloon& b = *balloon_head;
  b.position = position;
  b.drift = drift;
  b.alpha = 0.8f;
  b.tether = Tether(30, position);
  for (int i = 0; i < b.tether.count; ++i)
    b.tether.positions[i].x = static_cast<float>(b.tether.positions[i].x + sway * i);
}

// The pixels the balloon in the list changes (rows from the bottom): the view drawn with
// it and without it.
std::vector<DamageRect> pixels_the_balloon_changes(int width, int height) {
  reshape_viewport(width, height);
  draw_scene_view();
  const RgbImage with = read_gl_frame(width, height);
  std::unique_ptr<Balloon> kept = std::move(balloon_head);
  balloon_tail = nullptr;
  draw_scene_view();
  const RgbImage without = read_gl_frame(width, height);
  balloon_head = std::move(kept);
  balloon_tail = balloon_head.get();
  std::vector<DamageRect> changed;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (!std::equal(with.at(x, y), with.at(x, y) + 3, without.at(x, y)))
        changed.push_back({x, height - 1 - y, 1, 1});
  return changed;
}

// Every pixel a balloon and its rope change lies in the balloon's rectangle, with and
// without multisampling: a rope swung out past the body, a rope down the middle of the
// view (on a pixel edge), a tilted body near the edge of the view, a near balloon, a
// body tilted fully near the eye, where the turn of its box is many pixels; and
// a rope's line a tenth of a pixel inside a pixel's edge, which spills samples into the
// pixel beyond it.
TEST_F(DamageGl, EveryPixelABalloonTouchesLiesInItsRectangle) {
  struct Case {
    int samples, width, height;
    Vector3 position;
    float sway;
    Vector3 drift;
    float line_at = -1.0f;  // >= 0: the rope a vertical line this far into a pixel, off the body
  };
  const Case cases[] = {{0, 160, 120, {0, 1300, 0}, 3.0f, {}},
                        {4, 160, 120, {0, 1300, 0}, 3.0f, {}},
                        {4, 160, 120, {1, 1250, 0}, 0.0f, {}},
                        {0, 333, 217, {1, 1250, 0}, 0.0f, {}},
                        {4, 333, 217, {-380, 1400, -200}, -2.5f, {1, 0.2f, -1}},
                        {4, 200, 150, {60, 1380, -900}, 1.0f, {-1, 0.2f, 0.5f}},
                        {0, 160, 120, {0, 1300, 0}, 0.0f, {}, 0.1f},
                        {4, 160, 120, {0, 1300, 0}, 0.0f, {}, 0.1f},
                        {4, 160, 120, {0, 1300, 0}, 0.0f, {}, 0.9f},
                        // Near the eye, a body many pixels tall, tilted as far as the
                        // drift goes, either way.
                        {4, 320, 240, {8, 1469, -1171}, 0.0f, {1, 0.2f, 1}},
                        {0, 320, 240, {-8, 1469, -1171}, 0.0f, {-1, 0.2f, -0.6f}}};
  for (const Case& c : cases) {
    const std::string row = std::to_string(c.samples) + " samples, " + std::to_string(c.width) +
                            "x" + std::to_string(c.height) + ", x " + std::to_string(c.position.x) +
                            ", line at " + std::to_string(c.line_at);
    std::string error;
    ASSERT_TRUE(context_.create(c.width, c.height, &error, c.samples)) << error;
    init_scene_from_seed(1);
    place_one_balloon(c.position, c.sway, c.drift);
    if (c.line_at >= 0.0f) {
      // Level with the rope, so that a vertical line keeps one window x: 20 pixels right
      // of the middle, line_at into its pixel.
      eye.set(0, 1250, -1250);
      look_at.set(0, 1250, 0);
      const DamageCamera camera = damage_camera({0, 0, c.width, c.height}, eye, look_at);
      const auto window_x = [&](double x) {
        const double* m = camera.clip;
        return (((m[0] * x + m[4] * 1250.0 + m[12]) / (m[3] * x + m[7] * 1250.0 + m[15])) + 1.0) * c.width / 2;
      };
      const double target = c.width / 2 + 20 + c.line_at;
      const double x = (target - window_x(0.0)) / (window_x(1.0) - window_x(0.0));
      const Tether& rope = balloon_head->tether;
      for (int i = 1; i < rope.count; ++i) rope.positions[i].x = static_cast<float>(x + 1.0);
    }
    const std::vector<DamageRect> changed = pixels_the_balloon_changes(c.width, c.height);

    const DamageCamera camera = damage_camera({0, 0, c.width, c.height}, eye, look_at);
    const std::optional<DamageRect> rect = balloon_rect(
        c.position, c.drift, {balloon_head->tether.positions.get(), 30}, camera);
    ASSERT_TRUE(rect.has_value()) << row;
    const std::optional<DamageRect> body = balloon_rect(c.position, c.drift, {}, camera);
    ASSERT_TRUE(body.has_value()) << row;
    int rope_only = 0;
    for (const DamageRect& pixel : changed) {
      EXPECT_TRUE(holds(*rect, pixel)) << row << ": pixel " << pixel.x << ", " << pixel.y;
      rope_only += !holds(*body, pixel);
    }
    EXPECT_GT(changed.size(), 10u) << row << ": the balloon is not in view";
    if (c.sway != 0.0f || c.line_at >= 0.0f) {
      EXPECT_GT(rope_only, 5) << row << ": the rope stays inside the body's rectangle";
    }
  }
}

TEST_F(DamageGl, ABalloonNearTheEyeDamagesTheWholeView) {
  init_scene_from_seed(2);
  const DamageCamera camera = damage_camera({0, 0, width, height}, eye, look_at);
  EXPECT_FALSE(stream_damage(camera).whole);
  EXPECT_EQ(stream_damage(camera).balloons.size(), static_cast<std::size_t>(balloon_count()));
  // The body around the eye, or only the rope passing behind it.
  EXPECT_FALSE(balloon_rect(eye, {}, {}, camera).has_value());
  const Vector3 rope[] = {{0, 1300, 0}, {1, 1500, -1250}, {1, 1500, -1300}};
  EXPECT_FALSE(balloon_rect({0, 1300, 0}, {}, rope, camera).has_value());
  balloon_tail->position = eye;
  const BalloonDamage damage = stream_damage(camera);
  EXPECT_TRUE(damage.whole);
  // Off the view: no pixel at all.
  EXPECT_TRUE(balloon_rect({20000, 1250, 0}, {}, {}, camera)->empty());
}

TEST(DamageMerge, JoinsOverlapsBoundsTheCountAndGivesUpPastHalfTheView) {
  const DamageRect view{0, 0, 640, 480};
  // Two overlapping join into their bounds; one apart stays; empty ones drop out.
  std::vector<DamageRect> rects = {{10, 10, 20, 20}, {25, 25, 20, 20}, {300, 300, 5, 5}, {50, 50, 0, 9}};
  std::optional<std::vector<DamageRect>> merged = merge_damage(rects, view);
  ASSERT_TRUE(merged.has_value());
  EXPECT_EQ(*merged, (std::vector<DamageRect>{{10, 10, 35, 35}, {300, 300, 5, 5}}));
  // A join can make a rectangle meet one it missed before: joined until none overlap.
  rects = {{0, 0, 10, 10}, {100, 5, 10, 10}, {8, 8, 100, 2}};
  EXPECT_EQ(merge_rects(rects), (std::vector<DamageRect>{{0, 0, 110, 15}}));
  // Many apart: at most the bound, still holding every one.
  rects.clear();
  for (int i = 0; i < 30; ++i) rects.push_back({(i % 6) * 100, (i / 6) * 90, 8, 8});
  merged = merge_damage(rects, view);
  ASSERT_TRUE(merged.has_value());
  EXPECT_LE(merged->size(), max_damage_rects);
  for (const DamageRect& r : rects) EXPECT_TRUE(any_holds(*merged, r)) << r.x << ", " << r.y;
  for (std::size_t i = 0; i < merged->size(); ++i)
    for (std::size_t j = i + 1; j < merged->size(); ++j) EXPECT_FALSE(rects_meet((*merged)[i], (*merged)[j]));
  // More than half the view: drawn whole.
  EXPECT_FALSE(merge_damage({{0, 0, 640, 241}}, view).has_value());
  EXPECT_TRUE(merge_damage({{0, 0, 640, 240}}, view).has_value());
}

// The history of a view's frames, by rows of the picture's rectangles far apart.
class ViewHistory : public ::testing::Test {
 protected:
  static BalloonDamage at(std::initializer_list<DamageRect> rects) { return BalloonDamage{rects, false}; }
  ViewPicture picture{{0, 0, 640, 480}, {0, 1500, -1250}, {0, 1250, 0}};
  DrawnFrames frames;
};

const DamageRect a{10, 10, 20, 20}, b{200, 10, 20, 20}, c{400, 10, 20, 20}, d{10, 300, 20, 20};

TEST_F(ViewHistory, ABufferOfAgeARedrawsTheBalloonsOfItsFrameAndEveryOneSince) {
  EXPECT_TRUE(frames.next_frame(0, picture, 0, at({a})).whole);  // a new buffer
  ViewDamage damage = frames.next_frame(0, picture, 1, at({b}));
  ASSERT_FALSE(damage.whole);
  EXPECT_EQ(damage.rects, (std::vector<DamageRect>{b, a}));
  // Two buffers: this one holds the first frame; the balloons moved from a to b to c.
  damage = frames.next_frame(0, picture, 2, at({c}));
  ASSERT_FALSE(damage.whole);
  for (const DamageRect& r : {a, b, c}) EXPECT_TRUE(any_holds(damage.rects, r)) << r.x;
  EXPECT_EQ(damage.rects.size(), 3u);
  // The other buffer holds the second frame: a is no longer damage.
  damage = frames.next_frame(0, picture, 2, at({d}));
  ASSERT_FALSE(damage.whole);
  EXPECT_FALSE(any_holds(damage.rects, a));
  for (const DamageRect& r : {b, c, d}) EXPECT_TRUE(any_holds(damage.rects, r)) << r.x;
  // Deeper than the deepest age followed: whole.
  for (int i = 0; i < max_buffer_age; ++i) frames.next_frame(0, picture, 1, at({a}));
  EXPECT_FALSE(frames.next_frame(0, picture, max_buffer_age, at({a})).whole);
  EXPECT_TRUE(frames.next_frame(0, picture, max_buffer_age + 1, at({a})).whole);
}

TEST_F(ViewHistory, TheWholeViewWhereThePictureMayHaveChanged) {
  struct Case {
    const char* what;
    void (*change)(ViewPicture&, DrawnFrames&, int& age, BalloonDamage& balloons);
    bool whole;
    bool next_whole;  // the frame after it, the balloons moved again, its buffer 1 frame old
  };
  const Case cases[] = {
      {"nothing: only the balloons moved", [](ViewPicture&, DrawnFrames&, int&, BalloonDamage&) {}, false, false},
      {"the age is unknown", [](ViewPicture&, DrawnFrames&, int& age, BalloonDamage&) { age = 0; }, true, false},
      {"the buffer is older than the history",
       [](ViewPicture&, DrawnFrames&, int& age, BalloonDamage&) { age = 3; }, true, false},
      {"the eye moved", [](ViewPicture& p, DrawnFrames&, int&, BalloonDamage&) { p.eye.x += 0.001f; }, true, false},
      {"the camera turned", [](ViewPicture& p, DrawnFrames&, int&, BalloonDamage&) { p.look_at.y = 1200; }, true, false},
      {"the view has a new size", [](ViewPicture& p, DrawnFrames&, int&, BalloonDamage&) { p.area.height = 479; }, true, false},
      {"the view moved", [](ViewPicture& p, DrawnFrames&, int&, BalloonDamage&) { p.area.x = 1; }, true, false},
      {"new clouds, a fresh scene, a pause", [](ViewPicture&, DrawnFrames& f, int&, BalloonDamage&) { f.forget(); }, true, false},
      {"a balloon too near to bound", [](ViewPicture&, DrawnFrames&, int&, BalloonDamage& m) { m.whole = true; }, true, true},
      {"the balloons cover most of the view",
       [](ViewPicture&, DrawnFrames&, int&, BalloonDamage& m) { m.balloons = {{0, 0, 640, 300}}; }, true, true},
  };
  for (const Case& row : cases) {
    DrawnFrames history;
    ViewPicture now = picture;
    history.next_frame(7, now, 0, at({a}));
    history.next_frame(7, now, 1, at({b}));
    int age = 1;
    BalloonDamage balloons = at({c});
    row.change(now, history, age, balloons);
    EXPECT_EQ(history.next_frame(7, now, age, balloons).whole, row.whole) << row.what;
    // The frame after a new picture redraws from it; after one that could not be bounded
    // it cannot, nor while the one its buffer holds still covers most of the view.
    EXPECT_EQ(history.next_frame(7, now, 1, at({d})).whole, row.next_whole) << row.what;
  }
}

TEST_F(ViewHistory, EachViewKeepsItsOwnFrames) {
  const ViewPicture other{{640, 0, 640, 480}, picture.eye, picture.look_at};
  frames.next_frame(0, picture, 0, at({a}));
  frames.next_frame(1, other, 0, at({{700, 10, 20, 20}}));
  frames.next_frame(0, picture, 1, at({b}));  // the second view is not due this frame
  const ViewDamage damage = frames.next_frame(1, other, 1, at({{900, 10, 20, 20}}));
  ASSERT_FALSE(damage.whole);
  EXPECT_EQ(damage.rects, (std::vector<DamageRect>{{900, 10, 20, 20}, {700, 10, 20, 20}}));
  // A view met for the first time is new, whatever the age its shell gives.
  EXPECT_TRUE(frames.next_frame(2, other, 1, at({a})).whole);
}

}  // namespace
}  // namespace aerolume
