// The one wait of every loop in the viewer: poll on the loop's descriptors until one is
// ready, a deadline passes or a signal arrives. A signal always returns to the loop, so
// that a flag its handler set (a fresh scene asked for) is seen at once, asleep or not.
#pragma once

#include <poll.h>

#include <optional>
#include <span>

#include "viewer/pace/frame_pacing.h"

namespace aerolume {

// When a wait ends at the latest; none: only a descriptor or a signal ends it.
using Deadline = std::optional<PacingClock::time_point>;

// The sooner of two deadlines (none counts as never).
Deadline earlier(Deadline a, Deadline b);

// One poll on the sources, for at most what is left until the deadline (rounded up to
// the millisecond, so that the wait never ends just before it). Returns the number of
// sources ready; 0 when the deadline has passed or a signal came (EINTR); -1 on any
// other failure, with errno set.
int poll_until(std::span<pollfd> sources, Deadline deadline);

}  // namespace aerolume
