// Long runs of the balloon stream without GL: a million passes, first at the start-up
// step and then at steps as timed mode makes them, with the noise reseeded now and then
// as the c key does; and a run across the wrap of the frame count. Every pass is checked
// with one walk of the list.
//
// How long the list is. Every balloon rises by the same step in a pass and the step
// never exceeds 0.4, so heights keep their order and their gaps. A spawned balloon is
// placed at 0 and moved to s in the pass in which the tail rose from at most 100 to
// above 100, so the gap between a tail and the balloon it spawns is in (100 - s, 100].
// - Start-up: forty balloons; the first stays the head until it is above 3000. The
//   fortieth rose beside it from 0, and below it the spawned balloons reach down to a
//   tail in (0, 100]: when the head goes, their gaps span between 2900 and 3000.4, which
//   takes exactly 30 gaps of (99.6, 100]. The list peaks at 70, whatever the steps were.
// - The other 38 start-up balloons are higher than the head and the fortieth is level
//   with it, so the forty go in forty consecutive passes.
// - From then on the head is in (2900, 3000 + s] after a pass (its predecessor was above
//   3000 and at most 100 higher) and the tail in (0, 100], so they are more than 2800
//   and less than 3000.4 apart: 29 balloons (28 gaps of at most 100) cannot span that,
//   nor can 32 (31 gaps of more than 99.6) fit in it. The list holds 30 or 31 balloons.
// Heights are floats, so the gaps drift a little by rounding (99.57 to 100.06 over a
// million passes like these), far less than a balloon's worth; the run confirms the bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "run/frame.h"
#include "core/state.h"
#include "noise/noise.h"
#include "sim/balloon_stream.h"

namespace aerolume {
namespace {

constexpr float retire_height = 3000.0f;
constexpr float spawn_height = 100.0f;
constexpr int start_count = 40;
constexpr int first_cycle_peak = 70;
constexpr int settled_low = 30;
constexpr int settled_high = 31;
constexpr float seven_octaves = 127.0f / 128.0f;

bool finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// What is wrong with one balloon after a pass, or nullptr.
const char* fault_in(const Balloon& b) {
  if (!(b.drift.x >= -1.0f && b.drift.x <= 1.0f && b.drift.z >= -1.0f && b.drift.z <= 1.0f))
    return "sideways drift outside [-1, 1]";
  if (b.drift.y != step_scale) return "rise differs from the step";
  if (!finite(b.position)) return "position not finite";
  if (!(std::isfinite(b.alpha) && b.alpha > 0.0f)) return "fade not finite and positive";
  if (b.tether.count != 15) return "rope without 15 points";
  const Vector3& anchor = b.tether.positions[0];
  if (anchor.x != b.position.x || anchor.y != b.position.y || anchor.z != b.position.z)
    return "rope not anchored at the balloon";
  for (int k = 1; k < 15; ++k)
    if (!finite(b.tether.positions[k])) return "rope point not finite";
  return nullptr;
}

std::string text(const Vector3& v) {
  std::string out = "(";
  out += std::to_string(v.x) + ", " + std::to_string(v.y) + ", " + std::to_string(v.z) + ")";
  return out;
}

// Runs passes as the frame does (scene pass, then the frame count) and checks each one:
// retirement, spawning, the length bookkeeping and every balloon.
class StreamWatch {
 public:
  StreamWatch() : length_(balloon_count()), peak_(length_) {}

