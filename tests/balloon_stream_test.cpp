// The balloon stream: start-up population, retirement, spawning, wind drift, rope
// steps, fading and the long start-up cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "run/scene_setup.h"
#include "core/state.h"
#include "noise/noise.h"
#include "noise/random.h"
#include "render/render_state.h"
#include "render/scene_pass.h"
#include "sim/balloon_stream.h"
#include "tests/gl_fixture.h"

namespace aerolume {
namespace {

// An independent copy of the random sequence: state x 214013 + 2531011, bits 16..30.
struct Sequence {
  std::uint32_t state;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

float ground(int r) { return static_cast<float>(r / 32767.0 * 1000.0); }

std::vector<const Balloon*> balloons() {
  std::vector<const Balloon*> list;
  for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) list.push_back(b);
  return list;
}

float above(float v) { return std::nextafter(v, 1e9f); }

class Stream : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_state();
    seed_noise(1234u);
    populate_balloons();
  }
  void TearDown() override { clear_balloons(); }
};

TEST_F(Stream, PopulationIsFortyBalloonsWithRopesHangingStraightDown) {
  Sequence expected{1234u};
  for (int i = 0; i < 16384; ++i) expected.next();  // the lattice drew these
  seed_noise(1234u);
  populate_balloons();
  const auto list = balloons();
  ASSERT_EQ(list.size(), 40u);
  EXPECT_EQ(balloon_count(), 40);
  EXPECT_EQ(list.front(), balloon_head.get());
  EXPECT_EQ(list.back(), balloon_tail);
  EXPECT_EQ(balloon_tail->next, nullptr);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Balloon& b = *list[i];
    if (i < 39) {
      const float z = ground(expected.next());
      const float x = ground(expected.next());
      EXPECT_EQ(b.position.x, x) << i;
      EXPECT_EQ(b.position.y, static_cast<float>(i) * 100.0f) << i;
      EXPECT_EQ(b.position.z, z) << i;
    } else {
      EXPECT_EQ(b.position.x, 0.0f);
      EXPECT_EQ(b.position.y, 0.0f);
      EXPECT_EQ(b.position.z, 0.0f);
    }
    EXPECT_FALSE(b.position.is_normalized);
    EXPECT_EQ(b.drift.x, 0.0f);
    EXPECT_EQ(b.drift.y, 0.0f);
    EXPECT_EQ(b.drift.z, 0.0f);
    ASSERT_EQ(b.tether.count, 15);
    for (int k = 0; k < 15; ++k) {
      EXPECT_EQ(b.tether.positions[k].x, b.position.x);
      EXPECT_EQ(b.tether.positions[k].y, b.position.y - 5.0f * k);
      EXPECT_EQ(b.tether.positions[k].z, b.position.z);
    }
  }
  // 78 draws: the sequence goes on exactly where the population left it.
  EXPECT_EQ(next_random(), expected.next());
}

// The state before the one that yields `first` and then `second`.
std::uint32_t state_yielding(int first, int second) {
  std::uint32_t inverse = 1;  // 214013^-1 mod 2^32 by Newton's iteration
  for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
  for (std::uint32_t high = 0; high < 2; ++high)
    for (std::uint32_t low = 0; low < 65536; ++low) {
      const std::uint32_t s1 = (high << 31) | (static_cast<std::uint32_t>(first) << 16) | low;
      const std::uint32_t s2 = s1 * 214013u + 2531011u;
      if (static_cast<int>((s2 >> 16) & 0x7FFF) == second) return (s1 - 2531011u) * inverse;
    }
  ADD_FAILURE() << "no state yields " << first << ", " << second;
  return 0;
}

TEST_F(Stream, TheFirstRandomValueGoesToZ) {
  seed_random(state_yielding(32767, 0));
  Balloon b;
  spawn_balloon(b);
  EXPECT_EQ(b.position.x, 0.0f);
  EXPECT_EQ(b.position.y, 0.0f);
  EXPECT_EQ(b.position.z, 1000.0f);
  EXPECT_EQ(b.tether.count, 15);
  EXPECT_EQ(b.next, nullptr);
}

TEST_F(Stream, OnlyTheHeadIsRetiredOnlyAbove3000AndOnePerPass) {
  step_scale = 0.0f;  // nothing rises: heights stay where the test puts them
  auto list = balloons();
  const_cast<Balloon*>(list[0])->position.y = 3000.0f;
  const_cast<Balloon*>(list[1])->position.y = above(3000.0f);
  const_cast<Balloon*>(list[2])->position.y = 5000.0f;
  const_cast<Balloon*>(list[4])->position.y = 6000.0f;
  step_stream();
  EXPECT_EQ(balloon_head.get(), list[0]) << "exactly 3000 stays";
  EXPECT_EQ(balloons().size(), 40u);
  const_cast<Balloon*>(list[0])->position.y = above(3000.0f);
  step_stream();
  EXPECT_EQ(balloon_head.get(), list[1]);
  step_stream();
  EXPECT_EQ(balloon_head.get(), list[2]);
  step_stream();
  EXPECT_EQ(balloon_head.get(), list[3]) << "one per pass";
  step_stream();
  EXPECT_EQ(balloon_head.get(), list[3]) << "a balloon below 3000 at the head stops it";
  EXPECT_EQ(balloons().size(), 37u);
}

