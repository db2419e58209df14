// The four grid-line searches on a drawn image: two bright 3-pixel lines
// cross at (150, 200), a steep one reaching column 240 at the top and a
// shallow one reaching row 180 at the right edge. Each search must follow
// its line and write exactly its part of the table, and nothing without a line.
#include "detect/line_search.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace zorvel {
namespace {

constexpr int32_t kHeight = 300, kWidth = 400, kRow0 = 150, kCol0 = 200;
constexpr int32_t kUntouched = -7;
// Within 3 pixels of the drawn line: a 3-pixel line fills the 11-pixel band
// for positions up to 2 pixels off it, and positions are truncated.
constexpr double kTolerancePx = 3.0;

double steep_col(double row) { return kCol0 + (kRow0 - row) * 40.0 / 150.0; }
double shallow_row(double col) { return kRow0 + (col - kCol0) * 30.0 / 200.0; }

std::vector<uint8_t> crossing_lines() {
  std::vector<uint8_t> green(kHeight * kWidth, 20);
  for (int32_t r = 0; r < kHeight; ++r) {
    for (int32_t c = 0; c < kWidth; ++c) {
      if (std::fabs(c - steep_col(r)) <= 1.0 || std::fabs(r - shallow_row(c)) <= 1.0) {
        green[r * kWidth + c] = 200;
      }
    }
  }
  return green;
}

using search = void (*)(const gradient_bands&, int32_t, int32_t, int32_t*, vector_isa);

TEST(LineSearch, EachDirectionFollowsItsLineAndFillsItsPartOfTheTable) {
  const std::vector<uint8_t> green = crossing_lines();
  const gradient_bands bands = compute_gradient_bands(green.data(), kHeight, kWidth);
  struct search_case {
    const char* name;
    search trace;
    int32_t written;                    // entries 0 ... written - 1
    std::function<double(int32_t)> at;  // the drawn line at table index k
    int32_t far_end;  // the last line position: equal scores keep the first slope (s - 2)
  };
  // Up is indexed by absolute row and ends at row 0, the others start at the point.
  const search_case cases[] = {
      {"up", trace_line_up, kRow0 + 1, [](int32_t k) { return steep_col(k); }, 238},
      {"down", trace_line_down, kHeight - kRow0, [](int32_t k) { return steep_col(kRow0 + k); }, 158},
      {"left", trace_line_left, kCol0, [](int32_t k) { return shallow_row(kCol0 - k); }, 118},
      {"right", trace_line_right, kWidth - kCol0, [](int32_t k) { return shallow_row(kCol0 + k); }, 177},
  };
  // Without energy, or from a point outside the image, the table is left as it was.
  const std::vector<uint8_t> flat(kHeight * kWidth, 90);
  const gradient_bands empty = compute_gradient_bands(flat.data(), kHeight, kWidth);
  for (const search_case& c : cases) {
    for (const vector_isa isa : test::runnable_vector_isas()) {
      std::vector<int32_t> table(kWidth + 1, kUntouched);
      c.trace(empty, kRow0, kCol0, table.data(), isa);
      c.trace(bands, kHeight, kCol0, table.data(), isa);
      c.trace(bands, kRow0, -1, table.data(), isa);
      EXPECT_EQ(table, std::vector<int32_t>(kWidth + 1, kUntouched)) << c.name;
      c.trace(bands, kRow0, kCol0, table.data(), isa);
      for (int32_t k = 0; k < c.written; ++k) ASSERT_NEAR(table[k], c.at(k), kTolerancePx) << c.name << " index " << k;
      EXPECT_EQ(table[c.trace == trace_line_up ? 0 : c.written - 1], c.far_end)
          << c.name << " level " << static_cast<int>(isa);
      EXPECT_EQ(table[c.written], kUntouched) << c.name;
    }
  }
}

// The horizontal searches skip slopes whose bound cannot win, so they are
// checked against the plain definition: every slope scored on the column sums
// of the gradient energy, the first highest score above 0 kept.
struct reference_search {
  const std::vector<uint8_t>& green;
  int32_t height, width;

