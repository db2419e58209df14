// Every verification run mode on the good module: the debug files each one
// writes, what it prints, where it stops, and which modes behave alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

const std::vector<std::string> kDebugFiles = {
    "orig-main-flat.bmp", "orig-aux-flat.bmp", "rectified-aux-flat.bmp", "rect-main-rot.bmp",
    "rect-aux-rot.bmp", "key_points_after_rectification_debug.txt"};

class VerificationModes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = new simulated_module("good");
    ASSERT_EQ(module_->error(), "");
    ASSERT_EQ(module_->run("calibration.cfg").result, 1);
  }
  static void TearDownTestSuite() {
    delete module_;
    module_ = nullptr;
  }

  // One verification in mode; the debug files of earlier runs are removed first.
  run_output verify(uint8_t mode) {
    for (const std::string& f : kDebugFiles) std::remove(module_->file(f).c_str());
    return module_->run("verification.cfg", mode);
  }
  std::vector<std::string> files_present() const {
    std::vector<std::string> present;
    for (const std::string& f : kDebugFiles)
      if (module_->exists(f)) present.push_back(f);
    return present;
  }
  static std::string table(const std::string& text) {
    const size_t at = text.find("Depth verification results");
    return at == std::string::npos ? "" : text.substr(at);
  }

  static simulated_module* module_;
};

simulated_module* VerificationModes::module_ = nullptr;

const std::vector<std::string> kThreeImages = {"orig-main-flat.bmp", "orig-aux-flat.bmp",
                                               "rectified-aux-flat.bmp"};

TEST_F(VerificationModes, ModeOneAddsImagesKeyPointListAndDebugLinesToTheSameTable) {
  const run_output plain = verify(0);
  EXPECT_TRUE(files_present().empty());
  const run_output debug = verify(1);
  EXPECT_EQ(debug.result, 1);
  EXPECT_EQ(files_present(), (std::vector<std::string>{"orig-main-flat.bmp", "orig-aux-flat.bmp",
                                                       "rectified-aux-flat.bmp",
                                                       "key_points_after_rectification_debug.txt"}));
  EXPECT_EQ(table(debug.text), table(plain.text));
  EXPECT_EQ(plain.text.find("80th Percentile"), std::string::npos);
  EXPECT_TRUE(in_order(
      debug.text,
      {"\n =============================================================== \n",
       "\n Flat CHART: Vertical Disparity 80th Percentile = ",
       "\n Flat CHART: Vertical Disparity 90th Percentile = ",
       "\n Flat CHART: Vertical Disparity 95th Percentile = ",
       "\n Flat CHART: Absolute Horiz Disparity Difference 80th Percentile = ",
       "\n Flat CHART: Horiz Disparity Difference 90th Percentile = ",
       "\n Flat CHART: Absolute Horiz Disparity Difference 95th Percentile = ",
       "\n Flat Chart Mean Distance Percentage is ", "\n Max vertical disparity = ",
       "\n FOV at Max vertical disparity = ", "\n \n", "\n ==== Debug Info =====\n"
       "\n Computed Mean Disparity @ distance 800.000000mm is ",
       "\n Reference Disparity @ distance 800.000000mm is ", "\n =====\n",
       "===========================\nDepth verification results ...\n\n"}));
  const std::string list = read_file(module_->file("key_points_after_rectification_debug.txt"));
  EXPECT_EQ(list.rfind("1 \n", 0), 0u);
}

TEST_F(VerificationModes, ModeTwoWritesTheImagesAndStopsWithoutTable) {
  const run_output out = verify(2);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(files_present(), kThreeImages);
  EXPECT_EQ(out.text.find("Verification Debug Reference Metrics"), std::string::npos);
  EXPECT_EQ(out.text.find("Depth verification results"), std::string::npos);
  const std::string tail =
      "\n Unwarp AUX DONE===========================\n"
      "<=Rectified Frames Available=>\n"
      "<=orig-aux-flat.bmp= Original Aux Image>\n"
      "<=rectified-aux-flat.bmp= Rectified Aux Image>\n"
      "<=orig-main-flat.bmp= Original Main Image>\n";
  ASSERT_GE(out.text.size(), tail.size());
  EXPECT_EQ(out.text.substr(out.text.size() - tail.size()), tail);
}

TEST_F(VerificationModes, ModeThreeClearsTheGeometryCorrection) {
  const run_output out = verify(3);
  EXPECT_EQ(count_of(out.text, "\n SETTING GEO to 0"), 32);
  EXPECT_EQ(files_present(), kThreeImages);
  EXPECT_NE(out.text.find("Depth verification results"), std::string::npos);
  EXPECT_NE(out.text.find("\n Unwarp AUX Init"), std::string::npos);
}

TEST_F(VerificationModes, ModesFourUpTakeTheAlternativeDewarpPathAlike) {
  const run_output four = verify(4);
  EXPECT_EQ(four.result, 1) << four.text;
  EXPECT_EQ(files_present(), kThreeImages);
  EXPECT_EQ(four.text.find("Unwarp AUX"), std::string::npos);
  EXPECT_EQ(four.text.find("SETTING GEO"), std::string::npos);
  EXPECT_EQ(count_of(four.text, "PASS\n"), 5);
  for (const uint8_t mode : {5, 8, 255}) {
    EXPECT_EQ(verify(mode).text, four.text) << "mode " << int(mode);
    EXPECT_EQ(files_present(), kThreeImages);
  }
}

TEST_F(VerificationModes, ModeSixPrintsTheMatrixWritesRotatedCopiesAndMeasuresNothing) {
  const run_output out = verify(6);
  EXPECT_EQ(files_present(), (std::vector<std::string>{"orig-main-flat.bmp", "orig-aux-flat.bmp",
                                                       "rectified-aux-flat.bmp",
                                                       "rect-main-rot.bmp", "rect-aux-rot.bmp"}));
  // The copies' bytes are checked where unwarp writes them (Unwarp tests).
  EXPECT_TRUE(in_order(out.text, {"\n SETTING RECT MATRIX TO UNITY\n Printing Error Matrix",
                                  "\n pc_cfg->rot[0] = ", "\n pc_cfg->rot[8] = ",
                                  "\n SETTING GEO to 0",
                                  "\n Direction is none Width = 1280 Height = 960"}));
  EXPECT_EQ(count_of(out.text, "\n SETTING GEO to 0"), 32);
  EXPECT_EQ(out.text.find("Verification Debug Reference Metrics"), std::string::npos);
  // Nothing was measured, so no row may pass.
  EXPECT_EQ(count_of(out.text, "FAIL\n"), 5);
  EXPECT_EQ(out.result, 0);
}

TEST_F(VerificationModes, ModeSevenClearsGeometryAndStopsAfterTheImages) {
  const run_output out = verify(7);
  EXPECT_EQ(files_present(), kThreeImages);
  EXPECT_EQ(count_of(out.text, "\n SETTING GEO to 0"), 32);
  EXPECT_EQ(out.text.find("SETTING RECT MATRIX"), std::string::npos);
  EXPECT_EQ(out.text.find("Unwarp AUX"), std::string::npos);
  EXPECT_EQ(out.text.find("Verification Debug Reference Metrics"), std::string::npos);
  EXPECT_EQ(count_of(out.text, "FAIL\n"), 5);
  EXPECT_EQ(out.result, 0);
}

}  // namespace
}  // namespace zorvel::test
