// Corner ground truth and the reach of the detector's scans. The flat-chart
// scans cover rows 50 .. H-51 and columns 51 .. W-51; the L-chart detector
// keeps only candidates whose window centre lies in rows 100 .. H-99 and
// columns 100 .. W-100 (19 x 19 windows). Every scan leaves the origin's
// column line along a grid row, so a corner counts only when everything
// between it and that line counts too.
#include "sim/truth.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

namespace zorvel::sim {

const char* reach_name(reach r) {
  switch (r) {
    case reach::expected: return "expected";
    case reach::marginal: return "marginal";
    default: return "outside";
  }
}

namespace {

reach point_reach(const chart& c, const camera_view& v, double row, double col) {
  const double h = v.working_height, w = v.working_width;
  double r0, r1, c0, c1, band;
  if (c.l_chart) {
    r0 = 100;
    r1 = h - 99;
    c0 = 100;
    c1 = w - 100;
    band = 10;
  } else {
    r0 = 50;
    r1 = h - 51;
    c0 = 51;
    c1 = w - 51;
    band = 3;
  }
  if (row < r0 - band || row > r1 + band || col < c0 - band || col > c1 + band) return reach::outside;
  if (row < r0 + band || row > r1 - band || col < c0 + band || col > c1 - band) return reach::marginal;
  return reach::expected;
}

reach worse(reach a, reach b) { return static_cast<int32_t>(a) > static_cast<int32_t>(b) ? a : b; }

}  // namespace

std::vector<corner_truth> chart_truth(const chart& c, const camera_view& main,
                                      const camera_view& aux) {
  std::vector<corner_truth> out;
  for (const chart_corner& k : chart_corners(c)) {
    corner_truth t;
    t.yw = k.yw;
    t.xw = k.xw;
    t.zw = k.zw;
    t.labelled = k.labelled;
    t.world = k.world;
    project_working(main, k.world, &t.main_row, &t.main_col);
    project_working(aux, k.world, &t.aux_row, &t.aux_col);
    out.push_back(t);
  }
  classify_reach(c, main, out, false);
  classify_reach(c, aux, out, true);
  return out;
}

void classify_reach(const chart& c, const camera_view& v, std::vector<corner_truth>& corners,
                    bool aux) {
  // Per corner reach, then propagate along the scan paths: pattern row i,
  // pattern column j; the vertical line is column 0 (left half / flat) or
  // fold_col + 1 (right half).
  std::map<std::pair<int32_t, int32_t>, reach> own;
  std::map<std::pair<int32_t, int32_t>, size_t> index;
  const auto all = chart_corners(c);
  for (size_t n = 0; n < corners.size(); ++n) {
    const double row = aux ? corners[n].aux_row : corners[n].main_row;
    const double col = aux ? corners[n].aux_col : corners[n].main_col;
    own[{all[n].row, all[n].col}] = point_reach(c, v, row, col);
    index[{all[n].row, all[n].col}] = n;
  }
  auto get = [&](int32_t i, int32_t j) {
    const auto it = own.find({i, j});
    return it == own.end() ? reach::outside : it->second;
  };
  for (size_t n = 0; n < corners.size(); ++n) {
    const int32_t i = all[n].row, j = all[n].col;
    reach r = reach::outside;
    if (all[n].labelled) {
      const bool right = c.l_chart && j > c.fold_col;
      const int32_t line = right ? c.fold_col + 1 : 0;
      r = reach::expected;
      // Along the vertical line from the origin row to row i.
      for (int32_t k = 0; k != i; k += (i > 0 ? 1 : -1)) r = worse(r, get(k, line));
      r = worse(r, get(i, line));
      // Along the row from the line to column j.
      for (int32_t k = line; k != j; k += (j > line ? 1 : -1)) r = worse(r, get(i, k));
      r = worse(r, get(i, j));
    }
    if (aux) corners[n].aux_reach = r;
    else corners[n].main_reach = r;
  }
}

}  // namespace zorvel::sim
