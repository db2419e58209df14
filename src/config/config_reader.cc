#include "common/file_open.h"
#include "config/config_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "common/unique_file.h"
#include "config/c_numeric_locale.h"

namespace zorvel {
namespace {

// The regular-file bit of the status mode word.
constexpr unsigned kRegularFileBit = 0x8000u;

}  // namespace

bool is_c_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string normalise_config_text(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (is_c_space(c)) continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : ch;
  }
  return out;
}

std::string trim_config_text(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_c_space(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && is_c_space(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool zorvel_config_reader::load(zorvel_parse_result& result) {
  // A failed query other than "no such file" reports the zeroed mode word.
  struct stat status;
  std::memset(&status, 0, sizeof status);
  errno = 0;
  if (::stat(path_.c_str(), &status) != 0 && errno == ENOENT) {
    result.fail("Could not find config file " + path_);
    return false;
  }
  const auto mode = static_cast<unsigned>(status.st_mode);
  if ((mode & kRegularFileBit) == 0) {
    result.fail("Invalid file mode " + std::to_string(mode) + " for config file " + path_);
    return false;
  }
  unique_file file(open_file(path_, "rb"));
  if (!file) {
    result.fail("Failed to open config file " + path_);
    return false;
  }

  // Read line by line without ever holding more than one line's limit (plus
  // a carriage return and one byte to notice an overlong line).
  std::string line;
  bool too_long = false;
  bool pending = false;  // something was read since the last line feed
  for (;;) {
    const int c = std::getc(file.get());
    if (c == EOF) {
      if (pending && !too_long && line.size() <= kMaxConfigLineChars) store_line(line);
      break;
    }
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!too_long && line.size() <= kMaxConfigLineChars) store_line(line);
      line.clear();
      too_long = false;
      pending = false;
      continue;
    }
    pending = true;
    if (too_long) continue;
    if (line.size() > kMaxConfigLineChars + 1) {
      too_long = true;  // consumed up to its line feed, then dropped whole
      continue;
    }
    line += static_cast<char>(c);
  }
  return true;
}

void zorvel_config_reader::store_line(const std::string& raw) {
  const std::string line = raw.substr(0, raw.find('\0'));
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos || equals + 1 == line.size()) return;
  const std::string key = normalise_config_text(line.substr(0, equals));
  const std::string value = line.substr(equals + 1);
  values_[key] = normalise_config_text(value);
  path_values_[key] = trim_config_text(value);
}

bool zorvel_config_reader::require(const char* const* table, int count,
                                   key_exemption exemption,
                                   zorvel_parse_result& result) const {
  for (int i = 0; i < count; ++i) {
    const std::string key = table[i];
    if (find(key)) continue;
    if (exemption == key_exemption::distortion_keys &&
        (key.find("distortion_adj") != std::string::npos ||
         key.find("distortion_scale") != std::string::npos)) {
      continue;
    }
    result.fail("Could not find mandatory parameter " + key + " in config file");
    return false;
  }
  return true;
}

std::string zorvel_config_reader::get(const std::string& key) const {
  const auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

std::string zorvel_config_reader::get_path(const std::string& key) const {
  const auto it = path_values_.find(key);
  return it == path_values_.end() ? std::string() : it->second;
}

bool parse_int(const std::string& text, int32_t& out) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno == ERANGE || value < 0 || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

bool parse_byte(const std::string& text, uint8_t& out) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno == ERANGE || value < 0 || value > 255) return false;
  out = static_cast<uint8_t>(value);
  return true;
}

float narrow_to_float(double value) {
  if (!std::isfinite(value) || std::fabs(value) <= static_cast<double>(FLT_MAX)) {
    return static_cast<float>(value);
  }
  // Beyond FLT_MAX: round to nearest, ties to even; FLT_MAX has an odd
  // mantissa, so half an ulp above it already rounds to infinity.
  const double half_ulp_above_max = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
  const float magnitude = std::fabs(value) >= half_ulp_above_max
                              ? std::numeric_limits<float>::infinity()
                              : FLT_MAX;
  return value < 0.0 ? -magnitude : magnitude;
}

bool parse_double(const std::string& text, double& out) {
  const c_numeric_locale c_numbers;
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return errno != ERANGE && !std::isnan(out);
}

bool parse_float(const std::string& text, float& out) {
  const c_numeric_locale c_numbers;
  errno = 0;
  char* end = nullptr;
  const double wide = std::strtod(text.c_str(), &end);
  const bool range_error = errno == ERANGE;
  out = narrow_to_float(wide);
  return !range_error && !std::isnan(wide);
}

void report_invalid_value(zorvel_parse_result& result, const std::string& key,
                          const std::string& value) {
  result.fail("Invalid value for parameter " + key + " = " + value);
}

}  // namespace zorvel