  ::testing::AssertionResult pass() {
    Balloon* const head = balloon_head.get();
    Balloon* const second = head->next.get();
    const float head_height = head->position.y;
    Balloon* const tail = balloon_tail;
    step_stream();
    advance_frame_counter();

    const bool retired = balloon_head.get() != head;
    if (retired != (head_height > retire_height))
      return ::testing::AssertionFailure()
             << "a head at " << head_height << (retired ? " was retired" : " was not retired");
    if (retired && balloon_head.get() != second)
      return ::testing::AssertionFailure() << "the retired head's successor is not the head";
    if (retired && head == tail) return ::testing::AssertionFailure() << "the newest balloon was retired";
    const bool spawned = balloon_tail != tail;
    if (spawned) {
      if (tail->next.get() != balloon_tail || balloon_tail->next != nullptr)
        return ::testing::AssertionFailure() << "the new balloon is not linked as the newest";
      if (!(tail->position.y > spawn_height))
        return ::testing::AssertionFailure() << "a tail at " << tail->position.y << " spawned";
      if (balloon_tail->position.y != step_scale)
        return ::testing::AssertionFailure()
               << "the new balloon is at " << balloon_tail->position.y << ", not at the step";
    } else if (tail->position.y > spawn_height) {
      return ::testing::AssertionFailure() << "a tail at " << tail->position.y << " spawned nothing";
    }

    int length = 0;
    const Balloon* last = nullptr;
    for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) {
      if (const char* fault = fault_in(*b))
        return ::testing::AssertionFailure() << "balloon " << length << ": " << fault << "; position "
                                             << text(b->position) << ", drift " << text(b->drift);
      ++length;
      last = b;
    }
    if (last != balloon_tail) return ::testing::AssertionFailure() << "the list does not end at the tail";
    const int expected = length_ - (retired ? 1 : 0) + (spawned ? 1 : 0);
    if (length != expected)
      return ::testing::AssertionFailure() << length << " balloons, expected " << expected;
    length_ = length;
    peak_ = std::max(peak_, length);
    retired_ += retired ? 1 : 0;
    spawned_ += spawned ? 1 : 0;
    return ::testing::AssertionSuccess();
  }

  int length() const { return length_; }
  int peak() const { return peak_; }
  long retired() const { return retired_; }
  long spawned() const { return spawned_; }

 private:
  int length_ = 0;
  int peak_ = 0;
  long retired_ = 0;
  long spawned_ = 0;
};

// Scene-pass times as timed mode measures them, in whole milliseconds: a random walk
// over 0..30 ms (27 ms already reach the cap of 0.4), and now and then a stall of 400
// passes at 0 ms, which halves the step pass by pass down to exactly 0.
class PassTimes {
 public:
  explicit PassTimes(std::uint32_t seed) : random_(seed) {}

  std::uint32_t next() {
    if (stall_ > 0) {
      --stall_;
      return 0;
    }
    const std::uint32_t r = static_cast<std::uint32_t>(random_());
    if (r % 20000 == 0) stall_ = 400;
    const std::uint32_t move = (r >> 16) % 3;
    if (move == 0 && ms_ > 0) --ms_;
    if (move == 1 && ms_ < 30) ++ms_;
    return ms_;
  }

