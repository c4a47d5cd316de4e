// What a partial frame redraws: each view keeps the damage of the frames it drew, and a
// view's next frame redraws what changed since the frame its buffer holds, or the whole
// view where the picture as a whole may have changed. Plain data, no GL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "geometry/vector3.h"
#include "render/damage.h"

namespace aerolume {

// What a view's picture shows besides the balloons: where it lies in its drawable (its
// size, and so its projection) and the camera. While these stay, only balloons and ropes
// move; when any changes, every pixel may.
struct ViewPicture {
  DamageRect area;
  Vector3 eye;
  Vector3 look_at;
};

// What a view's frame draws: the whole view, or only these rectangles (merged, none
// overlapping, inside the view).
struct ViewDamage {
  bool whole = true;
  std::vector<DamageRect> rects;
};

// The deepest buffer age followed: a buffer older than this is drawn whole.
constexpr int max_buffer_age = 4;
// Views followed at once; the one drawn least recently makes way for a new one.
constexpr std::size_t max_view_histories = 16;

// The frames each view drew, by the view's identity (ViewSurfaces::view_identity).
class DrawnFrames {
 public:
  // The next frame of the view: the whole view when its buffer's age is unknown (0),
  // the view is new, its picture changed (area or camera), its buffer holds a frame
  // older than the history, or the balloons cannot be bounded (balloons.whole); else
  // the union of the balloons' rectangles of this frame and of the buffer_age frames
  // before it, merged (merge_damage; past its bounds, the whole view). The frame is
  // then recorded as drawn.
  ViewDamage next_frame(std::uint64_t identity, const ViewPicture& picture, int buffer_age,
                        const BalloonDamage& balloons);
  // Every view's next frame is whole: the picture as a whole changed, or may have been
  // lost (new clouds, a scene started afresh, a pause).
  void forget() { histories_.clear(); }

 private:
  struct History {
    std::uint64_t identity = 0;
    ViewPicture picture;
    // The balloons' rectangles of each frame drawn since the picture began (merged),
    // newest last, at most max_buffer_age of them.
    std::deque<std::vector<DamageRect>> frames;
    std::uint64_t last_drawn = 0;
  };
  History& history_of(std::uint64_t identity);

  std::vector<History> histories_;
  std::uint64_t frames_drawn_ = 0;
};

// The process's record, which render_views draws by.
DrawnFrames& drawn_frames();
// drawn_frames().forget(): what a fresh scene, new clouds and a restart after a pause do.
void forget_drawn_frames();

}  // namespace aerolume
