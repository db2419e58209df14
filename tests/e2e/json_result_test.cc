// The JSON result of a run against what the run printed: on every simulator
// preset a calibration and a verification write their result through the
// configuration key, it parses, validates against the shipped schema, and
// every row, angle, reference figure and the record's digest equal the
// printed (or stored) ones. Asking for the result changes nothing printed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/sha256.h"
#include "driver/entry.h"
#include "e2e/simulated_module.h"
#include "sim/presets.h"
#include "support/json_schema_check.h"

namespace zorvel::test {
namespace {

using nlohmann::json;

std::string printed(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// Parses the result, validates it and checks it against the printed text.
json checked_result(const std::string& path, const std::string& text) {
  const json r = json::parse(read_file(path));
  for (const std::string& e : shipped_result_schema().errors(r)) ADD_FAILURE() << path << " " << e;

  // Every printed row is a JSON row with the same figures, in the same order.
  size_t at = 0;
  for (const json& row : r["rows"]) {
    const std::string name = row["name"];
    at = text.find(name, at);
    if (at == std::string::npos) {
      ADD_FAILURE() << "row not printed: " << name;
      return r;
    }
    const std::string line = text.substr(at, text.find('\n', at) - at);
    const std::string verdict = row["verdict"];
    const std::string tail = (row["value"].is_null() ? "" : printed("%6.2f", row["value"])) + " " +
                             printed("%10.2f", row["threshold"]) + " " + "  " + verdict;
    EXPECT_TRUE(line.ends_with(tail)) << line << " vs " << tail;
    if (row["value"].is_null()) {
      EXPECT_EQ(verdict, "FAIL") << line;
    }
    if (verdict == "PASS") {
      EXPECT_TRUE(row["measured"].get<bool>()) << line;
    }
  }
  EXPECT_EQ(r["rows"].size(), static_cast<size_t>(count_of(text, "  PASS\n") + count_of(text, "  FAIL\n")));

  if (!r["angles"].is_null()) {
    for (const char* a : {"pitch", "yaw", "roll"}) {
      const std::string key = std::string("relative_") + a + "_degrees";
      EXPECT_NE(text.find(key + "=" + printed("%f", r["angles"][std::string(a) + "_deg"]) + "\n"),
                std::string::npos) << key;
    }
  }
  const json& ref = r["reference"];
  if (r["kind"] != "verification" && !ref.is_null()) {
    EXPECT_NE(text.find("FLAT CHART: Residual Vertical Disparity = " +
                        printed("%f", ref["flat_residual_vd"])), std::string::npos);
    EXPECT_NE(text.find("Flat CHART: Max Vertical disparity      = " +
                        printed("%f", ref["flat_max_vd"])), std::string::npos);
    std::string zones;
    for (const json& line : r["zones"]["vd_rms"]) {
      zones += "\n";
      for (const json& z : line) zones += "  " + printed("%f", z);
    }
    EXPECT_NE(text.find("RMS Vertical Disparity Zoned" + zones), std::string::npos) << zones;
  }
  const json& rec = r["record"];
  if (!rec.is_null() && rec["written"] == true) {
    const std::string bytes = read_file(rec["path"]);
    EXPECT_EQ(rec["size"], bytes.size());
    EXPECT_EQ(rec["sha256"], sha256_hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  }
  EXPECT_EQ(r["result"] == 1, r["status"] == "passed" || (r["status"] == "diagnostic" && r["result"] == 1));
  EXPECT_EQ(r["failure"].is_null(), r["status"] == "passed" || r["status"] == "diagnostic");
  return r;
}

class JsonResult : public ::testing::TestWithParam<std::string> {};

TEST_P(JsonResult, ParsesValidatesAndEqualsThePrintedReport) {
  simulated_module m(GetParam());
  ASSERT_EQ(m.error(), "");
  for (const char* config : {"calibration.cfg", "verification.cfg"}) {
    const std::string path = m.file(std::string(config) + ".json");
    m.set(config, "result_json_file", path);
    const run_output run = m.run(config);
    SCOPED_TRACE(config);
    const json r = checked_result(path, run.text);
    EXPECT_EQ(r["result"], run.result);
    EXPECT_EQ(r["config_path"], m.file(config));
    EXPECT_EQ(r["kind"], std::string(config) == "verification.cfg" ? "verification" : "L+flat");
    if (r["status"] == "not-tested") continue;  // a preset whose calibration failed
    // Counts only without the flag; the flat pairs' disparities one per pair.
    ASSERT_GE(r["key_points"].size(), 2u);
    for (const json& k : r["key_points"]) {
      EXPECT_FALSE(k.contains("points"));
      EXPECT_LE(k["paired"].get<int>(), k["detected"].get<int>());
    }
    if (!r["disparities"].is_null()) {
      EXPECT_EQ(r["disparities"]["count"], r["key_points"].back()["paired"]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPreset, JsonResult, ::testing::ValuesIn(sim::preset_names()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                           std::string n = p.param;
                           for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

// The key changes nothing printed or stored; the lists come with the flag,
// origin first, and a failed early stage still says why.
TEST(JsonResultGood, KeyChangesNothingPrintedListsComeWithTheFlagEarlyFailuresSayWhy) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  const run_output plain = m.run("calibration.cfg");
  const std::string record = read_file(m.file("calibration.otp"));
  m.set("calibration.cfg", "result_json_file", m.file("cal.json"));
  m.set("calibration.cfg", "result_report_dir", m.file(""));
  const run_output keyed = m.run("calibration.cfg");
  EXPECT_EQ(keyed.text, plain.text);
  EXPECT_EQ(read_file(m.file("calibration.otp")), record);

  // The L-only run stores its interim record, which the flat-only run completes.
  const struct {
    const char* config;
    const char* kind;
    const char* record;
  } kinds[] = {{"calibration_l_only.cfg", "L-only", "interim"},
               {"calibration_flat_only.cfg", "flat-only", "otp"}};
  for (const auto& k : kinds) {
    m.set(k.config, "result_json_file", m.file("kind.json"));
    const run_output out = m.run(k.config);
    const json r = checked_result(m.file("kind.json"), out.text);
    EXPECT_EQ(r["kind"], k.kind);
    EXPECT_EQ(r["record"]["kind"], k.record);
    EXPECT_EQ(r["record"]["written"], true);
    EXPECT_EQ(r["result"], out.result);
  }

  zorvel_run_options with_lists;
  with_lists.json_path = m.file("lists.json");
  with_lists.key_point_lists = true;
  zorvel_run_result found;
  capture_stdout([&] { run(m.file("calibration.cfg").c_str(), 0, with_lists, &found); });
  EXPECT_FALSE(found.images.empty());  // a report folder was named
  EXPECT_TRUE(std::filesystem::exists(m.file("cal.json")));
  const json r = json::parse(read_file(m.file("lists.json")));
  for (const json& k : r["key_points"]) {
    ASSERT_EQ(k["points"].size(), k["detected"].get<size_t>()) << k["image"];
    EXPECT_EQ(k["points"][0][2], 0) << k["image"];  // the origin's labels
    EXPECT_EQ(k["points"][0][3], 0) << k["image"];
  }
  ASSERT_EQ(r["disparities"]["points"].size(), r["disparities"]["count"].get<size_t>());
  double deviation_sum = 0.0;
  for (const json& p : r["disparities"]["points"]) deviation_sum += p[3].get<double>();
  EXPECT_NEAR(deviation_sum / r["disparities"]["count"].get<double>(), 0.0, 1e-3);

  const struct {
    std::string config, key, value;
    std::string stage;
  } early[] = {
      {"calibration.cfg", "main_calib_l_chart_image", m.file("none.bmp"), "captures"},
      {"verification.cfg", "calib_otp_data_file", m.file("none.otp"), "record"},
      {"calibration.cfg", "main_calib_input_width", "70000", "setup"},
      {"calibration.cfg", "calib_square_size_mm", "", "configuration"},
  };
  for (const auto& c : early) {
    m.set(c.config, c.key, c.value);
    m.set(c.config, "result_json_file", m.file("early.json"));
    const run_output out = m.run(c.config);
    const json e = checked_result(m.file("early.json"), out.text);
    EXPECT_EQ(e["status"], "not-tested") << c.key;
    EXPECT_EQ(e["failure"]["stage"], c.stage) << c.key;
    EXPECT_FALSE(e["failure"]["message"].get<std::string>().empty()) << c.key;
    EXPECT_EQ(out.result, 0);
  }
}

}  // namespace
}  // namespace zorvel::test