 private:
  std::mt19937 random_;
  std::uint32_t ms_ = 5;
  std::uint32_t stall_ = 0;
};

void start_stream(std::uint32_t seed, std::int32_t frame) {
  step_scale = 0.07f;
  timed_steps = false;
  frame_counter = frame;
  seed_noise(seed);
  populate_balloons();
}

// The sanitizer build runs fewer passes (it is many times slower); every phase of the
// run below still happens there.
#ifndef AEROLUME_SOAK_PASSES
#define AEROLUME_SOAK_PASSES 1'000'000
#endif

TEST(StreamSoak, AMillionPassesKeepTheListInItsBoundsAndEveryBalloonSound) {
  constexpr int total_passes = AEROLUME_SOAK_PASSES;
  constexpr int held_passes = 200'000;  // the start-up cycle and four lifetimes more
  constexpr int reseed_every = 40'000;
  constexpr std::uint32_t seed = 20240501u;
  start_stream(seed, 0);
  StreamWatch watch;
  PassTimes times(seed);
  float lowest_step = 1.0f;
  float highest_step = 0.0f;
  int first_retirement = 0;
  int start_up_gone = 0;
  int settled_shortest = INT_MAX;
  int settled_longest = 0;

  for (int pass = 1; pass <= total_passes; ++pass) {
    if (pass > held_passes) {
      apply_timed_step(times.next());
      lowest_step = std::min(lowest_step, step_scale);
      highest_step = std::max(highest_step, step_scale);
    }
    if (pass % reseed_every == 0) seed_noise(seed + static_cast<std::uint32_t>(pass));
    ASSERT_TRUE(watch.pass()) << "pass " << pass << ", step " << step_scale;

    if (watch.retired() == 0) {
      ASSERT_EQ(watch.length(), start_count + watch.spawned()) << "pass " << pass;
      continue;
    }
    if (first_retirement == 0) first_retirement = pass;
    if (watch.retired() < start_count) {
      ASSERT_GE(watch.length(), settled_low) << "pass " << pass;
      continue;
    }
    if (start_up_gone == 0) start_up_gone = pass;
    settled_shortest = std::min(settled_shortest, watch.length());
    settled_longest = std::max(settled_longest, watch.length());
    ASSERT_GE(watch.length(), settled_low) << "pass " << pass << ", step " << step_scale;
    ASSERT_LE(watch.length(), settled_high) << "pass " << pass << ", step " << step_scale;
  }
  std::cout << "passes " << total_passes << ", list peaked at " << watch.peak() << ", then "
            << settled_shortest << " to " << settled_longest << "; " << watch.retired()
            << " retired, " << watch.spawned() << " spawned; timed steps " << lowest_step
            << " to " << highest_step << "\n";

  EXPECT_EQ(watch.peak(), first_cycle_peak);
  // The start-up cycle ended under the start-up step, and its forty went one per pass.
  EXPECT_GT(first_retirement, 0);
  EXPECT_LT(start_up_gone, held_passes);
  EXPECT_EQ(start_up_gone - first_retirement, start_count - 1);
  // Both list lengths occur once settled, and the steps covered their whole range.
  EXPECT_EQ(settled_shortest, settled_low);
  EXPECT_EQ(settled_longest, settled_high);
  EXPECT_EQ(lowest_step, 0.0f);
  EXPECT_GE(highest_step, 0.3999f);  // the cap, approached from below
  clear_balloons();
}

TEST(StreamSoak, WindAndBalloonsKeepWorkingAcrossTheFrameCountWrap) {
  // 3000 passes before 2^31 - 1 and 3000 after the wrap to -2^31.
  constexpr int passes_each_side = 3000;
  start_stream(777u, INT32_MAX - passes_each_side + 1);
  StreamWatch watch;
  double wind_sum[2] = {0.0, 0.0};
  int wind_count[2] = {0, 0};
  std::vector<float> heights;

  for (int pass = 1; pass <= 2 * passes_each_side; ++pass) {
    const int side = frame_counter < 0 ? 1 : 0;
    // The wind that this pass samples at each balloon. With x and z at or above 0 every
    // blend weight is in [0, 1) (the frame count is a whole number, and so is every
    // octave's fourth coordinate this far out), so the wind is within the seven octave
    // weights, 127/128; below 0 the blends along x and z extrapolate by at most one
    // neighbour difference each, which keeps it within (-4, 5).
    const float w = static_cast<float>(frame_counter);
    float lowest = 2.0f;
    float highest = -2.0f;
    heights.clear();
    for (const Balloon* b = balloon_head.get(); b != nullptr; b = b->next.get()) {
      const Vector3& p = b->position;
      for (bool variant_a : {true, false}) {
        const float n = fractal_noise4(p.x, p.y, p.z, w, variant_a);
        if (p.x >= 0.0f && p.z >= 0.0f) {
          ASSERT_TRUE(n >= 0.0f && n <= seven_octaves) << "pass " << pass << ": " << n << " at " << text(p);
        } else {
          ASSERT_TRUE(n > -4.0f && n < 5.0f) << "pass " << pass << ": " << n << " at " << text(p);
        }
        lowest = std::min(lowest, n);
        highest = std::max(highest, n);
        wind_sum[side] += n;
        ++wind_count[side];
      }
      heights.push_back(p.y);
    }
    // Still a field that varies from place to place, not one lattice entry everywhere.
    ASSERT_GT(highest - lowest, 0.1f) << "pass " << pass;

    ASSERT_TRUE(watch.pass()) << "pass " << pass;
    ASSERT_EQ(watch.retired(), 0);  // the list still starts with the same balloons
    std::size_t i = 0;
    for (const Balloon* b = balloon_head.get(); i < heights.size(); b = b->next.get(), ++i)
      ASSERT_EQ(b->position.y, static_cast<float>(heights[i] + static_cast<double>(step_scale)))
          << "pass " << pass << ", balloon " << i;
  }
  EXPECT_EQ(frame_counter, INT32_MIN + passes_each_side);
  EXPECT_GE(watch.spawned(), 3);  // the tail kept reaching 100 on both sides
  const double mean_before = wind_sum[0] / wind_count[0];
  const double mean_after = wind_sum[1] / wind_count[1];
  EXPECT_NEAR(mean_before, 0.5, 0.05);
  EXPECT_NEAR(mean_after, 0.5, 0.05);
  clear_balloons();
}

}  // namespace
}  // namespace aerolume
