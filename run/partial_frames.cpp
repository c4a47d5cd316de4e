// The frames each view drew, and the damage of its next frame.
#include "run/partial_frames.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace aerolume {

namespace {

bool same_point(const Vector3& a, const Vector3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool same_picture(const ViewPicture& a, const ViewPicture& b) {
  return a.area == b.area && same_point(a.eye, b.eye) && same_point(a.look_at, b.look_at);
}

}  // namespace

DrawnFrames::History& DrawnFrames::history_of(std::uint64_t identity) {
  for (History& h : histories_)
    if (h.identity == identity) return h;
  if (histories_.size() >= max_view_histories) {
    const auto oldest = std::min_element(
        histories_.begin(), histories_.end(),
        [](const History& a, const History& b) { return a.last_drawn < b.last_drawn; });
    histories_.erase(oldest);
  }
  History& h = histories_.emplace_back();
  h.identity = identity;
  return h;
}

ViewDamage DrawnFrames::next_frame(std::uint64_t identity, const ViewPicture& picture,
                                   int buffer_age, const BalloonDamage& balloons) {
  History& h = history_of(identity);
  h.last_drawn = ++frames_drawn_;
  if (h.frames.empty() || !same_picture(h.picture, picture)) {
    h.frames.clear();
    h.picture = picture;
  }
  ViewDamage damage;
  if (balloons.whole) {
    // What this frame draws is not known, so no later frame can redraw from it.
    h.frames.clear();
    return damage;
  }
  std::vector<DamageRect> now = merge_rects(balloons.balloons);
  // The buffer holds the frame buffer_age frames back: what moved since is the balloons
  // of that frame, of each frame after it, and of this one.
  if (buffer_age >= 1 && static_cast<std::size_t>(buffer_age) <= h.frames.size()) {
    std::vector<DamageRect> all = now;
    for (auto frame = h.frames.rbegin(); frame != h.frames.rbegin() + buffer_age; ++frame)
      all.insert(all.end(), frame->begin(), frame->end());
    if (std::optional<std::vector<DamageRect>> rects = merge_damage(std::move(all), picture.area)) {
      damage.whole = false;
      damage.rects = std::move(*rects);
    }
  }
  h.frames.push_back(std::move(now));
  if (h.frames.size() > static_cast<std::size_t>(max_buffer_age)) h.frames.pop_front();
  return damage;
}

DrawnFrames& drawn_frames() {
  static DrawnFrames frames;
  return frames;
}

void forget_drawn_frames() { drawn_frames().forget(); }

}  // namespace aerolume