  int32_t energy(int32_t r, int32_t c) const {
    if (r < 2 || r > height - 3) return 0;
    const int32_t d = green[(r - 2) * width + c] - green[(r + 2) * width + c];
    return d * d;
  }
  int64_t band(int32_t r, int32_t c) const {
    if (r <= 9 || r > height - 10) return 0;
    int64_t sum = 0;
    for (int32_t q = r - 5; q <= r + 5; ++q) sum += energy(q, c);
    return sum;
  }
  // Columns c0 + step * i for i = 0 ... count - 1, ratio i / span.
  std::vector<int32_t> trace(int32_t r0, int32_t c0, int32_t step, int32_t count,
                             int32_t span) const {
    int64_t best = 0;
    int32_t best_slope = 0;
    for (int32_t s = -200; s < 200; ++s) {
      int64_t score = 0;
      for (int32_t i = 0; i < count; ++i) {
        const double ratio = static_cast<double>(i) / span;
        const auto p = static_cast<int32_t>(ratio * s + r0);
        score += band(std::clamp(p, -6, height + 5), c0 + step * i);
      }
      if (score > best) best = score, best_slope = s;
    }
    std::vector<int32_t> table(static_cast<size_t>(width), kUntouched);
    for (int32_t i = 0; best > 0 && i < count; ++i) {
      table[i] = static_cast<int32_t>(static_cast<double>(i) / span * best_slope + r0);
    }
    return table;
  }
};

// Images where the bounds prune a lot (a tilted checkerboard), where they
// prune little (noise), and where many slopes tie (a few isolated dots, a
// single edge): any slope or tie the pruning got wrong shows as a different
// table.
std::vector<uint8_t> random_image(std::mt19937& rng, int kind, int32_t height, int32_t width) {
  std::vector<uint8_t> green(static_cast<size_t>(height) * width, 40);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double pitch = 8.0 + 30.0 * unit(rng), angle = 0.4 * (unit(rng) - 0.5);
  const int32_t edge_row = static_cast<int32_t>(height * unit(rng));
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t c = 0; c < width; ++c) {
      uint8_t& g = green[r * width + c];
      if (kind == 0) {
        const double u = c * std::cos(angle) + r * std::sin(angle);
        const double v = r * std::cos(angle) - c * std::sin(angle);
        const bool dark = (static_cast<int64_t>(std::floor(u / pitch)) +
                           static_cast<int64_t>(std::floor(v / pitch))) % 2 != 0;
        g = static_cast<uint8_t>((dark ? 30 : 200) + static_cast<int>(unit(rng) * 20));
      } else if (kind == 1) {
        g = static_cast<uint8_t>(rng());
      } else if (kind == 2) {
        g = unit(rng) < 0.002 ? 255 : 0;
      } else {
        g = r < edge_row ? 10 : 250;
      }
    }
  }
  return green;
}

TEST(LineSearch, HorizontalSearchesMatchEveryScoredSlope) {
  std::mt19937 rng(20261207);
  for (int32_t round = 0; round < 24; ++round) {
    const int kind = round % 4;
    const int32_t height = 40 + static_cast<int32_t>(rng() % 160);
    const int32_t width = 30 + static_cast<int32_t>(rng() % 220);
    const std::vector<uint8_t> green = random_image(rng, kind, height, width);
    const reference_search reference{green, height, width};
    for (int32_t point = 0; point < 3; ++point) {
      const int32_t r0 = static_cast<int32_t>(rng() % height);
      const int32_t c0 = 1 + static_cast<int32_t>(rng() % (width - 1));
      const std::vector<int32_t> want_left = reference.trace(r0, c0, -1, c0, c0);
      const std::vector<int32_t> want_right = reference.trace(r0, c0, +1, width - c0, width - c0);
      for (const vector_isa isa : test::runnable_vector_isas()) {
        const gradient_bands bands = compute_gradient_bands(green.data(), height, width, isa);
        std::vector<int32_t> left(static_cast<size_t>(width), kUntouched), right = left;
        trace_line_left(bands, r0, c0, left.data(), isa);
        trace_line_right(bands, r0, c0, right.data(), isa);
        const auto where = [&] {
          return "kind " + std::to_string(kind) + ", " + std::to_string(height) + " x " +
                 std::to_string(width) + " at " + std::to_string(r0) + ", " + std::to_string(c0) +
                 ", level " + std::to_string(static_cast<int>(isa));
        };
        ASSERT_EQ(left, want_left) << "left, " << where();
        ASSERT_EQ(right, want_right) << "right, " << where();
      }
    }
  }
}

}  // namespace
}  // namespace zorvel
