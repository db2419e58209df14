// A small JSON writer for the results a run or a tool hands to station
// software. Numbers are written in the C conventions whatever the locale, with
// the fewest digits that read back to the same float or double; NaN and
// infinities are not JSON, so they are written as null.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel {

class json_writer {
 public:
  // indent 0 writes everything on one line.
  explicit json_writer(int indent = 2) : indent_(indent) {}

  json_writer& begin_object();
  json_writer& end_object();
  json_writer& begin_array();
  json_writer& end_array();
  json_writer& key(std::string_view name);

  json_writer& value(std::string_view text);
  json_writer& value(const char* text) { return value(std::string_view(text ? text : "")); }
  json_writer& value(const std::string& text) { return value(std::string_view(text)); }
  json_writer& value(double number);
  json_writer& value(float number);
  json_writer& value(int64_t number);
  json_writer& value(uint64_t number);
  json_writer& value(int number) { return value(static_cast<int64_t>(number)); }
  json_writer& value(unsigned number) { return value(static_cast<uint64_t>(number)); }
  json_writer& value(bool flag);
  json_writer& null();

  // key(name).value(v) in one call.
  template <typename T>
  json_writer& field(std::string_view name, const T& v) {
    return key(name).value(v);
  }

  // The document so far; complete once every object and array is closed.
  const std::string& text() const { return out_; }

 private:
  void before_value();
  void open(char bracket);
  void close(char bracket);
  void newline();
  template <typename Number>
  json_writer& number(Number n);

  std::string out_;
  std::vector<bool> has_items_;  // one entry per open object or array
  bool after_key_ = false;
  int indent_;
};

// Escapes text for a JSON string (quotes included).
std::string json_quoted(std::string_view text);

}  // namespace zorvel
