// Cost of the least-squares fits at the largest sample count a calibration
// hands them (n = 1200 paired corners) and of the 6 x 6 eigen-solver; they run
// a handful of times per calibration and must stay far below image work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "numerics/matrix.h"

namespace {

constexpr uint32_t kNoiseKey = 20261206u;
constexpr int32_t kSamples = 1200;
constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 960;

struct samples {
  std::vector<double> a, b, z;
};

samples make_samples() {
  std::mt19937 rng(kNoiseKey);
  std::uniform_real_distribution<double> column(-kWidth / 2.0, kWidth / 2.0);
  std::uniform_real_distribution<double> row(-kHeight / 2.0, kHeight / 2.0);
  std::normal_distribution<double> noise(0.0, 0.3);
  samples s;
  for (int32_t i = 0; i < kSamples; ++i) {
    s.a.push_back(column(rng));
    s.b.push_back(row(rng));
    s.z.push_back(0.002 * s.a.back() - 0.001 * s.b.back() + 0.4 + noise(rng));
  }
  return s;
}

void BM_FitPlane(benchmark::State& state) {
  const samples s = make_samples();
  for (auto _ : state) {
    benchmark::DoNotOptimize(zorvel::fit_plane(s.a.data(), s.b.data(), s.z.data(), kSamples));
  }
}
BENCHMARK(BM_FitPlane)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_FitCubicSurface(benchmark::State& state) {
  const samples s = make_samples();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        zorvel::fit_cubic_surface(s.a.data(), s.b.data(), s.z.data(), kHeight, kWidth, kSamples));
  }
}
BENCHMARK(BM_FitCubicSurface)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_JacobiEigen6(benchmark::State& state) {
  // The normal matrix of 1200 random 6-term rows, as the homogeneous solve builds it.
  std::mt19937 rng(kNoiseKey);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  zorvel::zorvel_matrix rows(kSamples, 6);
  for (int32_t i = 0; i < kSamples * 6; ++i) rows.data()[i] = uniform(rng);
  zorvel::zorvel_matrix normal;
  zorvel::matrix_multiply(zorvel::matrix_transpose(rows), rows, normal);
  zorvel::zorvel_matrix v;
  double values[6];
  for (auto _ : state) {
    zorvel::zorvel_matrix a = normal;
    zorvel::jacobi_eigen6(a, v, values);
    benchmark::DoNotOptimize(values);
  }
}
BENCHMARK(BM_JacobiEigen6)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
