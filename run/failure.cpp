// Both programs' one-line reports on standard error.
#include "run/failure.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace aerolume {

namespace {

const char* program_name = "aerolume";

[[gnu::format(printf, 1, 0)]] void write_line(const char* format, va_list arguments) {
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  std::string line = std::string(program_name) + ": ";
  const std::size_t message_at = line.size();
  if (length > 0) {
    line.resize(message_at + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&line[message_at], static_cast<std::size_t>(length) + 1, format, arguments);
    line.back() = '\n';  // over the terminating zero
  } else {
    line += '\n';
  }
  // Formatted first, then written in one call: the line is never split by another
  // writer to the same stream, however long the message.
  std::fputs(line.c_str(), stderr);
}

}  // namespace

void set_program_name(const char* name) { program_name = name; }

void report_note(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_line(format, arguments);
  va_end(arguments);
}

int report_failure(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_line(format, arguments);
  va_end(arguments);
  return failure_status;
}

}  // namespace aerolume
