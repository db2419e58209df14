// Rendering cost of the chart simulator: one full-size capture (4000 x 3000,
// both threads) and a 1280-wide capture as the tests and benchmarks use it.
#include <benchmark/benchmark.h>

#include "sim/bundle.h"
#include "sim/presets.h"

namespace {

using zorvel::sim::scenario;

scenario preset(const char* name, int32_t main_width) {
  scenario s;
  zorvel::sim::make_scenario(name, &s);
  if (main_width != s.module.main.width) s = zorvel::sim::with_main_width(s, main_width);
  return s;
}

void render_one(benchmark::State& state, const char* name, bool flat) {
  const scenario s = preset(name, static_cast<int32_t>(state.range(0)));
  const auto charts = zorvel::sim::make_charts(s);
  const auto views = zorvel::sim::make_views(s);
  uint64_t key = 1;
  for (auto _ : state) {
    auto img = zorvel::sim::render_capture(flat ? charts.flat_chart : charts.l_chart,
                                           flat ? views.main_flat : views.main_l, s.imaging,
                                           s.module.rotation_flag, key++, 1);
    benchmark::DoNotOptimize(img.g.data());
  }
  state.SetItemsProcessed(state.iterations() * s.module.main.width * s.module.main.height);
}

void BM_RenderFlatGood(benchmark::State& state) { render_one(state, "good", true); }
void BM_RenderLGood(benchmark::State& state) { render_one(state, "good", false); }
void BM_RenderFlatDistorted(benchmark::State& state) { render_one(state, "distorted", true); }
void BM_RenderFlatHard(benchmark::State& state) { render_one(state, "hard", true); }

BENCHMARK(BM_RenderFlatGood)->Arg(1280)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderLGood)->Arg(1280)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderFlatDistorted)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderFlatHard)->Arg(4000)->Unit(benchmark::kMillisecond);

// The four calibration captures of the good preset at full size.
void BM_RenderCalibrationSet(benchmark::State& state) {
  const scenario s = preset("good", 4000);
  const auto charts = zorvel::sim::make_charts(s);
  const auto views = zorvel::sim::make_views(s);
  for (auto _ : state) {
    for (int k = 0; k < 4; ++k) {
      const bool flat = k >= 2, aux = (k % 2) == 1;
      const auto& view = flat ? (aux ? views.aux_flat : views.main_flat) : (aux ? views.aux_l : views.main_l);
      auto img = zorvel::sim::render_capture(flat ? charts.flat_chart : charts.l_chart, view, s.imaging,
                                             0, 1, static_cast<uint64_t>(k) + 1);
      benchmark::DoNotOptimize(img.g.data());
    }
  }
}
BENCHMARK(BM_RenderCalibrationSet)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
