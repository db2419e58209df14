// Timings of the two runs from BMP captures at full size (4000 x 3000 main,
// 3264 x 2448 aux; the `distorted` module, so every dewarp step works),
// single-threaded, and the split of each run into its stages: decode,
// resample, dewarp, detection, rectification; the calibration proper is the
// driver's time less its resampling, dewarping and detection.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/peers/setup.h"
#include "bench/quiet_stdout.h"
#include "calib/drivers.h"
#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "driver/entry.h"
#include "image/bmp.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "stereo/rectify.h"

namespace {

using namespace zorvel;

// The rendered module, made once per process; its OTP record comes from a
// first calibration so the verification has something to read.
struct full_size_module {
  std::string dir;
  full_size_module() {
    dir = (std::filesystem::temp_directory_path() / ("zorvel-run-bench-" + std::to_string(getpid()))).string();
    sim::scenario s;
    sim::make_scenario("distorted", &s);
    sim::write_bundle(s, 1, dir);
    quiet_stdout quiet;
    calibrate((dir + "/calibration.cfg").c_str(), 0);
  }
  ~full_size_module() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string file(const char* name) const { return dir + "/" + name; }
};

const full_size_module& module() {
  static const full_size_module m;
  return m;
}

void BM_CalibrationRunLAndFlat(benchmark::State& state) {
  const std::string cfg = module().file("calibration.cfg");
  quiet_stdout quiet;
  for (auto _ : state) benchmark::DoNotOptimize(calibrate(cfg.c_str(), 0));
}
BENCHMARK(BM_CalibrationRunLAndFlat)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VerificationRun(benchmark::State& state) {
  const std::string cfg = module().file("verification.cfg");
  quiet_stdout quiet;
  for (auto _ : state) benchmark::DoNotOptimize(calibrate(cfg.c_str(), 0));
}
BENCHMARK(BM_VerificationRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- the split -------------------------------------------------------------

struct loaded {
  zorvel_bmp_read main, aux;
  zorvel_capture_pair capture;
  loaded(const std::string& main_path, const std::string& aux_path) : main(main_path), aux(aux_path) {
    main.parse();
    aux.parse();
    uint8_t *r, *g, *b;
    main.get_planes(&r, &g, &b);
    capture.main_r = r, capture.main_g = g, capture.main_b = b;
    aux.get_planes(&r, &g, &b);
    capture.aux_r = r, capture.aux_g = g, capture.aux_b = b;
    uint32_t w, h;
    main.get_size(&w, &h);
    capture.main_width = static_cast<int32_t>(w), capture.main_height = static_cast<int32_t>(h);
    aux.get_size(&w, &h);
    capture.aux_width = static_cast<int32_t>(w), capture.aux_height = static_cast<int32_t>(h);
  }
};

// The lens models and the rest of the setup as the calibration run builds
// them from the module's configuration.
const zorvel_calibration_setup& module_setup() {
  static const zorvel_calibration_setup setup =
      bench::calibration_setup_or_empty(module().file("calibration.cfg"));
  return setup;
}

// Decoding the captures of one run: arg 4 (calibration) or 2 (verification).
void BM_DecodeCaptures(benchmark::State& state) {
  const char* names[4] = {"main_l.bmp", "aux_l.bmp", "main_flat.bmp", "aux_flat.bmp"};
  const char* verify_names[2] = {"main_verify.bmp", "aux_verify.bmp"};
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      zorvel_bmp_read reader(module().file(n == 4 ? names[i] : verify_names[i]));
      benchmark::DoNotOptimize(reader.parse());
    }
  }
}
BENCHMARK(BM_DecodeCaptures)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// One capture pair to working size (the L+flat driver does four, a verification two).
void BM_ResamplePair(benchmark::State& state) {
  const loaded l(module().file("main_flat.bmp"), module().file("aux_flat.bmp"));
  const zorvel_calibration_setup& c = module_setup();
  for (auto _ : state) {
    zorvel_chart_pair pair;
    normalize_capture_pair(l.capture, c.working.rotated, pair);
    benchmark::DoNotOptimize(pair.main_r.data());
  }
}
BENCHMARK(BM_ResamplePair)->Unit(benchmark::kMillisecond)->UseRealTime();

// Both cameras of one pair (the L+flat driver does two pairs; a verification
// dewarps the aux camera once and warps the rectified aux image once).
void BM_DewarpPair(benchmark::State& state) {
  const loaded l(module().file("main_flat.bmp"), module().file("aux_flat.bmp"));
  const zorvel_calibration_setup& c = module_setup();
  zorvel_chart_pair pair;
  normalize_capture_pair(l.capture, c.working.rotated, pair);
  for (auto _ : state) {
    zorvel_chart_pair scratch;
    dewarp_pair(c.working, pair, scratch);
    benchmark::DoNotOptimize(pair.main_r.data());
  }
}
BENCHMARK(BM_DewarpPair)->Unit(benchmark::kMillisecond)->UseRealTime();

// Key points of both images of one chart: arg 0 the L chart, 1 the flat chart.
void BM_DetectPair(benchmark::State& state) {
  const bool flat = state.range(0) == 1;
  const loaded l(module().file(flat ? "main_flat.bmp" : "main_l.bmp"),
                 module().file(flat ? "aux_flat.bmp" : "aux_l.bmp"));
  const zorvel_calibration_setup& c = module_setup();
  zorvel_chart_pair original, scratch;
  normalize_capture_pair(l.capture, c.working.rotated, original);
  dewarp_pair(c.working, original, scratch);
  auto detect = flat ? detect_flat_chart_keypoints : detect_l_chart_keypoints;
  for (auto _ : state) {
    state.PauseTiming();
    zorvel_chart_pair p = original;  // detection equalises the planes in place
    state.ResumeTiming();
    benchmark::DoNotOptimize(detect(p.main_r.data(), p.main_g.data(), p.main_b.data(),
                                    p.main_height, p.main_width, p.main_points, 0));
    benchmark::DoNotOptimize(detect(p.aux_r.data(), p.aux_g.data(), p.aux_b.data(),
                                    p.aux_height, p.aux_width, p.aux_points, 0));
  }
}
BENCHMARK(BM_DetectPair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole L+flat driver from loaded captures (resampling, dewarping,
// detection, both chart calibrations and the result step).
void BM_CalibrationDriver(benchmark::State& state) {
  const loaded l(module().file("main_l.bmp"), module().file("aux_l.bmp"));
  const loaded f(module().file("main_flat.bmp"), module().file("aux_flat.bmp"));
  quiet_stdout quiet;
  for (auto _ : state) {
    zorvel_calibration_result result;
    benchmark::DoNotOptimize(calibrate_l_and_flat(l.capture, f.capture, module_setup(), result));
  }
}
BENCHMARK(BM_CalibrationDriver)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rectification warp of the verification (1280 x 960 aux image).
void BM_Rectification(benchmark::State& state) {
  const loaded l(module().file("main_verify.bmp"), module().file("aux_verify.bmp"));
  zorvel_chart_pair source, destination;
  normalize_capture_pair(l.capture, module_setup().working.rotated, source);
  const double R[9] = {0.9999, -0.0052, 0.0105, 0.0053, 0.9999, -0.0070, -0.0105, 0.0070, 0.9999};
  float g[18] = {};
  g[0] = 0.4f;
  g[9] = -0.2f;
  for (auto _ : state) {
    rectify_aux(source, destination, 1004.6f, R, 1019.1f, source.aux_height, source.aux_width,
                0.0f, 0.0f, g);
    benchmark::DoNotOptimize(destination.aux_r.data());
  }
}
BENCHMARK(BM_Rectification)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
