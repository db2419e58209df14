// Decoding a 12-megapixel capture (4000 x 3000, 24-bit BMP) from the page
// cache into three planes, beside the floor of merely reading its bytes and,
// when OpenCV is installed, its decoder on the same file. Also the quarter
// turn the runs apply to captures of rotated modules.
// Run: zorvel_bmp_bench --benchmark_filter=. (medians over 15 repetitions).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp.h"

#ifdef ZORVEL_HAVE_OPENCV
#include <opencv2/imgcodecs.hpp>
#endif

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;
constexpr int kRepetitions = 15;

// The capture file, written once per process and removed at exit.
class capture_file {
 public:
  capture_file()
      : path_((std::filesystem::temp_directory_path() /
               ("zorvel-bmp-bench-" + std::to_string(::getpid()) + ".bmp"))
                  .string()) {
    const size_t n = static_cast<size_t>(kWidth) * kHeight;
    std::vector<uint8_t> r(n), g(n), b(n);
    for (size_t i = 0; i < n; ++i) {
      r[i] = static_cast<uint8_t>(i * 7);
      g[i] = static_cast<uint8_t>(i / kWidth);
      b[i] = static_cast<uint8_t>(i ^ (i >> 9));
    }
    zorvel::zorvel_bmp_write writer(path_);
    ok_ = writer.write(r.data(), g.data(), b.data(), kWidth, kHeight) == 1;
  }
  ~capture_file() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

const capture_file& capture() {
  static const capture_file file;
  return file;
}

void BM_decode_into_planes(benchmark::State& state) {
  if (!capture().ok()) return state.SkipWithError("could not write the capture");
  for (auto _ : state) {
    zorvel::zorvel_bmp_read reader(capture().path());
    if (reader.parse() != 1) return state.SkipWithError("parse failed");
    uint8_t *r, *g, *b;
    reader.get_planes(&r, &g, &b);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
}

// The floor: the file's bytes into a buffer allocated once.
void BM_read_bytes_only(benchmark::State& state) {
  if (!capture().ok()) return state.SkipWithError("could not write the capture");
  const auto size = std::filesystem::file_size(capture().path());
  std::vector<uint8_t> bytes(size);
  for (auto _ : state) {
    std::FILE* file = std::fopen(capture().path().c_str(), "rb");
    if (!file) return state.SkipWithError("open failed");
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    benchmark::ClobberMemory();
  }
}

void BM_rotate_right(benchmark::State& state) {
  if (!capture().ok()) return state.SkipWithError("could not write the capture");
  zorvel::zorvel_bmp_read reader(capture().path());
  if (reader.parse() != 1) return state.SkipWithError("parse failed");
  for (auto _ : state) {
    reader.rotate("right");
    benchmark::ClobberMemory();
  }
}

#ifdef ZORVEL_HAVE_OPENCV
void BM_opencv_imread(benchmark::State& state) {
  if (!capture().ok()) return state.SkipWithError("could not write the capture");
  for (auto _ : state) {
    cv::Mat image = cv::imread(capture().path(), cv::IMREAD_COLOR);
    if (image.empty()) return state.SkipWithError("imread failed");
    benchmark::DoNotOptimize(image.data);
  }
}
BENCHMARK(BM_opencv_imread)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
#endif

BENCHMARK(BM_decode_into_planes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_read_bytes_only)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_rotate_right)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
