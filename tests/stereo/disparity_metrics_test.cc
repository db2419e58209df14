// Disparity statistics, percentile rules, zones and scale differences on
// small hand-made grids of matched points.
#include "stereo/disparity_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "numerics/checked_convert.h"
#include "stereo/scale_difference.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

// A 13 x 9 grid of centred main points 60 px apart, labels (Yw, Xw).
struct grid {
  zorvel_chart_pair main_pair, aux_pair;
  std::vector<double> rows, cols;  // aux points mapped into the main frame
  int32_t n = 0;
};

grid make_grid() {
  grid g;
  g.main_pair.main_width = g.main_pair.aux_width = 1280;
  g.main_pair.main_height = g.main_pair.aux_height = 960;
  g.main_pair.main_points = zorvel_key_points(200);
  g.aux_pair.aux_points = zorvel_key_points(200);
  for (int32_t yw = -4; yw <= 4; ++yw) {
    for (int32_t xw = -6; xw <= 6; ++xw) {
      for (zorvel_key_points* s : {&g.main_pair.main_points, &g.aux_pair.aux_points}) {
        s->y[g.n] = yw * 60;
        s->x[g.n] = xw * 60;
        s->Yw[g.n] = yw;
        s->Xw[g.n] = xw;
      }
      g.rows.push_back(yw * 60);
      g.cols.push_back(xw * 60);
      ++g.n;
    }
  }
  return g;
}

struct metric_case {
  zorvel_metric_settings settings{50, 90};
  zorvel_disparity_metrics m;
};

std::string run_metrics(grid& g, metric_case& c) {
  return test::capture_stdout([&] {
    c.m = disparity_metrics(g.main_pair, g.aux_pair, g.rows.data(), g.cols.data(), g.n,
                            c.settings);
  });
}

TEST(CheckedConvert, TruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(coordinate_from(12.7), 12);
  EXPECT_EQ(coordinate_from(-12.7), -12);
  EXPECT_EQ(coordinate_from(1e9), 32767);
  EXPECT_EQ(coordinate_from(-1e9), -32768);
  EXPECT_EQ(coordinate_from(std::nan("")), 0);
  EXPECT_EQ(tenths_byte(2.54), 25);
  EXPECT_EQ(tenths_byte(25.49), 254);
  EXPECT_EQ(tenths_byte(25.5), 255);
  EXPECT_EQ(tenths_byte(30.0), 255);
  EXPECT_EQ(tenths_byte(std::nan("")), 255);  // a broken metric never reads 0.00
  EXPECT_EQ(zoned_tenths(-30.0), -30);
  EXPECT_EQ(zoned_tenths(126.9), 126);
  EXPECT_EQ(zoned_tenths(-127.0), 127);
  EXPECT_EQ(zoned_tenths(std::nan("")), 127);
}

TEST(PercentileIndex, FloorOfTheSinglePrecisionProduct) {
  EXPECT_EQ(percentile_index(0.95f, 10), 9);
  EXPECT_EQ(percentile_index(0.05f, 10), 0);
  EXPECT_EQ(percentile_index(1.0f, 10), 9);   // k = m is pulled back to m - 1
  EXPECT_EQ(percentile_index(0.8f, 5), 4);    // 0.8f * 5 = 4.0000001 -> 4
  EXPECT_EQ(percentile_index(-0.5f, 10), 9);  // negative k wraps modulo 65536
}

TEST(DisparityMetrics, IdenticalPointsGiveZeros) {
  grid g = make_grid();
  metric_case c;
  const std::string printed = run_metrics(g, c);
  EXPECT_EQ(c.m.max_hd_delta, 0.0f);
  EXPECT_EQ(c.m.vd_delta, 0.0f);
  EXPECT_EQ(c.m.hd_stdev, 0.0f);
  EXPECT_EQ(c.m.mean_disparity, 0.0f);
  EXPECT_EQ(c.m.vd_p95_tenths + c.m.hd_p95_tenths + c.m.hd_spread_tenths + c.m.vd_percentile_metric +
                c.m.hd_percentile_metric,
            0);
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(c.m.vd_rms_zoned[k], 0);
    EXPECT_EQ(c.m.hd_rms_zoned[k], 0);
  }
  EXPECT_NE(printed.find("\n Scale Error confined is = 0.000000\n Scale Error confined END \n"),
            std::string::npos)
      << printed;
}

