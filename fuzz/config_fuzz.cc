// libFuzzer target for the configuration reader and both parsers, read from
// memory and shared as the entry point shares it: any bytes must be accepted
// or refused without a crash, a leak or an endless loop; a refusal leaves
// exactly one message line, an acceptance none; both echoes of an accepted
// record print.
#include <cstdint>
#include <cstdio>
#include <string>

#include "config/calib_config.h"
#include "config/config_reader.h"
#include "config/verif_config.h"
#include "driver/config_dump.h"

namespace {

void check_result(const zorvel::zorvel_parse_result& result) {
  const auto& m = result.messages;
  const bool one_line = !m.empty() && m.find('\n') == m.size() - 1;
  if (result.status == 1 ? !m.empty() : (result.status != 0 || !one_line)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto reader = zorvel::zorvel_config_reader::from_text(bytes, "fuzz.cfg");

  zorvel::zorvel_calib_config calib;
  zorvel::zorvel_parse_result calib_result;
  zorvel::parse_calib_config(reader, calib, calib_result);
  check_result(calib_result);
  if (calib_result.status == 1) zorvel::dump_calib_config(stdout, calib);

  zorvel::zorvel_verif_config verif;
  zorvel::zorvel_parse_result verif_result;
  zorvel::parse_verif_config(reader, verif, verif_result, stdout);
  check_result(verif_result);
  if (verif_result.status == 1) zorvel::dump_verif_config(stdout, verif);

  // The conversions on the raw text as well.
  const std::string text = bytes.substr(0, bytes.find('\0'));
  int32_t i = 0;
  uint8_t b = 0;
  float f = 0.0f;
  double d = 0.0;
  if (zorvel::parse_int(text, i) && i < 0) __builtin_trap();
  zorvel::parse_byte(text, b);
  zorvel::parse_float(text, f);
  zorvel::parse_double(text, d);
  return 0;
}
