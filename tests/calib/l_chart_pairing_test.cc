// Pairing of L-chart key points on three labels and the field-of-view window.
#include "calib/l_chart_pairing.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace zorvel {
namespace {

void put(zorvel_key_points& s, int32_t i, int32_t y, int32_t x, int32_t yw, int32_t xw,
         int32_t zw) {
  s.y[i] = y;
  s.x[i] = x;
  s.Yw[i] = yw;
  s.Xw[i] = xw;
  s.Zw[i] = zw;
}

TEST(PairLChartPoints, AllThreeLabelsInAuxOrder) {
  zorvel_key_points main(8), aux(8);
  put(main, 0, 10, 11, 0, 0, 0);
  put(main, 1, 20, 21, 1, 1, 1);
  put(main, 2, 30, 31, 1, 1, 0);  // same Yw, Xw as entry 1, other depth
  put(main, 3, 40, 41, 1, 1, 1);  // duplicate of entry 1
  put(aux, 0, 100, 101, 1, 1, 1);
  put(aux, 1, 200, 201, 5, 5, 5);  // no partner
  put(aux, 2, 300, 301, 0, 0, 0);
  EXPECT_EQ(pair_l_chart_points(main, aux, 4, 3), 3);
  // Aux entry 0 pairs with both main points of labels (1, 1, 1), then aux entry 2.
  EXPECT_EQ(main.y[0], 20);
  EXPECT_EQ(main.y[1], 40);
  EXPECT_EQ(main.y[2], 10);
  EXPECT_EQ(aux.y[0], 100);
  EXPECT_EQ(aux.y[1], 100);
  EXPECT_EQ(aux.x[2], 301);
  EXPECT_EQ(aux.Zw[2], 0);
}

TEST(PairLChartPoints, NeverWritesPastTheSets) {
  zorvel_key_points main(3), aux(3);
  for (int32_t i = 0; i < 3; ++i) {
    put(main, i, i, i, 0, 0, 0);
    put(aux, i, i, i, 0, 0, 0);
  }
  EXPECT_EQ(pair_l_chart_points(main, aux, 3, 3), 3);  // 9 matches, room for 3
}

struct fov_case {
  zorvel_key_points main{16}, aux{16};
  int32_t n = 0;
  void add(int32_t y, int32_t x) {
    put(main, n, y, x, 0, n, 0);
    put(aux, n, y + 1, x + 1, 0, n, 0);
    ++n;
  }
};

TEST(FilterPointsByFov, TargetOutsideTheRangeFallsBackTo40) {
  for (const double target : {24.0, 66.0}) {
    fov_case c;
    c.add(480, 640);
    const std::string printed = test::capture_stdout([&] {
      filter_points_by_fov(c.main, c.aux, c.n, 960, 1280, 60.0, 45.0, target);
    });
    EXPECT_EQ(printed,
              "\n FOV Target is 40.000000\n The FOV is 40.000000 width and height is 1280 960");
  }
  for (const double target : {25.0, 65.0}) {
    fov_case c;
    const std::string printed = test::capture_stdout([&] {
      filter_points_by_fov(c.main, c.aux, c.n, 960, 1280, 60.0, 45.0, target);
    });
    EXPECT_EQ(printed.substr(0, 25), target == 25.0 ? "\n FOV Target is 25.000000"
                                                    : "\n FOV Target is 65.000000");
  }
}

TEST(FilterPointsByFov, StrictWindowKeepsOrderAndLabels) {
  fov_case c;
  c.add(480, 0);     // column 0: |x - 640| = 640, dropped
  c.add(1, 1);       // inside
  c.add(959, 1279);  // inside
  c.add(0, 640);     // row 0: dropped
  c.add(480, 640);   // inside
  int32_t kept = 0;
  test::capture_stdout([&] {
    // Fields of view equal to the target: the window is the whole image.
    kept = filter_points_by_fov(c.main, c.aux, c.n, 960, 1280, 40.0, 40.0, 40.0);
  });
  ASSERT_EQ(kept, 3);
  EXPECT_EQ(c.main.x[0], 1);
  EXPECT_EQ(c.main.x[1], 1279);
  EXPECT_EQ(c.main.x[2], 640);
  EXPECT_EQ(c.aux.x[2], 641);
  EXPECT_EQ(c.aux.Xw[1], 2);
}

TEST(FilterPointsByFov, NarrowerTargetShrinksTheWindow) {
  fov_case c;
  c.add(480, 640 + 300);
  c.add(480, 640 + 200);
  int32_t kept = 0;
  test::capture_stdout([&] {
    // A 40-degree target in a 70-degree camera: trunc(665.42) / 2 = 332.
    kept = filter_points_by_fov(c.main, c.aux, c.n, 960, 1280, 70.0, 70.0, 40.0);
  });
  EXPECT_EQ(kept, 2);
  c = fov_case{};
  c.add(480, 640 + 333);
  c.add(480, 640 + 331);
  test::capture_stdout([&] {
    kept = filter_points_by_fov(c.main, c.aux, c.n, 960, 1280, 70.0, 70.0, 40.0);
  });
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(c.main.x[0], 640 + 331);
}

}  // namespace
}  // namespace zorvel
