// The two output keys both parsers read: kept as written (case and inner
// blanks), empty when absent, read even from a file the parser refuses, and
// neither changes the outcome or the messages of a parse.
#include <gtest/gtest.h>

#include <string>

#include "config/calib_config.h"
#include "config/sample_configs.h"
#include "config/verif_config.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

struct outputs {
  int status = 0;
  std::string messages, json, report;
};

template <typename Config, typename Parse>
outputs parse_with(const config_lines& lines, Parse parse) {
  scratch_dir dir;
  write_file(dir.file("c.cfg"), render(lines));
  zorvel_config_reader reader(dir.file("c.cfg"));
  Config config;
  zorvel_parse_result result;
  capture_stdout([&] { parse(reader, config, result); });
  return {result.status, result.messages, config.result_json_file_path, config.result_report_dir_path};
}

outputs calib(const config_lines& lines) {
  return parse_with<zorvel_calib_config>(lines, [](auto& r, auto& c, auto& p) { parse_calib_config(r, c, p); });
}
outputs verif(const config_lines& lines) {
  return parse_with<zorvel_verif_config>(lines, [](auto& r, auto& c, auto& p) { parse_verif_config(r, c, p); });
}

TEST(ResultOutputKeys, ReadAsWrittenByBothParsersWithoutChangingTheParse) {
  const std::string keys = "result_json_file=Out Dir/Run 1.JSON;result_report_dir=Reports/Today";
  const struct {
    const char* name;
    outputs (*parse)(const config_lines&);
    config_lines sample;
    const char* mandatory;
  } parsers[] = {{"calibration", calib, calib_sample(), "cam_baseline_mm"},
                 {"verification", verif, verif_sample(), "flat_chart_distance_mm"}};
  for (const auto& p : parsers) {
    SCOPED_TRACE(p.name);
    // A refused file too still says where its result goes, with the same message.
    for (const config_lines& sample : {p.sample, without(p.sample, p.mandatory)}) {
      const outputs plain = p.parse(sample);
      const outputs keyed = p.parse(with(sample, keys));
      EXPECT_EQ(keyed.status, plain.status);
      EXPECT_EQ(keyed.messages, plain.messages);
      EXPECT_EQ(plain.json + plain.report, "");
      EXPECT_EQ(keyed.json, "Out Dir/Run 1.JSON");
      EXPECT_EQ(keyed.report, "Reports/Today");
    }
    EXPECT_EQ(p.parse(p.sample).status, 1);
    EXPECT_EQ(p.parse(without(p.sample, p.mandatory)).status, 0);
  }
}

}  // namespace
}  // namespace zorvel::test
