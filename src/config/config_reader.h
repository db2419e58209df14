// Reader of one key=value configuration file and the outcome of one parse.
// Keys and values are normalised (white space removed, ASCII letters
// lowered); file-path values are also kept as written so that captures with
// capital letters or inner blanks stay reachable. Numbers follow the C
// conventions whatever locale the host process has set.
//
// The file is read once, in blocks, and only keys some parser knows are
// kept, so one reader serves both parsers and a huge file of unknown keys
// costs neither time nor memory: a file above kMaxConfigFileBytes is refused
// before it is read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

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

// Which keys a reader keeps.
using config_key_filter = bool (*)(std::string_view key);
// A key one of the parsers reads (config_keys.cc).
bool is_known_config_key(std::string_view key);
// Every key: for tests of the line rules themselves.
inline bool every_config_key(std::string_view) { return true; }

class zorvel_config_reader {
 public:
  explicit zorvel_config_reader(std::string path, config_key_filter keep = is_known_config_key)
      : path_(std::move(path)), keep_(keep) {}

  // A reader of text already in memory (no file checks); named `path` in
  // messages.
  static zorvel_config_reader from_text(std::string_view text, std::string path = "",
                                        config_key_filter keep = is_known_config_key);

  // Checks the path names a regular file no larger than kMaxConfigFileBytes
  // and reads its lines. On failure one line has been written to result and
  // its status is 0. Later calls repeat the first call's outcome without
  // reading again, so each parser reports the same file message.
  bool load(zorvel_parse_result& result);

  // Walks the first count keys of table in order and reports the first one
  // that is absent and not excused.
  bool require(const char* const* table, int count, key_exemption exemption,
               zorvel_parse_result& result) const;

  bool find(const std::string& key) const { return entries_.count(key) != 0; }
  // Normalised value text; empty when the key is absent.
  std::string get(const std::string& key) const;
  // The value as written in the file, only leading and trailing white space
  // removed (case and inner blanks kept); empty when the key is absent.
  std::string get_path(const std::string& key) const;

  const std::string& path() const { return path_; }
  // Number of distinct keys kept.
  std::size_t key_count() const { return entries_.size(); }

 private:
  struct entry {
    std::string value;       // normalised
    std::string as_written;  // trimmed only
  };

  // The whole file into text, or false and the message line in failure.
  bool read_file(std::string& text, std::string& failure) const;
  void store_lines(std::string_view text);
  void store_line(std::string_view raw);

  std::string path_;
  config_key_filter keep_;
  bool loaded_ = false;
  std::string failure_;  // the first load's message; empty when it loaded
  std::map<std::string, entry, std::less<>> entries_;
};

// Longest line the reader keeps, in characters without the line feed (and
// without a carriage return right before it); longer lines are discarded.
constexpr std::size_t kMaxConfigLineChars = 1022;
// Largest configuration file read; a station's file is a few kilobytes.
constexpr std::size_t kMaxConfigFileBytes = std::size_t{1} << 20;

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
