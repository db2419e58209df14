// Timings of the calibration: the aux rectification warp on a working-size
// image and the calibration drivers on simulated captures.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <random>
#include <vector>

#include "bench/peers/setup.h"
#include "bench/quiet_stdout.h"
#include "calib/drivers.h"
#include "detect/chart_pair.h"
#include "driver/entry.h"
#include "image/bmp.h"
#include "sim/bundle.h"
#include "sim/presets.h"
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
    zorvel::rectify_aux(src, dst, 1000.0f, R, 1012.5f, H, W, 0.0f, 0.0f, g,
                        static_cast<zorvel::vector_isa>(state.range(0)));
    benchmark::DoNotOptimize(dst.aux_g.data());
  }
  state.SetItemsProcessed(state.iterations() * W * H);
}
// Argument: the vector level (0 baseline, 1 AVX2, 2 AVX-512).
BENCHMARK(BM_RectifyAux1280x960)->Unit(benchmark::kMillisecond)->DenseRange(0, 2);

// The "good" module rendered once, its captures decoded, and the setup the
// calibration run builds from its configuration.
struct rendered_module {
  std::string dir;
  zorvel::zorvel_bmp_read main_l, aux_l, main_flat, aux_flat;
  zorvel::zorvel_capture_pair l, flat;
  zorvel::zorvel_calibration_setup setup;

  explicit rendered_module(const std::string& where)
      : dir(where),
        main_l(render(where) + "/main_l.bmp"),
        aux_l(where + "/aux_l.bmp"),
        main_flat(where + "/main_flat.bmp"),
        aux_flat(where + "/aux_flat.bmp") {
    setup = zorvel::bench::calibration_setup_or_empty(dir + "/calibration.cfg");
    l = pair_of(main_l, aux_l);
    flat = pair_of(main_flat, aux_flat);
  }
  ~rendered_module() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  static std::string render(const std::string& where) {
    zorvel::sim::scenario s;
    zorvel::sim::make_scenario("good", &s);
    zorvel::sim::write_bundle(s, 1, where);
    return where;
  }
  static zorvel::zorvel_capture_pair pair_of(zorvel::zorvel_bmp_read& main,
                                             zorvel::zorvel_bmp_read& aux) {
    zorvel::zorvel_capture_pair p;
    uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
    uint32_t w = 0, h = 0;
    main.parse();
    main.get_planes(&r, &g, &b);
    main.get_size(&w, &h);
    p.main_r = r, p.main_g = g, p.main_b = b;
    p.main_width = static_cast<int32_t>(w), p.main_height = static_cast<int32_t>(h);
    aux.parse();
    aux.get_planes(&r, &g, &b);
    aux.get_size(&w, &h);
    p.aux_r = r, p.aux_g = g, p.aux_b = b;
    p.aux_width = static_cast<int32_t>(w), p.aux_height = static_cast<int32_t>(h);
    return p;
  }
};

const rendered_module& captures() {
  static const rendered_module m(
      (std::filesystem::temp_directory_path() / ("zorvel-calib-bench-" + std::to_string(getpid())))
          .string());
  return m;
}

// Working pairs, detection of four images, both chart calibrations, results.
void BM_CalibrateLAndFlat(benchmark::State& state) {
  const auto& m = captures();
  quiet_stdout quiet;
  for (auto _ : state) {
    zorvel::zorvel_calibration_result result;
    if (!zorvel::calibrate_l_and_flat(m.l, m.flat, m.setup, result)) {
      state.SkipWithError("calibration failed");
    }
  }
}
BENCHMARK(BM_CalibrateLAndFlat)->Unit(benchmark::kMillisecond);

void BM_CalibrateLOnly(benchmark::State& state) {
  const auto& m = captures();
  quiet_stdout quiet;
  for (auto _ : state) {
    zorvel::zorvel_calibration_result result;
    if (!zorvel::calibrate_l_only(m.l, m.setup, result)) state.SkipWithError("calibration failed");
  }
}
BENCHMARK(BM_CalibrateLOnly)->Unit(benchmark::kMillisecond);

// The flat-only run completes an interim record, which only a run can read:
// timed as the whole run from its configuration (captures decoded included).
void BM_FlatOnlyRun(benchmark::State& state) {
  const auto& m = captures();
  quiet_stdout quiet;
  zorvel::calibrate((m.dir + "/calibration_l_only.cfg").c_str(), 0);
  const std::string flat_only = m.dir + "/calibration_flat_only.cfg";
  for (auto _ : state) benchmark::DoNotOptimize(zorvel::calibrate(flat_only.c_str(), 0));
}
BENCHMARK(BM_FlatOnlyRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
