// The viewer's one-line reports on standard error.
#include "viewer/failure.h"

#include <cstdarg>
#include <cstdio>

namespace aerolume {

namespace {

[[gnu::format(printf, 1, 0)]] void write_line(const char* format, va_list arguments) {
  // Formatted first, then written in one call: the line cannot be split by another
  // writer to the same stream.
  char message[1024];
  std::vsnprintf(message, sizeof message, format, arguments);
  std::fprintf(stderr, "aerolume: %s\n", message);
}

}  // namespace

void viewer_note(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_line(format, arguments);
  va_end(arguments);
}

int viewer_failure(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_line(format, arguments);
  va_end(arguments);
  return failure_status;
}

}  // namespace aerolume
