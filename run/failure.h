// How both programs say what went wrong: one line on standard error, the program's name
// first. Every shell and the renderer report through here, so the line is written once.
#pragma once

namespace aerolume {

// The status of a run that failed.
constexpr int failure_status = 1;

// The name that starts every line ("aerolume" until set); main sets it once, before the
// first report. The text must outlive the program's reports (a literal).
void set_program_name(const char* name);

// Writes "<program>: " and the formatted message as one line; returns failure_status,
// so that a failure reads `return report_failure("cannot ...: %s", why);`.
[[gnu::format(printf, 1, 2)]] int report_failure(const char* format, ...);
// The same line for a note that ends nothing (a warning, a wait explained).
[[gnu::format(printf, 1, 2)]] void report_note(const char* format, ...);

}  // namespace aerolume
