// A calibration in run mode 4: the debug images and key-point lists it
// writes, and the same record as a plain run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

TEST(CalibrationDebugMode, WritesImagesAndListsAndStoresThePlainRecord) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  ASSERT_EQ(m.run("calibration.cfg").result, 1);
  const std::string plain = read_file(m.file("calibration.otp"));
  ASSERT_EQ(plain.size(), 470u);
  EXPECT_FALSE(m.exists("ref_kp_y.txt"));  // a plain run writes no debug file

  EXPECT_EQ(m.run("calibration.cfg", 4).result, 1);
  EXPECT_EQ(read_file(m.file("calibration.otp")), plain);
  for (const char* image : {"orig-main-L.bmp", "orig-aux-L.bmp", "orig-main-Flat.bmp",
                            "orig-aux-Flat.bmp", "rectified-aux-flat-proj-only.bmp",
                            "rectified-aux-flat-proj-geo.bmp", "rectified-aux-L_Flat_Geo.bmp"}) {
    EXPECT_GT(m.size_of(image), 1280u * 900u * 3u) << image;
  }
  // Detected, paired, centred and projected key points: each list has the
  // header "1 ", then its count, then one value per line.
  for (const char* list : {"ref_kp_y.txt", "aux_kp_Zw.txt", "ref_kp_Xw_m.txt", "aux_kp_ym.txt",
                           "ref_flat_kp_ym.txt", "aux_flat_kp_Xwm.txt", "aux_flat_kp_Y_L.txt",
                           "aux_flat_kp_ymg.txt", "ref_flat_kp_xmg.txt",
                           "aux_kp_yf_l_chart.txt"}) {
    const std::string text = read_file(m.file(list));
    ASSERT_EQ(text.rfind("1 \n", 0), 0u) << list;
    const long count = std::stol(text.substr(3));
    EXPECT_GT(count, 20) << list;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), count + 2) << list;
  }
}

}  // namespace
}  // namespace zorvel::test
