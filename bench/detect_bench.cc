// Detection timings on a simulated 1280 x 960 flat-chart capture: the whole
// detector (equalisation to labelled set), resampling 4000 x 3000 to the
// working size and the dewarp kernel; with OpenCV, its two chessboard
// finders on the same image for comparison.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "sim/render.h"

#if defined(ZORVEL_HAVE_OPENCV)
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using zorvel::sim::capture_image;

// The "good" scenario's main flat-chart capture rendered at working size.
const capture_image& flat_capture() {
  static const capture_image image = [] {
    zorvel::sim::scenario s;
    zorvel::sim::make_scenario("good", &s);
    s = zorvel::sim::with_main_width(s, 1280);
    const auto charts = zorvel::sim::make_charts(s);
    const auto views = zorvel::sim::make_views(s);
    return zorvel::sim::render_capture(charts.flat_chart, views.main_flat, s.imaging, 0, 1,
                                       static_cast<uint64_t>(zorvel::sim::capture_stream::main_flat));
  }();
  return image;
}

void BM_DetectFlatChart(benchmark::State& state) {
  const capture_image& src = flat_capture();
  std::vector<uint8_t> r, g, b;
  zorvel::zorvel_key_points set(zorvel::kKeyPointCapacity);
  int result = 0;
  for (auto _ : state) {
    state.PauseTiming();
    r = src.r, g = src.g, b = src.b;  // detection equalises the planes in place
    state.ResumeTiming();
    result = zorvel::detect_flat_chart_keypoints(r.data(), g.data(), b.data(), src.height,
                                                 src.width, set, 0);
    benchmark::DoNotOptimize(set.y.data());
  }
  state.counters["points"] = result;
}
BENCHMARK(BM_DetectFlatChart)->Unit(benchmark::kMillisecond);

void BM_DetectFlatChartMono(benchmark::State& state) {
  const capture_image& src = flat_capture();
  std::vector<uint8_t> r, g, b;
  zorvel::zorvel_key_points set(zorvel::kKeyPointCapacity);
  int result = 0;
  for (auto _ : state) {
    state.PauseTiming();
    r = src.r, g = src.g, b = src.b;
    state.ResumeTiming();
    result = zorvel::detect_flat_chart_keypoints(r.data(), g.data(), b.data(), src.height,
                                                 src.width, set, 1);
  }
  state.counters["points"] = result;
}
BENCHMARK(BM_DetectFlatChartMono)->Unit(benchmark::kMillisecond);

// One camera of 4000 x 3000 to 1280 x 960 (the aux capture is 1 x 1 so the
// pair's cost is the main camera's).
void BM_Resample4000x3000(benchmark::State& state) {
  std::vector<uint8_t> planes[3];
  for (auto& p : planes) {
    p.resize(4000u * 3000u);
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
  }
  const uint8_t tiny[3] = {1, 2, 3};
  zorvel::zorvel_capture_pair capture{planes[0].data(), planes[1].data(), planes[2].data(),
                                      &tiny[0], &tiny[1], &tiny[2], 4000, 3000, 1, 1};
  zorvel::zorvel_chart_pair pair;
  for (auto _ : state) {
    zorvel::normalize_capture_pair(capture, false, pair);
    benchmark::DoNotOptimize(pair.main_g.data());
  }
}
BENCHMARK(BM_Resample4000x3000)->Unit(benchmark::kMillisecond);

void BM_DewarpPlanes(benchmark::State& state) {
  const capture_image& src = flat_capture();
  std::vector<uint8_t> r(src.r.size()), g(src.g.size()), b(src.b.size());
  for (auto _ : state) {
    zorvel::dewarp_planes(src.r.data(), src.g.data(), src.b.data(), r.data(), g.data(), b.data(),
                          src.width, src.height, 640.0f, 0, 0.0, -0.04, 0.006, 0.0,
                          static_cast<zorvel::vector_isa>(state.range(0)));
    benchmark::DoNotOptimize(g.data());
  }
}
// Argument: the vector level (0 baseline, 1 AVX2, 2 AVX-512).
BENCHMARK(BM_DewarpPlanes)->Unit(benchmark::kMillisecond)->DenseRange(0, 2);

#if defined(ZORVEL_HAVE_OPENCV)
// Inner corners of the "good" flat chart: 26 x 19 squares.
const cv::Size kPattern(25, 18);

cv::Mat grey_capture() {
  const capture_image& src = flat_capture();
  cv::Mat grey(src.height, src.width, CV_8UC1);
  for (int32_t i = 0; i < src.width * src.height; ++i) {
    grey.data[i] = static_cast<uint8_t>((src.r[i] * 77 + src.g[i] * 150 + src.b[i] * 29) >> 8);
  }
  return grey;
}

void BM_OpenCvFindChessboardCorners(benchmark::State& state) {
  const cv::Mat grey = grey_capture();
  std::vector<cv::Point2f> corners;
  bool found = false;
  for (auto _ : state) {
    found = cv::findChessboardCorners(grey, kPattern, corners,
                                      cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_NORMALIZE_IMAGE |
                                          cv::CALIB_CB_FAST_CHECK);
  }
  state.counters["points"] = found ? static_cast<double>(corners.size()) : 0.0;
}
// Bounded: a missed pattern can take seconds per call.
BENCHMARK(BM_OpenCvFindChessboardCorners)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenCvFindChessboardCornersSB(benchmark::State& state) {
  const cv::Mat grey = grey_capture();
  std::vector<cv::Point2f> corners;
  bool found = false;
  for (auto _ : state) {
    found = cv::findChessboardCornersSB(grey, kPattern, corners, cv::CALIB_CB_NORMALIZE_IMAGE);
  }
  state.counters["points"] = found ? static_cast<double>(corners.size()) : 0.0;
}
BENCHMARK(BM_OpenCvFindChessboardCornersSB)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace

BENCHMARK_MAIN();
