// Simulated captures through the whole detection path: resampling, dewarp,
// detection and pairing, one preset per property (mounting, distortion, mono
// sensor, exposure). Every corner the scans are expected to reach is found
// once, labelled like the simulator's truth and close to its true working
// position; main and aux pair on every shared corner.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "sim/truth.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

struct chart_case {
  std::string preset;
  bool l_chart;
  // Under-exposed captures: after the gain their noise moves the strongest
  // saddle pixel by a little more (one corner of "dark" lies 1.54 px off).
  double tolerance_px = 1.5;
};

void PrintTo(const chart_case& c, std::ostream* out) { *out << c.preset << (c.l_chart ? " L" : " flat"); }

// The working pair of one chart, as the calibration prepares it: rendered in
// file orientation, turned as the run turns a capture, resampled, dewarped.
zorvel_chart_pair prepare(const sim::scenario& s, const sim::chart& chart, const sim::camera_view* views[2],
                          const sim::capture_stream streams[2]) {
  const int32_t flag = s.module.rotation_flag;
  sim::capture_image img[2];
  for (int k = 0; k < 2; ++k) {
    img[k] = sim::turn_like_library(
        sim::render_capture(chart, *views[k], s.imaging, flag, 20261206, static_cast<uint64_t>(streams[k])), flag);
  }
  const zorvel_capture_pair capture{img[0].r.data(), img[0].g.data(), img[0].b.data(), img[1].r.data(),
                                    img[1].g.data(), img[1].b.data(), img[0].width, img[0].height,
                                    img[1].width, img[1].height};
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

// Checks one camera's entries against the truth and returns the truth index
// of each labelled one. The last entry written, just past the set, is found
// but keeps a raw column label.
std::set<size_t> check_camera(const zorvel_key_points& set, int result,
                              const std::vector<sim::corner_truth>& truth, bool aux, bool l_chart,
                              double tolerance) {
  const auto row = [&](const sim::corner_truth& t) { return aux ? t.aux_row : t.main_row; };
  const auto col = [&](const sim::corner_truth& t) { return aux ? t.aux_col : t.main_col; };
  std::set<size_t> seen, labelled;
  for (int32_t e = 0; e <= result; ++e) {
    size_t k = 0;
    for (size_t j = 1; j < truth.size(); ++j) {
      if (std::hypot(row(truth[j]) - set.y[e], col(truth[j]) - set.x[e]) <
          std::hypot(row(truth[k]) - set.y[e], col(truth[k]) - set.x[e])) k = j;
    }
    const sim::corner_truth& t = truth[k];
    SCOPED_TRACE("entry " + std::to_string(e) + " at " + std::to_string(set.y[e]) + "," + std::to_string(set.x[e]));
    EXPECT_LE(std::hypot(row(t) - set.y[e], col(t) - set.x[e]), tolerance);
    EXPECT_TRUE(t.labelled && set.Yw[e] == t.yw);
    EXPECT_TRUE(seen.insert(k).second) << "found twice";
    if (e == result) break;
    EXPECT_EQ(set.Xw[e], t.xw);
    if (l_chart) {
      EXPECT_EQ(set.Zw[e], t.zw);
    }
    labelled.insert(k);
  }
  int expected = 0;
  for (size_t k = 0; k < truth.size(); ++k) {
    if ((aux ? truth[k].aux_reach : truth[k].main_reach) != sim::reach::expected || !truth[k].labelled) continue;
    ++expected;
    EXPECT_TRUE(seen.count(k)) << (aux ? "aux" : "main") << " missed corner " << truth[k].yw << ","
                               << truth[k].xw << " at " << row(truth[k]) << "," << col(truth[k]);
  }
  EXPECT_GT(expected, 40);
  return labelled;
}

class SimulatedChart : public ::testing::TestWithParam<chart_case> {};

TEST_P(SimulatedChart, DetectsLabelsAndPairs) {
  const chart_case& c = GetParam();
  sim::scenario s;
  ASSERT_TRUE(sim::make_scenario(c.preset, &s));
  s = sim::with_main_width(s, 1280);  // the same working images, faster to render
  const sim::scene_charts charts = sim::make_charts(s);
  const sim::scene_views v = sim::make_views(s);
  using cs = sim::capture_stream;
  const sim::chart& chart = c.l_chart ? charts.l_chart : charts.flat_chart;
  const sim::camera_view* views[2] = {c.l_chart ? &v.main_l : &v.main_flat, c.l_chart ? &v.aux_l : &v.aux_flat};
  const cs streams[2] = {c.l_chart ? cs::main_l : cs::main_flat, c.l_chart ? cs::aux_l : cs::aux_flat};
  zorvel_chart_pair p = prepare(s, chart, views, streams);
  auto* const detector = c.l_chart ? detect_l_chart_keypoints : detect_flat_chart_keypoints;
  int m = 0, a = 0;
  EXPECT_EQ(capture_stdout([&] {
              m = detector(p.main_r.data(), p.main_g.data(), p.main_b.data(), p.main_height,
                           p.main_width, p.main_points, s.module.main.mono ? 1 : 0);
              a = detector(p.aux_r.data(), p.aux_g.data(), p.aux_b.data(), p.aux_height,
                           p.aux_width, p.aux_points, s.module.aux.mono ? 1 : 0);
            }),
            "");
  ASSERT_GT(m, 10);
  ASSERT_GT(a, 10);

  // Mono origins are the weakest-contrast corner; on these charts that is
  // the marker corner too, so the labels are the truth's in every case.
  const std::vector<sim::corner_truth> truth = sim::chart_truth(chart, *views[0], *views[1]);
  const std::set<size_t> in_main = check_camera(p.main_points, m, truth, false, c.l_chart, c.tolerance_px);
  const std::set<size_t> in_aux = check_camera(p.aux_points, a, truth, true, c.l_chart, c.tolerance_px);
  int shared = 0;
  for (size_t k : in_main) shared += static_cast<int>(in_aux.count(k));
  EXPECT_EQ(match_keypoints_by_label(p.main_points, p.aux_points, m, a), shared);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, SimulatedChart,
    ::testing::Values(chart_case{"good", false}, chart_case{"good", true}, chart_case{"portrait", true},
                      chart_case{"distorted", false}, chart_case{"mono", true}, chart_case{"dark", false, 2.0}),
    [](const auto& info) { return info.param.preset + (info.param.l_chart ? "_l" : "_flat"); });

}  // namespace
}  // namespace zorvel::test
