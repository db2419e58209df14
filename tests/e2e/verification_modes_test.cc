// Every verification run mode on the good module: the debug files each one
// writes, what it prints, where it stops, and which modes behave alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

const std::vector<std::string> kDebugFiles = {
    "orig-main-flat.bmp", "orig-aux-flat.bmp", "rectified-aux-flat.bmp", "rect-main-rot.bmp",
    "rect-aux-rot.bmp", "key_points_after_rectification_debug.txt"};
const std::vector<std::string> kImages(kDebugFiles.begin(), kDebugFiles.begin() + 3);
const std::string kTable = "Depth verification results";
const std::string kGeoCleared = "\n SETTING GEO to 0";
const std::string kDebugMetrics = "Verification Debug Reference Metrics";

struct mode_case {
  uint8_t mode;
  int32_t result;
  std::vector<std::string> files;
  int passes, fails, geo_cleared;
  std::vector<std::string> shows;  // in this order
  std::vector<std::string> absent;
};

const mode_case kModes[] = {
    {0, 1, {}, 5, 0, 0, {kDebugMetrics, kTable}, {"80th Percentile", "Debug Info"}},
    {1, 1, {kImages[0], kImages[1], kImages[2], kDebugFiles[5]}, 5, 0, 0,
     {"\n Flat CHART: Vertical Disparity 80th Percentile = ", "\n FOV at Max vertical disparity = ",
      "\n ==== Debug Info =====\n\n Computed Mean Disparity @ distance 800.000000mm is ", kTable},
     {}},
    // Stops after the images, without measuring.
    {2, 1, kImages, 0, 0, 0,
     {"\n Unwarp AUX DONE===========================\n<=Rectified Frames Available=>\n"
      "<=orig-aux-flat.bmp= Original Aux Image>\n<=rectified-aux-flat.bmp= Rectified Aux Image>\n"
      "<=orig-main-flat.bmp= Original Main Image>\n"},
     {kDebugMetrics, kTable}},
    {3, 1, kImages, 5, 0, 32, {"\n Unwarp AUX Init", kTable}, {}},
    // Both cameras dewarped and no aux unwarp; 5, 8 and 255 are the same run.
    {4, 1, kImages, 5, 0, 0, {kTable}, {"Unwarp AUX"}},
    {6, 0, {kImages[0], kImages[1], kImages[2], kDebugFiles[3], kDebugFiles[4]}, 0, 5, 32,
     {"\n SETTING RECT MATRIX TO UNITY\n Printing Error Matrix", "\n pc_cfg->rot[8] = ", kGeoCleared,
      "\n Direction is none Width = 1280 Height = 960", kTable},
     {kDebugMetrics}},
    {7, 0, kImages, 0, 5, 32, {kTable}, {"SETTING RECT MATRIX", "Unwarp AUX", kDebugMetrics}},
};

// One test, so that ctest (a process per test) calibrates the module once.
TEST(VerificationModes, WriteTheirFilesAndStopWhereTheyShould) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  ASSERT_EQ(m.run("calibration.cfg").result, 1);
  // One verification in mode; the debug files of earlier runs are removed first.
  const auto verify = [&](uint8_t mode) {
    for (const std::string& f : kDebugFiles) std::remove(m.file(f).c_str());
    return m.run("verification.cfg", mode);
  };
  const auto table_of = [](const std::string& text) { return text.substr(std::min(text.find(kTable), text.size())); };
  std::string mode_0_table;
  for (const mode_case& c : kModes) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    const run_output out = verify(c.mode);
    EXPECT_EQ(out.result, c.result) << out.text;
    std::vector<std::string> present;
    for (const std::string& f : kDebugFiles)
      if (m.exists(f)) present.push_back(f);
    EXPECT_EQ(present, c.files);
    EXPECT_EQ(count_of(out.text, "PASS\n"), c.passes);
    EXPECT_EQ(count_of(out.text, "FAIL\n"), c.fails);
    EXPECT_EQ(count_of(out.text, kGeoCleared), c.geo_cleared);
    size_t at = 0;
    for (const std::string& piece : c.shows) {
      at = out.text.find(piece, at);
      EXPECT_NE(at, std::string::npos) << piece << "\nin:\n" << out.text;
    }
    for (const std::string& piece : c.absent) EXPECT_EQ(out.text.find(piece), std::string::npos) << piece;
    EXPECT_TRUE(c.shows.back() == kTable || out.text.ends_with(c.shows.back()));
    if (c.mode == 0) mode_0_table = table_of(out.text);
    if (c.mode == 1) {
      EXPECT_EQ(read_file(m.file(kDebugFiles[5])).rfind("1 \n", 0), 0u);
      EXPECT_EQ(table_of(out.text), mode_0_table);
    }
    if (c.mode == 4) {
      for (const uint8_t mode : {uint8_t{5}, uint8_t{8}, uint8_t{255}}) EXPECT_EQ(verify(mode).text, out.text) << int(mode);
    }
  }
}

}  // namespace
}  // namespace zorvel::test
