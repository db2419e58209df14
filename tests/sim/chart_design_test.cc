// Every preset's charts respect what the detector needs of a chart, checked
// on the true corner positions: pitch, candidate counts, the L chart's fold
// pitch and row slopes, and where the origin lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sim/bundle.h"
#include "sim/presets.h"
#include "sim/truth.h"

namespace zorvel::sim {
namespace {

struct image_corner {
  double row, col;
  bool origin;
};

// Corners of one camera, in the raster order in which the detector lists
// candidates, restricted to its candidate region.
std::vector<image_corner> candidates(const std::vector<corner_truth>& truth, const camera_view& v,
                                     bool aux, bool l_chart) {
  const double margin_rows = l_chart ? 100 : 10, margin_cols = l_chart ? 100 : 10;
  std::vector<image_corner> out;
  for (const corner_truth& t : truth) {
    const double r = aux ? t.aux_row : t.main_row, c = aux ? t.aux_col : t.main_col;
    if (r < margin_rows || r > v.working_height - margin_rows || c < margin_cols ||
        c > v.working_width - margin_cols)
      continue;
    out.push_back({r, c, t.labelled && t.yw == 0 && t.xw == 0 && t.zw == 0});
  }
  std::sort(out.begin(), out.end(), [](const image_corner& a, const image_corner& b) {
    return std::lround(a.row) != std::lround(b.row) ? a.row < b.row : a.col < b.col;
  });
  return out;
}

void check_chart(const std::string& preset, const std::vector<corner_truth>& truth, const camera_view& v,
                 bool aux, bool l_chart) {
  SCOPED_TRACE(preset + (l_chart ? " L" : " flat") + (aux ? " aux" : " main"));
  const auto list = candidates(truth, v, aux, l_chart);
  EXPECT_LT(list.size(), l_chart ? 500u : 1200u);
  // The origin carries the marker: inside the marker search region and, for
  // mono sensors, in the middle half of the candidate list.
  const auto it = std::find_if(list.begin(), list.end(), [](const image_corner& c) { return c.origin; });
  ASSERT_NE(it, list.end());
  EXPECT_GE(it->row, 150);
  EXPECT_LE(it->row, v.working_height - 151);
  EXPECT_GE(it->col, 200);
  EXPECT_LE(it->col, v.working_width - 201);
  const size_t q = list.size() / 4, index = static_cast<size_t>(it - list.begin());
  EXPECT_GE(index, q);
  EXPECT_LT(index, 3 * q);
  // Neighbouring corners: pitch at least 20 pixels; on the L chart the rows
  // slope by less than 0.3 and the fold column's vertical pitch exceeds 31.
  for (size_t a = 0; a < truth.size(); ++a) {
    for (size_t b = a + 1; b < truth.size(); ++b) {
      const corner_truth &p = truth[a], &n = truth[b];
      const double dr = (aux ? n.aux_row - p.aux_row : n.main_row - p.main_row);
      const double dc = (aux ? n.aux_col - p.aux_col : n.main_col - p.main_col);
      const bool same_row = p.yw == n.yw && b == a + 1;
      const bool same_col = n.yw == p.yw + 1 && p.xw == n.xw && p.zw == n.zw && p.labelled == n.labelled;
      if (!same_row && !same_col) continue;
      EXPECT_GE(std::hypot(dr, dc), 20.0);
      if (same_row && l_chart) {
        EXPECT_LT(std::fabs(dr / dc), 0.3);
      }
      if (same_col && l_chart && !p.labelled) {
        EXPECT_GT(dr, 31.0);
      }
    }
  }
}

TEST(ChartDesign, EveryPresetSuitsTheDetector) {
  for (const std::string& name : preset_names()) {
    scenario s;
    ASSERT_TRUE(make_scenario(name, &s));
    const scene_views v = make_views(s);
    const truth_charts t = scenario_truth(s);
    check_chart(name, t.l_chart, v.main_l, false, true);
    check_chart(name, t.l_chart, v.aux_l, true, true);
    check_chart(name, t.flat_chart, v.main_flat, false, false);
    check_chart(name, t.flat_chart, v.aux_flat, true, false);
    check_chart(name, t.verify_chart, v.main_verify, false, false);
    check_chart(name, t.verify_chart, v.aux_verify, true, false);
  }
}

TEST(ChartDesign, LChartLabelsFollowTheFold) {
  scenario s;
  ASSERT_TRUE(make_scenario("good", &s));
  const chart c = make_l_chart(s.l_chart);
  int fold = 0;
  for (const chart_corner& k : chart_corners(c)) {
    if (k.col < c.fold_col) {
      EXPECT_EQ(k.xw, k.col);
      EXPECT_EQ(k.zw, 0);
    } else if (k.col == c.fold_col) {
      EXPECT_FALSE(k.labelled);
      ++fold;
    } else {
      // The first column right of the fold is the second origin: Xw = Zw = 1.
      EXPECT_EQ(k.xw, k.col - c.fold_col);
      EXPECT_EQ(k.zw, k.xw);
    }
  }
  EXPECT_EQ(fold, s.l_chart.row_max - s.l_chart.row_min - 1);
  // The fold is the farthest line of the V.
  EXPECT_GT(board_point(c.boards[0], c.fold_col * c.square_mm, 0)[2],
            board_point(c.boards[0], c.col_min * c.square_mm, 0)[2]);
  EXPECT_GT(board_point(c.boards[1], c.fold_col * c.square_mm, 0)[2],
            board_point(c.boards[1], c.col_max * c.square_mm, 0)[2]);
}

}  // namespace
}  // namespace zorvel::sim
