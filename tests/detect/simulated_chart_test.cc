// Simulated captures through the whole detection path: resampling, dewarp,
// detection and pairing, one preset per property (mounting, distortion, mono
// sensor, exposure). Every corner the scans are expected to reach is found
// once, labelled like the simulator's truth and close to its true working
// position; main and aux pair on every shared corner.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
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

  // The working pair as the calibration prepares it: rendered in file
  // orientation, turned as the run turns a capture, resampled, dewarped.
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
  zorvel_chart_pair p, scratch;
  normalize_capture_pair(capture, form.rotated, p);
  dewarp_pair(form, p, scratch);

  // Mono origins are the weakest-contrast corner; on these charts that is
  // the marker corner too, so the labels are the truth's in every case.
  std::map<std::pair<int32_t, int32_t>, sim::corner_truth> truth;
  for (const sim::corner_truth& t : sim::chart_truth(chart, *views[0], *views[1])) {
    if (t.labelled) truth[{t.yw, t.xw}] = t;
  }
  auto* const detector = c.l_chart ? detect_l_chart_keypoints : detect_flat_chart_keypoints;
  int count[2] = {};
  std::set<std::pair<int32_t, int32_t>> labels[2];
  for (const int aux : {0, 1}) {
    SCOPED_TRACE(aux ? "aux" : "main");
    zorvel_key_points& set = aux ? p.aux_points : p.main_points;
    const int32_t mono = (aux ? s.module.aux.mono : s.module.main.mono) ? 1 : 0;
    int n = 0;
    EXPECT_EQ(capture_stdout([&] {
                n = aux ? detector(p.aux_r.data(), p.aux_g.data(), p.aux_b.data(), p.aux_height, p.aux_width, set, mono)
                        : detector(p.main_r.data(), p.main_g.data(), p.main_b.data(), p.main_height, p.main_width,
                                   set, mono);
              }),
              "");
    count[aux] = n;
    ASSERT_GT(n, 10);
    // Entry n, just past the set, keeps the raw column label of its scan: on
    // the L chart's right board one less than the truth's.
    for (int32_t e = 0; e <= n; ++e) {
      const auto it = truth.find({set.Yw[e], set.Xw[e] + (e == n && c.l_chart ? 1 : 0)});
      if (it == truth.end()) {
        ADD_FAILURE() << "entry " << e << ": no corner labelled " << set.Yw[e] << "," << set.Xw[e];
        continue;
      }
      const sim::corner_truth& t = it->second;
      EXPECT_LE(std::hypot((aux ? t.aux_row : t.main_row) - set.y[e], (aux ? t.aux_col : t.main_col) - set.x[e]),
                c.tolerance_px) << "entry " << e;
      EXPECT_TRUE(!c.l_chart || e == n || set.Zw[e] == t.zw) << "entry " << e;
      EXPECT_TRUE(labels[aux].insert(it->first).second) << "entry " << e << " labelled twice";
    }
    int expected = 0;
    for (const auto& [label, t] : truth) {
      if ((aux ? t.aux_reach : t.main_reach) != sim::reach::expected) continue;
      ++expected;
      EXPECT_TRUE(labels[aux].count(label)) << "missed corner " << t.yw << "," << t.xw;
    }
    EXPECT_GT(expected, 40);
    labels[aux].erase({set.Yw[n], set.Xw[n] + (c.l_chart ? 1 : 0)});  // not part of the set
  }
  int shared = 0;
  for (const auto& label : labels[0]) shared += static_cast<int>(labels[1].count(label));
  EXPECT_EQ(match_keypoints_by_label(p.main_points, p.aux_points, count[0], count[1]), shared);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, SimulatedChart,
    ::testing::Values(chart_case{"good", false}, chart_case{"good", true}, chart_case{"portrait", true},
                      chart_case{"distorted", false}, chart_case{"mono", true}, chart_case{"dark", false, 2.0}),
    [](const auto& info) { return info.param.preset + (info.param.l_chart ? "_l" : "_flat"); });

}  // namespace
}  // namespace zorvel::test
