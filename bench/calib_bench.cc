// Timings of the calibration: the aux rectification warp on a working-size
// image and the calibration drivers on simulated captures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "detect/chart_pair.h"
#include "verify/rectify.h"

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

}  // namespace

BENCHMARK_MAIN();
