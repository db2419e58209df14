#include "common/run_messages.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace zorvel {
namespace {

// One run at a time per thread, as the library runs on its caller's thread.
thread_local std::string first_message;
thread_local bool have_message = false;

// White space at the ends dropped, inner line breaks and tabs as spaces.
std::string one_line(const std::string& text) {
  std::string out;
  for (char c : text) out += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  const size_t begin = out.find_first_not_of(' ');
  if (begin == std::string::npos) return std::string();
  const size_t end = out.find_last_not_of(' ');
  return out.substr(begin, end - begin + 1);
}

}  // namespace

void report_failure(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size < 0) {
    std::vprintf(format, args);
    va_end(args);
    return;
  }
  std::vector<char> text(static_cast<size_t>(size) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  std::fwrite(text.data(), 1, static_cast<size_t>(size), stdout);
  if (!have_message) {
    const std::string line = one_line(std::string(text.data(), static_cast<size_t>(size)));
    if (!line.empty()) {
      first_message = line;
      have_message = true;
    }
  }
}

void clear_failure_message() {
  first_message.clear();
  have_message = false;
}

const std::string& first_failure_message() { return first_message; }

}  // namespace zorvel
