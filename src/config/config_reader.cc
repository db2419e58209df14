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

zorvel_config_reader zorvel_config_reader::from_text(std::string_view text, std::string path,
                                                     config_key_filter keep) {
  zorvel_config_reader reader(std::move(path), keep);
  reader.loaded_ = true;
  reader.store_lines(text);
  return reader;
}

bool zorvel_config_reader::load(zorvel_parse_result& result) {
  if (!loaded_) {
    loaded_ = true;
    std::string text;
    if (read_file(text, failure_)) store_lines(text);
  }
  if (!failure_.empty()) {
    result.fail(failure_);
    return false;
  }
  return true;
}

bool zorvel_config_reader::read_file(std::string& text, std::string& failure) const {
  // A failed query other than "no such file" reports the zeroed mode word.
  struct stat status;
  std::memset(&status, 0, sizeof status);
  errno = 0;
  if (::stat(path_.c_str(), &status) != 0 && errno == ENOENT) {
    failure = "Could not find config file " + path_;
    return false;
  }
  const auto mode = static_cast<unsigned>(status.st_mode);
  if ((mode & kRegularFileBit) == 0) {
    failure = "Invalid file mode " + std::to_string(mode) + " for config file " + path_;
    return false;
  }
  const std::string too_large = "Config file " + path_ + " is larger than " +
                                std::to_string(kMaxConfigFileBytes) + " bytes";
  if (status.st_size > static_cast<off_t>(kMaxConfigFileBytes)) {
    failure = too_large;
    return false;
  }
  unique_file file(open_file(path_, "rb"));
  if (!file) {
    failure = "Failed to open config file " + path_;
    return false;
  }
  // In blocks; a file that grew past the limit since the query is refused
  // all the same. A read error ends the text like the end of the file.
  constexpr std::size_t kBlockBytes = 64 * 1024;
  for (;;) {
    const std::size_t have = text.size();
    text.resize(have + kBlockBytes);
    const std::size_t got = std::fread(text.data() + have, 1, kBlockBytes, file.get());
    text.resize(have + got);
    if (text.size() > kMaxConfigFileBytes) {
      failure = too_large;
      return false;
    }
    if (got < kBlockBytes) return true;
  }
}

void zorvel_config_reader::store_lines(std::string_view text) {
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    std::string_view line = text.substr(0, feed);
    if (feed == std::string_view::npos) {
      text = {};  // the last line, without a line feed, keeps any CR
    } else {
      text.remove_prefix(feed + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    if (line.size() <= kMaxConfigLineChars) store_line(line);
  }
}

void zorvel_config_reader::store_line(std::string_view raw) {
  const std::string_view line = raw.substr(0, raw.find('\0'));
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || equals + 1 == line.size()) return;
  std::string key = normalise_config_text(std::string(line.substr(0, equals)));
  if (!keep_(key)) return;
  const std::string value(line.substr(equals + 1));
  entries_[std::move(key)] = entry{normalise_config_text(value), trim_config_text(value)};
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
  const auto it = entries_.find(key);
  return it == entries_.end() ? std::string() : it->second.value;
}

std::string zorvel_config_reader::get_path(const std::string& key) const {
  const auto it = entries_.find(key);
  return it == entries_.end() ? std::string() : it->second.as_written;
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
