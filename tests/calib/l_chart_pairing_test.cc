// Pairing of L-chart key points on three labels and the field-of-view window.
#include "calib/l_chart_pairing.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace zorvel {
namespace {

// One point per entry: y, x, Yw, Xw, Zw.
zorvel_key_points points(const std::vector<std::array<int32_t, 5>>& entries, size_t capacity = 16) {
  zorvel_key_points s(capacity);
  for (size_t i = 0; i < entries.size(); ++i) {
    s.y[i] = entries[i][0], s.x[i] = entries[i][1], s.Yw[i] = entries[i][2];
    s.Xw[i] = entries[i][3], s.Zw[i] = entries[i][4];
  }
  return s;
}

TEST(PairLChartPoints, AllThreeLabelsInAuxOrderWithinTheSets) {
  // Main entry 2 differs from 1 in depth only; entry 3 duplicates entry 1.
  zorvel_key_points main = points({{10, 11, 0, 0, 0}, {20, 21, 1, 1, 1}, {30, 31, 1, 1, 0}, {40, 41, 1, 1, 1}});
  zorvel_key_points aux = points({{100, 101, 1, 1, 1}, {200, 201, 5, 5, 5}, {300, 301, 0, 0, 0}});
  EXPECT_EQ(pair_l_chart_points(main, aux, 4, 3), 3);
  // Aux entry 0 pairs with both main points of labels (1, 1, 1), then aux entry 2.
  EXPECT_EQ(std::vector<int32_t>({main.y[0], main.y[1], main.y[2], aux.y[0], aux.y[1], aux.x[2], aux.Zw[2]}),
            std::vector<int32_t>({20, 40, 10, 100, 100, 301, 0}));
  // 9 matches, room for 3.
  main = points({{0, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {2, 2, 0, 0, 0}}, 3);
  aux = main;
  EXPECT_EQ(pair_l_chart_points(main, aux, 3, 3), 3);
}

// Filters n points of 960 x 1280 images; printed gets what the filter printed.
int32_t filter(zorvel_key_points& main, zorvel_key_points& aux, int32_t n, double fov_deg, double target_deg,
               std::string& printed) {
  int32_t kept = 0;
  printed = test::capture_stdout(
      [&] { kept = filter_points_by_fov(main, aux, n, 960, 1280, fov_deg, fov_deg, target_deg); });
  return kept;
}

TEST(FilterPointsByFov, StrictWindowOfTheTargetFieldOfView) {
  // Fields of view equal to the target: the window is the whole image. Column
  // 0 and row 0 lie on its edge.
  zorvel_key_points main = points({{480, 0, 0, 0, 0}, {1, 1, 0, 1, 0}, {959, 1279, 0, 2, 0}, {0, 640, 0, 3, 0},
                                   {480, 640, 0, 4, 0}});
  zorvel_key_points aux = main;
  for (int32_t i = 0; i < 5; ++i) ++aux.x[i];
  std::string printed;
  ASSERT_EQ(filter(main, aux, 5, 40.0, 40.0, printed), 3);
  EXPECT_EQ(std::vector<int32_t>({main.x[0], main.x[1], main.x[2], aux.x[2], aux.Xw[1]}),
            std::vector<int32_t>({1, 1279, 640, 641, 2}));
  // A 40-degree target in a 70-degree camera: trunc(665.42) / 2 = 332.
  main = aux = points({{480, 940, 0, 0, 0}, {480, 840, 0, 1, 0}, {480, 973, 0, 2, 0}, {480, 971, 0, 3, 0}});
  EXPECT_EQ(filter(main, aux, 4, 70.0, 40.0, printed), 3);
  EXPECT_EQ(main.x[2], 971);
  // Targets outside 25 ... 65 degrees fall back to 40.
  for (const auto& [target, used] : {std::pair{24.0, "40"}, {66.0, "40"}, {25.0, "25"}, {65.0, "65"}}) {
    filter(main, aux, 0, 60.0, target, printed);
    EXPECT_EQ(printed, std::string("\n FOV Target is ") + used + ".000000\n The FOV is " + used +
                           ".000000 width and height is 1280 960");
  }
}

}  // namespace
}  // namespace zorvel
