// Disparity statistics, percentile rules, zones and scale differences on
// small hand-made grids of matched points.
#include "stereo/disparity_metrics.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "numerics/checked_convert.h"
#include "stereo/scale_difference.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

// A 13 x 9 grid of centred main points 60 px apart on a 1280 x 960 pair,
// labels (Yw, Xw); the aux points mapped into the main frame start on them.
struct grid {
  zorvel_chart_pair main_pair, aux_pair;
  std::vector<double> rows, cols;
  int32_t n = 0;
  zorvel_metric_settings settings{50, 90};
  zorvel_disparity_metrics m;
  grid() {
    main_pair.main_width = main_pair.aux_width = 1280;
    main_pair.main_height = main_pair.aux_height = 960;
    main_pair.main_points = aux_pair.aux_points = zorvel_key_points(200);
    for (int32_t yw = -4; yw <= 4; ++yw) {
      for (int32_t xw = -6; xw <= 6; ++xw, ++n) {
        for (zorvel_key_points* s : {&main_pair.main_points, &aux_pair.aux_points}) {
          s->y[n] = yw * 60, s->x[n] = xw * 60, s->Yw[n] = yw, s->Xw[n] = xw;
        }
        rows.push_back(yw * 60);
        cols.push_back(xw * 60);
      }
    }
  }
  std::string measure() {
    return test::capture_stdout(
        [&] { m = disparity_metrics(main_pair, aux_pair, rows.data(), cols.data(), n, settings); });
  }
};

TEST(CheckedConvert, TruncatesTowardZeroAndSaturates) {
  const double nan = std::nan("");
  EXPECT_EQ((std::array{coordinate_from(12.7), coordinate_from(-12.7), coordinate_from(1e9),
                        coordinate_from(-1e9), coordinate_from(nan)}),
            (std::array{12, -12, 32767, -32768, 0}));
  // A broken metric never reads 0.00: NaN saturates.
  EXPECT_EQ((std::array{tenths_byte(2.54), tenths_byte(25.49), tenths_byte(25.5), tenths_byte(nan)}),
            (std::array<uint8_t, 4>{25, 254, 255, 255}));
  EXPECT_EQ((std::array{zoned_tenths(-30.0), zoned_tenths(126.9), zoned_tenths(-127.0), zoned_tenths(nan)}),
            (std::array<int8_t, 4>{-30, 126, 127, 127}));
}

TEST(PercentileIndex, FloorOfTheSinglePrecisionProduct) {
  // 0.8f * 5 = 4.0000001 -> 4; k = m is pulled back to m - 1; negative k wraps modulo 65536.
  for (const auto& [f, m, k] : {std::tuple{0.95f, 10, 9}, {0.05f, 10, 0}, {0.58f, 10, 5}, {1.0f, 10, 9},
                                {0.8f, 5, 4}, {-0.5f, 10, 9}}) {
    EXPECT_EQ(percentile_index(f, m), k) << f << " of " << m;
  }
}

TEST(DisparityMetrics, IdenticalPointsGiveZeros) {
  grid g;
  EXPECT_NE(g.measure().find("\n Scale Error confined is = 0.000000\n Scale Error confined END \n"), std::string::npos);
  EXPECT_EQ((std::array{g.m.max_hd_delta, g.m.vd_delta, g.m.hd_stdev, g.m.mean_disparity}), (std::array{0.f, 0.f, 0.f, 0.f}));
  EXPECT_EQ(g.m.vd_p95_tenths + g.m.hd_p95_tenths + g.m.hd_spread_tenths + g.m.vd_percentile_metric +
                g.m.hd_percentile_metric + g.m.vd_rms_zoned[3] + g.m.hd_rms_zoned[5], 0);
}

TEST(DisparityMetrics, PercentilesSpreadAndSaturation) {
  grid g;
  // Horizontal disparity 0.4 px everywhere but on every tenth point (0), and 30 px more on the last 8.
  for (int32_t i = 0; i < g.n; ++i) g.cols[i] += (i % 10 == 0 ? 0.0 : 0.4) + (i >= g.n - 8 ? 30.0 : 0.0);
  g.measure();
  // 117 points: 0.95 * 117 -> index 111 of the sorted relative HD (30.4 px).
  EXPECT_EQ(g.m.hd_p95_tenths, 255);
  EXPECT_EQ(g.m.hd_spread_tenths, 255 - 0);  // the 5 % value is a 0.0 point
  EXPECT_FLOAT_EQ(g.m.max_hd_delta, 30.4f);
  // The 25 points of the 5 x 5 centre, 3 of them at 0.
  EXPECT_FLOAT_EQ(g.m.mean_disparity, static_cast<float>((0.4 * 22) / 25));
}