TEST(DisparityMetrics, PercentilesSpreadAndSaturation) {
  grid g = make_grid();
  // Horizontal disparity 0.4 px everywhere but one point at 30 px.
  for (int32_t i = 0; i < g.n; ++i) g.cols[i] += i % 10 == 0 ? 0.0 : 0.4;
  for (int32_t i = g.n - 8; i < g.n; ++i) g.cols[i] += 30.0;
  metric_case c;
  run_metrics(g, c);
  // 117 points: 0.95 * 117 -> index 111 of the sorted relative HD (30.4 px).
  EXPECT_EQ(c.m.hd_p95_tenths, 255);
  EXPECT_EQ(c.m.hd_spread_tenths, 255 - 0);  // the 5 % value is a 0.0 point
  EXPECT_FLOAT_EQ(c.m.max_hd_delta, 30.4f);
  EXPECT_FLOAT_EQ(c.m.mean_disparity,
                  static_cast<float>((0.4 * 22) / 25));  // 3 of the 25 centre points are 0
}

TEST(DisparityMetrics, FieldOfViewSelectsTheCentralWindow) {
  grid g = make_grid();
  // p_fov 50 on 1280 x 960: -320 < x < 320 and -240 < y < 240. Points on or
  // beyond the bounds (the rows y = +-240 among them) carry a vertical
  // disparity of 5 px.
  for (int32_t i = 0; i < g.n; ++i) {
    const int32_t x = g.main_pair.main_points.x[i], y = g.main_pair.main_points.y[i];
    if (!(-320 < x && x < 320 && -240 < y && y < 240)) g.rows[i] += 5.0;
  }
  metric_case c;
  run_metrics(g, c);
  EXPECT_EQ(c.m.vd_percentile_metric, 0);
  EXPECT_EQ(c.m.vd_p95_tenths, 50);

  c.settings.percentage_fov_for_metric_calculation = 51;  // 244.8 -> 245: the rows y = +-240 join
  run_metrics(g, c);
  EXPECT_EQ(c.m.vd_percentile_metric, 50);
}

TEST(DisparityMetrics, EmptyFieldOfViewWarnsAndFails) {
  grid g = make_grid();
  for (int32_t i = 0; i < g.n; ++i) {
    g.main_pair.main_points.x[i] += 2000;  // every point outside any window
  }
  metric_case c;
  const std::string printed = run_metrics(g, c);
  EXPECT_NE(printed.find("Warning: no key points inside the metric field of view\n"),
            std::string::npos);
  EXPECT_EQ(c.m.vd_percentile_metric, 255);
  EXPECT_EQ(c.m.hd_percentile_metric, 255);
}

TEST(DisparityMetrics, ZonesAgainstTheCentreMean) {
  grid g = make_grid();
  for (int32_t i = 0; i < g.n; ++i) g.cols[i] += 3.0;
  metric_case c;
  run_metrics(g, c);
  EXPECT_FLOAT_EQ(c.m.mean_disparity, 3.0f);
  EXPECT_EQ(c.m.hd_rms_zoned[4], 0);  // 10 * (3 - 3)

  double vd[1] = {0.0}, hd[1] = {0.0};
  int32_t x[1] = {600}, y[1] = {0};  // absolute 1240: the right band
  double vz[9], hz[9];
  zone_rms(vd, hd, x, y, 1, 1280, 960, vz, hz);
  EXPECT_EQ(hz[0], 0.0);  // an empty zone gives 0 ...
  EXPECT_EQ(zoned_tenths(10.0 * (hz[0] - 3.0)), -30);  // ... which reads -30 against a mean of 3

  // No centre point: the mean is 100000 and every zone saturates at 127.
  for (int32_t i = 0; i < g.n; ++i) g.main_pair.main_points.Xw[i] += 10;
  const std::string printed = run_metrics(g, c);
  EXPECT_NE(printed.find("\n No KEY POINTS Matching"), std::string::npos);
  EXPECT_EQ(c.m.mean_disparity, 100000.0f);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(c.m.hd_rms_zoned[k], 127);
}