TEST_F(Stream, TheTailSpawnsOnceItIsAbove100AndTheNewBalloonMovesInTheSamePass) {
  step_scale = 0.5f;
  Balloon* tail = balloon_tail;
  tail->position.y = 99.5f;  // rises to exactly 100: no spawn
  step_stream();
  EXPECT_EQ(balloon_tail, tail);
  EXPECT_EQ(tail->position.y, 100.0f);
  tail->position.y = above(99.5f);
  step_stream();
  ASSERT_NE(balloon_tail, tail);
  EXPECT_EQ(tail->next.get(), balloon_tail);
  const Balloon& born = *balloon_tail;
  EXPECT_EQ(born.position.y, 0.5f);
  EXPECT_NEAR(born.alpha, 1.0f / 4.95f, 1e-6f);
  EXPECT_EQ(balloons().size(), 41u);
  step_stream();  // the new tail is far below 100: no second spawn
  EXPECT_EQ(balloons().size(), 41u);
}

TEST_F(Stream, DriftIsLimitedToPlusMinusOne) {
  step_scale = 0.0f;  // the relaxation leaves the drift as it is
  auto list = balloons();
  const float drifts[][2] = {{1.2f, 1.0f}, {-1.2f, -1.0f}, {1.0f, 1.0f}, {-1.0f, -1.0f},
                             {0.25f, 0.25f}};
  for (int i = 0; i < 5; ++i) {
    const_cast<Balloon*>(list[i])->drift.x = drifts[i][0];
    const_cast<Balloon*>(list[i])->drift.z = drifts[4 - i][0];
  }
  step_stream();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list[i]->drift.x, drifts[i][1]) << i;
    EXPECT_EQ(list[i]->drift.z, drifts[4 - i][1]) << i;
  }
}

TEST_F(Stream, WindRelaxesTheDriftTowardTheCentredNoise) {
  for (float& v : NoiseLattice) v = 0.75f;  // every noise value is 127/128 x 0.75
  step_scale = 0.2f;
  Balloon* b = balloon_head.get();
  b->drift.x = 0.5f;
  b->drift.z = -0.5f;
  const double n = 127.0 / 128.0 * 0.75;
  step_stream();
  EXPECT_NEAR(b->drift.x, 0.5 + 0.2 * (n - 0.5 - 0.5 / 20), 1e-6);
  EXPECT_NEAR(b->drift.z, -0.5 + 0.2 * (n - 0.5 + 0.5 / 20), 1e-6);
  EXPECT_EQ(b->drift.y, 0.2f);
}

TEST_F(Stream, EveryBalloonRisesByExactlyTheStepEachPass) {
  for (float step : {0.07f, 0.13f, 0.4f}) {
    step_scale = step;
    std::vector<float> before;
    for (const Balloon* b : balloons()) before.push_back(b->position.y);
    step_stream();
    const auto after = balloons();
    for (std::size_t i = 0; i < before.size(); ++i)
      EXPECT_EQ(after[i]->position.y, static_cast<float>(before[i] + static_cast<double>(step)));
  }
}

TEST(RopeSteps, NoRopeStepClimbsMoreThanAtTheStartUpStep) {
  EXPECT_EQ(rope_steps(0.0f), 1);
  EXPECT_EQ(rope_steps(0.035f), 1);
  EXPECT_EQ(rope_steps(0.07f), 2);
  EXPECT_EQ(rope_steps(0.1f), 3);
  EXPECT_EQ(rope_steps(0.14f), 4);
  EXPECT_EQ(rope_steps(0.2f), 6);
  EXPECT_EQ(rope_steps(0.4f), 12);
  EXPECT_EQ(rope_steps(std::nanf("")), 1);
  EXPECT_EQ(rope_steps(INFINITY), 1000);
}

TEST(Fade, FadesInNearTheGroundAndOutHighUp) {
  const float table[][2] = {{0, 0.2f},     {10, 0.25f},    {30, 0.5f},    {40, 1},
                            {45, 2},       {49, 10},       {50, 1},       {1000, 1},
                            {2900, 1},     {2901, 10},     {2905, 2},     {2910, 1},
                            {2950, 0.2f},  {3000, 0.1f}};
  for (const auto& row : table) EXPECT_NEAR(fade_alpha(row[0]), row[1], 2e-5f) << row[0];
  // t is stored as a float before the division.
  const float t = static_cast<float>((50.0 - 0.07f) / 10.0);
  EXPECT_EQ(fade_alpha(0.07f), static_cast<float>(1.0 / t));
}