TEST(DisparityMetrics, FieldOfViewSelectsTheCentralWindow) {
  grid g;
  // p_fov 50 on 1280 x 960: -320 < x < 320 and -240 < y < 240. Points on or
  // beyond the bounds (the rows y = +-240 among them) carry 5 px of VD.
  for (int32_t i = 0; i < g.n; ++i) {
    const int32_t x = g.main_pair.main_points.x[i], y = g.main_pair.main_points.y[i];
    if (!(-320 < x && x < 320 && -240 < y && y < 240)) g.rows[i] += 5.0;
  }
  g.measure();
  EXPECT_EQ(g.m.vd_percentile_metric, 0);
  EXPECT_EQ(g.m.vd_p95_tenths, 50);
  g.settings.percentage_fov_for_metric_calculation = 51;  // 244.8 -> 245: the rows y = +-240 join
  g.measure();
  EXPECT_EQ(g.m.vd_percentile_metric, 50);
  // No point inside any window: a warning and saturated metrics.
  for (int32_t i = 0; i < g.n; ++i) g.main_pair.main_points.x[i] += 2000;
  EXPECT_NE(g.measure().find(kNoPointsInMetricFov), std::string::npos);
  EXPECT_EQ(g.m.vd_percentile_metric + g.m.hd_percentile_metric, 2 * 255);
}

TEST(DisparityMetrics, ZonesAgainstTheCentreMean) {
  grid g;
  for (int32_t i = 0; i < g.n; ++i) g.cols[i] += 3.0;
  g.measure();
  EXPECT_FLOAT_EQ(g.m.mean_disparity, 3.0f);
  EXPECT_EQ(g.m.hd_rms_zoned[4], 0);  // 10 * (3 - 3)
  // No centre point: the mean is 100000 and every zone saturates at 127.
  for (int32_t i = 0; i < g.n; ++i) g.main_pair.main_points.Xw[i] += 10;
  EXPECT_NE(g.measure().find("\n No KEY POINTS Matching"), std::string::npos);
  EXPECT_EQ(g.m.mean_disparity, 100000.0f);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(g.m.hd_rms_zoned[k], 127);
}

TEST(ZoneRms, BandsAreHalfOpenAndColumnMajor) {
  // W = 1280: edges 0, 426, 852, 1278 after shifting by 640; H = 960: 0, 320, 640, 960.
  const double vd[4] = {1.0, 2.0, 3.0, 4.0}, hd[4] = {0.5, 0.0, 0.0, 0.0};
  const int32_t x[4] = {-640, 637, 638, 0};  // absolute 0, 1277, 1278 (no zone), 640
  const int32_t y[4] = {479, -480, 0, 0};    // absolute 959, 0, 480, 480
  double vz[9], hz[9];
  zone_rms(vd, hd, x, y, 4, 1280, 960, vz, hz);
  // Zone 3 x column band + row band: left bottom, right top, middle; the rest empty (0).
  EXPECT_EQ((std::vector<double>(vz, vz + 9)), (std::vector<double>{0, 0, 1, 0, 4, 0, 2, 0, 0}));
  EXPECT_EQ(hz[2], 0.5);
}

zorvel_key_points column_set(const std::vector<std::vector<int32_t>>& column_rows,
                             const std::vector<int32_t>& column_x, int32_t& n) {
  zorvel_key_points s(100);
  n = 0;
  for (size_t c = 0; c < column_rows.size(); ++c) {
    for (int32_t row : column_rows[c]) s.y[n] = row, s.x[n] = column_x[c], s.Xw[n++] = static_cast<int32_t>(c) - 1;
  }
  return s;
}

TEST(ScaleDifference, ColumnsNeedMoreThanTheMinimumAndCompareByIndex) {
  int32_t n = 0;
  // Column -1: 5 points spanning 100 px; column 0: 4 points; column 1: 3 points.
  const zorvel_key_points s = column_set({{0, 25, 50, 75, 100}, {0, 10, 20, 30}, {5, 6, 7}}, {0, 50, 90}, n);
  std::vector<double> lengths;
  EXPECT_EQ(grid_column_lengths(s, n, lengths, 4), 1);
  EXPECT_EQ(grid_column_lengths(s, n, lengths, 2), 3);  // the confined rule takes 3 points
  EXPECT_EQ(lengths, (std::vector<double>{100, 100, 30, 2}));

  const zorvel_key_points main = column_set({{0, 10, 20, 30, 100}, {0, 50, 60, 70, 200}}, {0, 40}, n);
  const zorvel_key_points aux = column_set({{0, 10, 20, 30, 101}, {0, 50, 60, 70, 198}}, {3, 43}, n);
  EXPECT_NEAR(scale_difference(main, aux, n, 4).percent, 1.0, 1e-12);
  // No qualifying aux column: NaN, so the row that shows it fails.
  const zorvel_scale_difference none = scale_difference(main, aux, n, 5);
  EXPECT_EQ(none.aux_columns, 0);
  EXPECT_TRUE(std::isnan(none.percent));
  // An aux column without a main counterpart (the main side's third column
  // keeps only four points) cannot pass either.
  zorvel_key_points main3 = column_set({{0, 10, 20, 30, 100}, {0, 50, 60, 70, 200}, {0, 1, 2, 3, 9}}, {0, 40, 80}, n);
  const zorvel_key_points aux3 = column_set({{0, 10, 20, 30, 101}, {0, 50, 60, 70, 198}, {0, 1, 2, 3, 50}}, {3, 43, 80}, n);
  main3.Xw[14] = 7;
  EXPECT_TRUE(std::isinf(scale_difference(main3, aux3, n, 4).percent));
}

}  // namespace
}  // namespace zorvel
