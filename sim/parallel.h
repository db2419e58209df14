// Splits a row range over a few threads (simulator only, never shipped).
#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace zorvel::sim {

template <typename Fn>
void parallel_rows(int32_t rows, int32_t threads, Fn fn) {
  int32_t n = threads > 0 ? threads : static_cast<int32_t>(std::thread::hardware_concurrency());
  n = std::clamp(n, 1, std::max(1, rows / 16));
  if (n == 1) {
    fn(0, rows);
    return;
  }
  std::vector<std::thread> pool;
  for (int32_t t = 0; t < n; ++t) {
    const int32_t begin = static_cast<int32_t>(static_cast<int64_t>(rows) * t / n);
    const int32_t end = static_cast<int32_t>(static_cast<int64_t>(rows) * (t + 1) / n);
    pool.emplace_back([=] { fn(begin, end); });
  }
  for (auto& th : pool) th.join();
}

}  // namespace zorvel::sim
