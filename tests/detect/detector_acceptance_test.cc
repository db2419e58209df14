// Full-size drawn charts at working resolution, both orientations, colour and
// mono: every corner the scans cover is found once with the right labels.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "detect/keypoints.h"
#include "drawn_chart.h"
#include "label_check.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

const drawn_corner* corner_at(const drawn_chart& chart, int32_t y, int32_t x) {
  for (const auto& c : chart.corners) {
    if (std::hypot(c.row - y, c.col - x) <= kCornerTolerancePx) return &c;
  }
  return nullptr;
}

const drawn_corner* corner_by_grid(const drawn_chart& chart, int32_t gr, int32_t gc) {
  for (const auto& c : chart.corners) {
    if (c.grid_row == gr && c.grid_col == gc) return &c;
  }
  return nullptr;
}

// Runs one detector and checks the set. margin is the distance from the
// image edge below which window centres and scans do not reach.
void detect_and_check(drawn_chart chart, bool l_chart, bool mono) {
  zorvel_key_points set(kKeyPointCapacity);
  int result = 0;
  const std::string printed = capture_stdout([&] {
    result = l_chart ? detect_l_chart_keypoints(chart.r.data(), chart.g.data(), chart.b.data(),
                                                chart.height, chart.width, set, mono)
                     : detect_flat_chart_keypoints(chart.r.data(), chart.g.data(),
                                                   chart.b.data(), chart.height, chart.width,
                                                   set, mono);
  });
  ASSERT_GT(result, 10) << printed;
  const drawn_corner* origin = corner_at(chart, set.y[0], set.x[0]);
  ASSERT_NE(origin, nullptr);
  if (!mono) {
    EXPECT_EQ(origin->grid_row, 0);  // the green mark
    EXPECT_EQ(origin->grid_col, 0);
  }
  const int32_t o_row = origin->grid_row, o_col = origin->grid_col;
  const int32_t H = chart.height, W = chart.width;
  const int32_t edge = l_chart ? 110 : 20;  // window centres start 100 / 10 from the edge
  auto in_region = [&](const drawn_corner& c) {
    if (c.row < edge || c.row > H - 1 - edge || c.col < edge || c.col > W - 1 - edge)
      return false;
    if (c.col < 56 || c.col > W - 56) return false;  // horizontal scans: 51 ... W - 51
    // Its row is reached only through the corner on the traced vertical line.
    const int32_t line_col = (l_chart && c.grid_col > o_col) ? o_col + 2 : o_col;
    const drawn_corner* on_line = corner_by_grid(chart, c.grid_row, line_col);
    return on_line != nullptr && on_line->row >= 55 && on_line->row <= H - 56 &&
           on_line->row >= edge && on_line->row <= H - 1 - edge;
  };
  // The last appended entry is stored but not counted: check all of them.
  const auto labels = l_chart ? l_chart_labels(o_row, o_col) : flat_labels(o_row, o_col);
  check_labelled_set(set, result + 1, chart.corners, labels, in_region, l_chart);
}

board_layout layout_for(int32_t height, int32_t width, double angle) {
  board_layout layout;
  layout.height = height;
  layout.width = width;
  layout.origin_row = height / 2 + 0.3;
  layout.origin_col = width / 2 - 0.4;
  layout.square_px = 62.0;
  layout.angle_deg = angle;
  return layout;
}

TEST(DetectorAcceptance, FlatChartBothOrientations) {
  detect_and_check(draw_board(layout_for(960, 1280, 1.5)), false, false);
  detect_and_check(draw_board(layout_for(1280, 960, -2.0)), false, false);
}

TEST(DetectorAcceptance, FlatChartMono) {
  board_layout layout = layout_for(960, 1280, -1.0);
  layout.mono = true;
  detect_and_check(draw_board(layout), false, true);
}

TEST(DetectorAcceptance, LChartColourAndMono) {
  board_layout layout = layout_for(960, 1280, 2.0);
  layout.origin_col = 560.3;
  detect_and_check(draw_board(layout), true, false);
  layout.mono = true;
  layout.angle_deg = -1.0;
  detect_and_check(draw_board(layout), true, true);
}

}  // namespace
}  // namespace zorvel::test
