// How the viewer says what went wrong: one line on standard error, the program's name
// first. Every shell reports through here, so the prefix is written once.
#pragma once

namespace aerolume {

// The status of a run that failed.
constexpr int failure_status = 1;

// Writes "aerolume: " and the formatted message as one line; returns failure_status,
// so that a shell can end with `return viewer_failure(...)`.
[[gnu::format(printf, 1, 2)]] int viewer_failure(const char* format, ...);
// The same line for a note that ends nothing (a warning, a wait explained).
[[gnu::format(printf, 1, 2)]] void viewer_note(const char* format, ...);

}  // namespace aerolume
