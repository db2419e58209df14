// Converts mandatory keys one after another for a parser: the first rejected
// value writes its "Invalid value for parameter" line, and every later
// conversion is skipped, so fields after it keep their earlier values.
#pragma once

#include <cstdint>
#include <string>

#include "config/config_reader.h"

namespace zorvel {

class key_converter {
 public:
  key_converter(const zorvel_config_reader& reader, zorvel_parse_result& result)
      : reader_(reader), result_(result) {}

  bool ok() const { return result_.status == 1; }

  void integer(const std::string& key, int32_t& field) { number(key, field, parse_int); }
  void byte(const std::string& key, uint8_t& field) { number(key, field, parse_byte); }
  void real(const std::string& key, float& field) { number(key, field, parse_float); }
  void real(const std::string& key, double& field) { number(key, field, parse_double); }

  // A file path: the normalised text and the text as written.
  void text(const std::string& key, std::string& normalised, std::string& as_written) {
    if (!ok()) return;
    normalised = reader_.get(key);
    as_written = reader_.get_path(key);
  }

 private:
  template <typename T>
  void number(const std::string& key, T& field, bool (*parse)(const std::string&, T&)) {
    if (!ok()) return;
    const std::string value = reader_.get(key);
    if (!parse(value, field)) report_invalid_value(result_, key, value);
  }

  const zorvel_config_reader& reader_;
  zorvel_parse_result& result_;
};

}  // namespace zorvel
