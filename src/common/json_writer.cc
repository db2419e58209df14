#include "common/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace zorvel {

std::string json_quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          // Bytes from 0x80 up pass through: paths are the station's bytes.
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void json_writer::newline() {
  if (indent_ <= 0) return;
  out_ += '\n';
  out_.append(has_items_.size() * static_cast<size_t>(indent_), ' ');
}

void json_writer::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (has_items_.empty()) return;
  if (has_items_.back()) out_ += ',';
  has_items_.back() = true;
  newline();
}

void json_writer::open(char bracket) {
  before_value();
  out_ += bracket;
  has_items_.push_back(false);
}

void json_writer::close(char bracket) {
  if (has_items_.empty()) return;
  const bool had_items = has_items_.back();
  has_items_.pop_back();
  if (had_items) newline();
  out_ += bracket;
}

json_writer& json_writer::begin_object() { open('{'); return *this; }
json_writer& json_writer::end_object() { close('}'); return *this; }
json_writer& json_writer::begin_array() { open('['); return *this; }
json_writer& json_writer::end_array() { close(']'); return *this; }

json_writer& json_writer::key(std::string_view name) {
  before_value();
  out_ += json_quoted(name);
  out_ += indent_ > 0 ? ": " : ":";
  after_key_ = true;
  return *this;
}

json_writer& json_writer::value(std::string_view text) {
  before_value();
  out_ += json_quoted(text);
  return *this;
}

// Integers and the shortest round-trip form of floats and doubles, all in the
// C conventions (to_chars ignores the locale).
template <typename Number>
json_writer& json_writer::number(Number n) {
  if constexpr (std::is_floating_point_v<Number>) {
    if (!std::isfinite(n)) return null();
  }
  before_value();
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  out_.append(buffer, result.ptr);
  return *this;
}

json_writer& json_writer::value(double n) { return number(n); }
json_writer& json_writer::value(float n) { return number(n); }
json_writer& json_writer::value(int64_t n) { return number(n); }
json_writer& json_writer::value(uint64_t n) { return number(n); }

json_writer& json_writer::value(bool flag) {
  before_value();
  out_ += flag ? "true" : "false";
  return *this;
}

json_writer& json_writer::null() {
  before_value();
  out_ += "null";
  return *this;
}

}  // namespace zorvel
