#!/usr/bin/python3
"""The intervals between a Wayland client's buffer swaps, from its WAYLAND_DEBUG log.

Each wl_surface.attach is a swap; the frame callbacks the surface asked for
(wl_surface.frame, then wl_callback.done) between two swaps are the refreshes that frame
stayed up for. Prints one line per surface that swapped, after the first SKIP swaps:

  surface@ID swaps N fps F median M p5 A p95 B period P k K within W prompt S kmedian KM

times in ms: the median and the 5th and 95th percentiles of the swap intervals, the
callback period seen (the median interval between consecutive callbacks), K the callbacks
between swaps (several values joined by "," when they varied), W the share of intervals
within 1 ms of K x P (the most common K, or the K given; P seen, or the P given), S the share of swaps made within
1 ms of the callback before them (the compositor's own jitter is not in it), KM the
median of the callbacks between swaps.

  swap_intervals.py LOG [SKIP [K [P]]]
"""
import re
import statistics
import sys

line_re = re.compile(r"^\[\s*(\d+)\.(\d+)\]\s+(->)?\s*(\S+?)@(\d+)\.(\w+)\((.*)\)")
log, skip = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 0
given_k = int(sys.argv[3]) if len(sys.argv) > 3 else None
given_period = float(sys.argv[4]) if len(sys.argv) > 4 else None
swaps, callbacks, owner, between, lags = {}, {}, {}, {}, {}
for raw in open(log, errors="replace"):
    m = line_re.match(raw)
    if not m:
        continue
    t = int(m.group(1)) + int(m.group(2)) / 1000.0
    interface, ident, message, args = m.group(4), m.group(5), m.group(6), m.group(7)
    if interface == "wl_surface" and message == "frame":
        cb = re.search(r"wl_callback@(\d+)", args)
        if cb:
            owner[cb.group(1)] = ident
    elif interface == "wl_surface" and message == "attach" and "nil" not in args:
        swaps.setdefault(ident, []).append(t)
        between.setdefault(ident, []).append(0)
        done = callbacks.get(ident)
        lags.setdefault(ident, []).append(t - done[-1] if done else None)
    elif interface == "wl_callback" and message == "done" and ident in owner:
        surface = owner.pop(ident)
        callbacks.setdefault(surface, []).append(t)
        if between.get(surface):
            between[surface][-1] += 1


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(p * len(ordered)))]


for surface, times in swaps.items():
    times = times[skip:]
    if len(times) < 3:
        continue
    intervals = [b - a for a, b in zip(times, times[1:])]
    start = times[0]
    seen = [c for c in callbacks.get(surface, []) if c >= start]
    gaps = [b - a for a, b in zip(seen, seen[1:])]
    period = statistics.median(gaps) if gaps else 0.0
    if given_period is not None:
        period = given_period
    # The callbacks counted for each frame: those between its swap and the next.
    ks = between[surface][skip:-1][: len(intervals)]
    common = given_k if given_k is not None else (statistics.mode(ks) if ks else 0)
    within = sum(1 for i in intervals if abs(i - common * period) <= 1.0) / len(intervals)
    lag = [l for l in lags[surface][skip:] if l is not None]
    prompt = sum(1 for l in lag if l <= 1.0) / len(lag) if lag else 0.0
    print("surface@%s swaps %d fps %.1f median %.2f p5 %.2f p95 %.2f period %.2f k %s within %.3f prompt %.3f "
          "kmedian %g" % (
        surface, len(times), (len(times) - 1) * 1000.0 / (times[-1] - start),
        statistics.median(intervals), percentile(intervals, 0.05), percentile(intervals, 0.95),
        period, ",".join(str(k) for k in sorted(set(ks))), within, prompt, statistics.median(ks) if ks else 0))
