// Reader of one key=value configuration file and the outcome of one parse.
// Keys and values are normalised (white space removed, ASCII letters
// lowered); file-path values are also kept as written so that captures with
// capital letters or inner blanks stay reachable. Numbers follow the C
// conventions whatever locale the host process has set.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zorvel {

// Filled by one parse: status 1 accepted, 0 rejected; a rejected parse leaves
// exactly one newline-terminated line in messages.
struct zorvel_parse_result {
  int32_t status = 1;
  std::string messages;

  void fail(const std::string& line) {
    status = 0;
    messages += line;
    messages += '\n';
  }
};

// Which missing keys require() excuses.
enum class key_exemption { none, distortion_keys };

class zorvel_config_reader {
 public:
  explicit zorvel_config_reader(std::string path) : path_(std::move(path)) {}

  // Checks the path names a regular file and reads every line. On failure
  // one line has been written to result and its status is 0.
  bool load(zorvel_parse_result& result);

  // Walks the first count keys of table in order and reports the first one
  // that is absent and not excused.
  bool require(const char* const* table, int count, key_exemption exemption,
               zorvel_parse_result& result) const;

  bool find(const std::string& key) const { return values_.count(key) != 0; }
  // Normalised value text; empty when the key is absent.
  std::string get(const std::string& key) const;
  // The value as written in the file, only leading and trailing white space
  // removed (case and inner blanks kept); empty when the key is absent.
  std::string get_path(const std::string& key) const;

  const std::string& path() const { return path_; }
  const std::map<std::string, std::string>& values() const { return values_; }

 private:
  void store_line(const std::string& raw);

  std::string path_;
  std::map<std::string, std::string> values_;
  std::map<std::string, std::string> path_values_;
};

// Longest line the reader keeps, in characters without the line feed (and
// without a carriage return right before it); longer lines are discarded.
constexpr std::size_t kMaxConfigLineChars = 1022;

// White space as classified in the C locale: space, \t, \n, \v, \f, \r.
bool is_c_space(unsigned char c);
// Removes every white-space byte and lowers A..Z; bytes >= 0x80 pass unchanged.
std::string normalise_config_text(const std::string& text);
// Removes leading and trailing white-space bytes only.
std::string trim_config_text(const std::string& text);

// Conversions of value text. A value is rejected only for a range error of
// its own conversion, a negative integer, an integer above the output's
// range, or a NaN. Integers store only accepted values; the float forms
// store the converted value before the test.
bool parse_int(const std::string& text, int32_t& out);
bool parse_byte(const std::string& text, uint8_t& out);
bool parse_float(const std::string& text, float& out);
bool parse_double(const std::string& text, double& out);

// Rounds a double to the nearest float the way the hardware conversion does,
// giving infinity beyond the float range instead of undefined behaviour.
float narrow_to_float(double value);

// "Invalid value for parameter <key> = <value>" for a rejected conversion.
void report_invalid_value(zorvel_parse_result& result, const std::string& key,
                          const std::string& value);

}  // namespace zorvel