TEST(ZoneRms, BandsAreHalfOpenAndColumnMajor) {
  // W = 1280: edges 0, 426, 852, 1278 after shifting by 640.
  const double vd[4] = {1.0, 2.0, 3.0, 4.0};
  const double hd[4] = {0.0, 0.0, 0.0, 0.0};
  const int32_t x[4] = {-640, 637, 638, 0};  // absolute 0, 1277, 1278 (no zone), 640
  const int32_t y[4] = {-480, 479, 0, 0};    // absolute 0, 959, 480, 480
  double vz[9], hz[9];
  zone_rms(vd, hd, x, y, 4, 1280, 960, vz, hz);
  EXPECT_EQ(vz[0], 1.0);           // left, top
  EXPECT_EQ(vz[3 * 2 + 2], 2.0);   // right band, bottom band
  EXPECT_EQ(vz[3 * 1 + 1], 4.0);   // middle
  double sum = 0.0;
  for (double v : vz) sum += v;
  EXPECT_EQ(sum, 7.0);  // the point at 1278 is in no zone
}

zorvel_key_points column_set(const std::vector<std::vector<int32_t>>& column_rows,
                             const std::vector<int32_t>& column_x, int32_t& n) {
  zorvel_key_points s(100);
  n = 0;
  for (size_t c = 0; c < column_rows.size(); ++c) {
    for (int32_t row : column_rows[c]) {
      s.y[n] = row;
      s.x[n] = column_x[c];
      s.Xw[n] = static_cast<int32_t>(c) - 1;
      ++n;
    }
  }
  return s;
}

TEST(ScaleDifference, ColumnsNeedMoreThanTheMinimumPoints) {
  int32_t n = 0;
  // Column -1: 5 points spanning 100 px; column 0: 4 points; column 1: 3 points.
  const zorvel_key_points s =
      column_set({{0, 25, 50, 75, 100}, {0, 10, 20, 30}, {5, 6, 7}}, {0, 50, 90}, n);
  std::vector<double> lengths;
  EXPECT_EQ(grid_column_lengths(s, n, lengths, 4), 1);
  EXPECT_EQ(lengths[0], 100.0);
  lengths.clear();
  EXPECT_EQ(grid_column_lengths(s, n, lengths, 2), 3);  // the confined rule takes 3 points
  EXPECT_EQ(lengths[1], 30.0);
  EXPECT_EQ(lengths[2], 2.0);
}

TEST(ScaleDifference, ComparesColumnsByIndex) {
  int32_t n = 0;
  const zorvel_key_points main =
      column_set({{0, 10, 20, 30, 100}, {0, 50, 60, 70, 200}}, {0, 40}, n);
  const zorvel_key_points aux =
      column_set({{0, 10, 20, 30, 101}, {0, 50, 60, 70, 198}}, {3, 43}, n);
  EXPECT_NEAR(scale_difference(main, aux, n, 4).percent, 1.0, 1e-12);

  // No qualifying aux column: NaN, so the row that shows it fails.
  const zorvel_scale_difference none = scale_difference(main, aux, n, 5);
  EXPECT_EQ(none.aux_columns, 0);
  EXPECT_TRUE(std::isnan(none.percent));

  // An aux column without a main counterpart cannot pass either.
  int32_t n3 = 0;
  const zorvel_key_points aux3 = column_set(
      {{0, 10, 20, 30, 101}, {0, 50, 60, 70, 198}, {0, 1, 2, 3, 50}}, {3, 43, 80}, n3);
  int32_t n_main3 = 0;
  zorvel_key_points main3 = column_set(
      {{0, 10, 20, 30, 100}, {0, 50, 60, 70, 200}, {0, 1, 2, 3, 9}}, {0, 40, 80}, n_main3);
  main3.Xw[14] = 7;  // the main side's third column keeps only four points
  EXPECT_TRUE(std::isinf(scale_difference(main3, aux3, n3, 4).percent));
}

}  // namespace
}  // namespace zorvel
