// The JSON result and the command's verdict line from hand-made results: a
// NaN row is null and fails, every optional block validates when present and
// when absent, and a failed run names what failed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

#include "driver/run_collect.h"
#include "driver/run_json.h"
#include "support/json_schema_check.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

using nlohmann::json;

zorvel_run_result failed_calibration() {
  zorvel_run_result r;
  r.config_path = "station/a b.cfg";
  r.kind = zorvel_run_kind::l_and_flat;
  r.status = zorvel_run_status::failed;
  r.table = "Calibration verification results";
  r.rows = {{"Flat-chart: Residual vertical disparity [pixels]", 1.234f, 1.0f, true, false},
            {"Flat-chart: STDEV of Horizontal Disparity", std::nanf(""), 2.0f, true, false},
            {"Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]", 2.0f, 4.0f, true, true,
             80, 95}};
  r.failed_stage = "table";
  r.failure_message = "Flat-chart: Residual vertical disparity [pixels] 1.23 > 1.00";
  r.angles = {true, 0.5, -0.25, std::nan("")};
  r.focal.present = true;
  r.geometry_correction = {0.5f, std::nanf("")};
  r.reference.present = true;
  r.zones.present = true;
  r.zones.vd[8] = 25.5;
  r.key_points = {{"main flat", 1280, 960, 2, 2, {{10, 20, 0, 0, 0}, {10, 60, 0, 1, 0}}}};
  r.disparities = {"flat", 1280, 960, 25.0f, {{10.0f, 20.0f, 0.5f, -0.25f}}};
  r.record = {"otp", "station/a.otp", false, 0, "", "a row failed"};
  r.stages = {{"configuration", 0.25}};
  return r;
}

TEST(RunJson, ValidatesWithAndWithoutEveryBlockAndWritesNanAsNull) {
  json_schema_check schema = shipped_result_schema();
  zorvel_run_result bare;
  bare.failed_stage = "configuration";
  bare.failure_message = "neither a calibration nor a verification configuration";
  for (const auto& [name, result, lists] :
       {std::tuple{"bare", bare, false}, std::tuple{"full", failed_calibration(), false},
        std::tuple{"full with lists", failed_calibration(), true}}) {
    const json j = json::parse(run_result_json(result, lists));
    for (const std::string& e : schema.errors(j)) ADD_FAILURE() << name << " " << e;
  }
  const json j = json::parse(run_result_json(failed_calibration(), true));
  EXPECT_TRUE(j["rows"][1]["value"].is_null());
  EXPECT_EQ(j["rows"][1]["verdict"], "FAIL");
  EXPECT_EQ(j["rows"][2]["fov_percent"], 80);
  EXPECT_FALSE(j["rows"][0].contains("fov_percent"));
  EXPECT_TRUE(j["angles"]["roll_deg"].is_null());
  EXPECT_EQ(j["zones"]["vd_rms"][2][2], 25.5);
  EXPECT_EQ(j["key_points"][0]["points"][1], json::array({10, 60, 0, 1, 0}));
  EXPECT_EQ(j["record"]["reason"], "a row failed");
  EXPECT_FALSE(j["record"].contains("sha256"));
  // The reader round-trips every float exactly.
  EXPECT_EQ(j["rows"][0]["value"].get<float>(), 1.234f);
}

// The passed, diagnostic and not-tested lines show in the command-line tests.
TEST(RunSummary, FailedRunsNameTheFirstFailedRowOrTheStage) {
  zorvel_run_result failed = failed_calibration();
  EXPECT_EQ(run_summary(failed), "FAIL flat-chart residual vertical disparity 1.23 > 1.00 (and 1 more); no record written");
  failed.rows[0].pass = true;
  EXPECT_EQ(run_summary(failed), "FAIL flat-chart stdev of horizontal disparity NaN > 2.00; no record written");
  zorvel_run_result detection;
  detection.kind = zorvel_run_kind::verification;
  detection.status = zorvel_run_status::failed;
  detection.failed_stage = "verification";
  detection.failure_message = "Main Flat chart image key point detection failed";
  EXPECT_EQ(run_summary(detection), "FAIL verification: Main Flat chart image key point detection failed");
}

}  // namespace
}  // namespace zorvel::test