TEST(RopeUnderTimedSteps, StaysFiniteAndKeepsUpWithItsBalloon) {
  for (float step : {0.1f, 0.2f, 0.3f, 0.4f}) {
    Balloon b;
    b.position.set(500.0f, 0.0f, 500.0f);
    b.tether = Tether(15, b.position);
    const int steps = rope_steps(step);
    float worst_gap = 0;
    for (int pass = 0; pass < 40000; ++pass) {
      // A sideways drift that swings between -1 and 1, as the wind makes it.
      b.drift.set(std::sin(pass * 0.001f), step, std::cos(pass * 0.0013f));
      b.position += b.drift;
      for (int i = 0; i < steps; ++i) b.tether.step(b.position);
    }
    for (int k = 0; k < 15; ++k) {
      const Vector3& p = b.tether.positions[k];
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << step;
      if (k > 0) {
        const float gap = static_cast<float>(std::sqrt(distance_squared(p, b.tether.positions[k - 1])));
        worst_gap = std::max(worst_gap, gap);
      }
    }
    EXPECT_LT(worst_gap, 7.0f) << "at step " << step;
  }
}

TEST_F(Stream, StartUpCycleSpawnsRetiresAndNeverEmpties) {
  int passes = 0;
  int first_spawn = -1;
  int first_retire = -1;
  std::size_t count = 40;
  std::vector<const Balloon*> heads;
  while (first_retire < 0 || passes < first_retire + 41) {
    const Balloon* head = balloon_head.get();
    step_stream();
    ++passes;
    advance_frame_counter();
    const std::size_t now = balloons().size();
    ASSERT_GE(now, 1u);
    ASSERT_EQ(balloon_count(), static_cast<int>(now)) << "after pass " << passes;
    if (first_spawn < 0 && now > count) first_spawn = passes;
    if (balloon_head.get() != head) {
      if (first_retire < 0) first_retire = passes;
      heads.push_back(balloon_head.get());
    }
    count = now;
    ASSERT_LT(passes, 60000);
  }
  // The fortieth balloon rises from 0 by 0.07 a pass (each sum rounded to float) and
  // spawns in the pass that takes it above 100: about 1430 passes. The first head, also
  // from 0, is retired at the start of the pass after the one that takes it above 3000:
  // about 43 000 passes.
  auto passes_above = [](float limit) {
    float y = 0.0f;
    int n = 0;
    while (!(y > limit)) {
      y = static_cast<float>(static_cast<double>(y) + static_cast<double>(0.07f));
      ++n;
    }
    return n;
  };
  EXPECT_EQ(first_spawn, passes_above(100.0f));
  EXPECT_NEAR(first_spawn, 1430, 2);
  EXPECT_EQ(first_retire, passes_above(3000.0f) + 1);
  EXPECT_NEAR(first_retire, 43000, 200);
  // The whole start-up list goes one per pass (the other 38 placed balloons are higher
  // still, and the fortieth rose beside the first), then the first spawned balloon,
  // still below 3000, stops the retirements.
  EXPECT_EQ(heads.size(), 40u);
  for (const Balloon* b : balloons()) EXPECT_LE(b->position.y, 3000.0f);
}

TEST_F(Stream, CountIsZeroOnceTheListIsCleared) {
  clear_balloons();
  EXPECT_EQ(balloon_count(), 0);
  EXPECT_EQ(balloon_tail, nullptr);
}

// The scene pass with its simulation timed and untimed, in a real GL context.
class StreamTimingGl : public gltest::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    init_scene_from_seed(42u);
    reshape_viewport(width, height);
  }
  void TearDown() override {
    stream_timing = StreamTiming{};
    clear_balloons();
  }
};

TEST_F(StreamTimingGl, DisabledTimingReadsNothingAndLeavesTheLastValue) {
  stream_timing = StreamTiming{false, -1.0};
  const float y = balloon_head->position.y;
  step_scene_stream();
  draw_scene_view();
  EXPECT_EQ(stream_timing.last_pass_us, -1.0);
  EXPECT_EQ(balloon_head->position.y, static_cast<float>(y + step_scale));  // one pass ran
}

TEST_F(StreamTimingGl, EnabledTimingHoldsThePassInMicrosecondsWithinTheScenePass) {
  stream_timing.enabled = true;
  for (int i = 0; i < 3; ++i) {
    stream_timing.last_pass_us = -1.0;
    const float y = balloon_head->position.y;
    const auto start = std::chrono::steady_clock::now();
    step_scene_stream();
    draw_scene_view();
    const auto end = std::chrono::steady_clock::now();
    const double scene_us = std::chrono::duration<double, std::micro>(end - start).count();
    // Forty balloons take some microseconds to move; the pass is part of the scene pass.
    EXPECT_GT(stream_timing.last_pass_us, 0.0);
    EXPECT_LE(stream_timing.last_pass_us, scene_us);
    EXPECT_EQ(balloon_head->position.y, static_cast<float>(y + step_scale));
  }
}

}  // namespace
}  // namespace aerolume
