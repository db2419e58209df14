// Timings of the calibration: the aux rectification warp on a working-size
// image and the calibration drivers on simulated captures.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/quiet_stdout.h"
#include "calib/drivers.h"
#include "detect/chart_pair.h"
#include "tests/calib/simulated_captures.h"
#include "stereo/rectify.h"

namespace {

zorvel::zorvel_chart_pair noise_aux(int32_t W, int32_t H) {
  zorvel::zorvel_chart_pair p;
  p.aux_width = W;
  p.aux_height = H;
  std::mt19937 rng;
  for (auto* plane : {&p.aux_r, &p.aux_g, &p.aux_b}) {
    plane->resize(static_cast<size_t>(W) * H);
    for (auto& v : *plane) v = static_cast<uint8_t>(rng());
  }
  return p;
}

// One verification warp of a 1280 x 960 aux image, single-threaded.
void BM_RectifyAux1280x960(benchmark::State& state) {
  const int32_t W = 1280, H = 960;
  const zorvel::zorvel_chart_pair src = noise_aux(W, H);
  zorvel::zorvel_chart_pair dst;
  const double R[9] = {0.9998, -0.0121, 0.0174, 0.0122, 0.9999, -0.0052, -0.0173, 0.0054, 0.9998};
  float g[18] = {};
  g[0] = 0.4f;
  g[2] = -0.8f;
  g[6] = 0.3f;
  g[9] = -0.2f;
  g[13] = 0.5f;
  for (auto _ : state) {
    zorvel::rectify_aux(src, dst, 1000.0f, R, 1012.5f, H, W, 0.0f, 0.0f, g);
    benchmark::DoNotOptimize(dst.aux_g.data());
  }
  state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_RectifyAux1280x960)->Unit(benchmark::kMillisecond);

const zorvel::test::simulated_calibration& captures() {
  static const zorvel::test::simulated_calibration sc =
      zorvel::test::render_calibration(zorvel::test::good_module());
  return sc;
}

struct driver_pairs {
  zorvel::zorvel_chart_pair l_pair, l_rect, flat_pair, flat_work, l_scratch, flat_scratch;
  std::array<zorvel::zorvel_key_points, 2> stored;
};

// Working pairs, detection of four images, both chart calibrations, results.
void BM_CalibrateLAndFlat(benchmark::State& state) {
  const auto& sc = captures();
  quiet_stdout quiet;
  for (auto _ : state) {
    zorvel::zorvel_calib_context c = zorvel::test::calibration_context(sc.scenario);
    driver_pairs w;
    const int32_t r = zorvel::calibrate_l_and_flat(sc.l_capture(), sc.flat_capture(), c, w.l_pair,
                                                   w.l_rect, w.flat_pair, w.flat_work,
                                                   w.l_scratch, w.flat_scratch);
    if (r != 0) state.SkipWithError("calibration failed");
  }
}
BENCHMARK(BM_CalibrateLAndFlat)->Unit(benchmark::kMillisecond);

void BM_CalibrateLOnly(benchmark::State& state) {
  const auto& sc = captures();
  quiet_stdout quiet;
  for (auto _ : state) {
    zorvel::zorvel_calib_context c = zorvel::test::calibration_context(sc.scenario);
    driver_pairs w;
    if (zorvel::calibrate_l_only(sc.l_capture(), c, w.l_pair, w.l_rect, w.l_scratch) != 0) {
      state.SkipWithError("calibration failed");
    }
  }
}
BENCHMARK(BM_CalibrateLOnly)->Unit(benchmark::kMillisecond);

void BM_CalibrateFlatOnly(benchmark::State& state) {
  const auto& sc = captures();
  quiet_stdout quiet;
  zorvel::zorvel_calib_context l_only = zorvel::test::calibration_context(sc.scenario);
  driver_pairs first;
  zorvel::calibrate_l_only(sc.l_capture(), l_only, first.l_pair, first.l_rect, first.l_scratch);
  const zorvel::zorvel_otp_interim_data interim = zorvel::test::interim_from(l_only);
  for (auto _ : state) {
    zorvel::zorvel_calib_context c = zorvel::test::calibration_context(sc.scenario);
    driver_pairs w;
    if (zorvel::calibrate_flat_only(sc.flat_capture(), c, w.flat_pair, w.flat_work,
                                    w.flat_scratch, w.stored, interim) != 0) {
      state.SkipWithError("calibration failed");
    }
  }
}
BENCHMARK(BM_CalibrateFlatOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
