// The fast detectors against the step-by-step reference: identical results,
// sets and labels on drawn boards, noise and degenerate images.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "detect/keypoints.h"
#include "drawn_chart.h"
#include "reference_detector.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

struct planes {
  int32_t height, width;
  std::vector<uint8_t> r, g, b;
};

planes from_chart(const drawn_chart& chart) {
  return {chart.height, chart.width, chart.r, chart.g, chart.b};
}

// Runs both implementations on copies of the same planes and compares all
// results, including the uncounted last entry and the equalised planes.
int expect_same_as_reference(const planes& input, bool l_chart, bool mono,
                             const std::string& what) {
  SCOPED_TRACE(what);
  planes fast = input, slow = input;
  zorvel_key_points set(kKeyPointCapacity);
  int result = 0;
  const std::string printed = capture_stdout([&] {
    result = l_chart ? detect_l_chart_keypoints(fast.r.data(), fast.g.data(), fast.b.data(),
                                                fast.height, fast.width, set, mono)
                     : detect_flat_chart_keypoints(fast.r.data(), fast.g.data(), fast.b.data(),
                                                   fast.height, fast.width, set, mono);
  });
  reference_detector reference(input.height, input.width, l_chart);
  const reference_result expected = reference.run(slow.r, slow.g, slow.b, mono);
  EXPECT_EQ(fast.r, slow.r);
  EXPECT_EQ(fast.g, slow.g);
  EXPECT_EQ(fast.b, slow.b);
  EXPECT_EQ(result, expected.result);
  if (result != expected.result) return result;
  if (result < 0) {
    EXPECT_EQ(printed, "Origin detection failed\n");
    return result;
  }
  EXPECT_EQ(printed, "");
  // Physical entries: the counted ones plus the last appended one.
  const size_t written = expected.y.size();
  for (size_t e = 0; e < written; ++e) {
    SCOPED_TRACE("entry " + std::to_string(e));
    EXPECT_EQ(set.y[e], expected.y[e]);
    EXPECT_EQ(set.x[e], expected.x[e]);
    EXPECT_EQ(set.Yw[e], expected.Yw[e]);
    EXPECT_EQ(set.Xw[e], expected.Xw[e]);
    if (l_chart && static_cast<int>(e) < result) {
      EXPECT_EQ(set.Zw[e], expected.Zw[e]);
    }
  }
  return result;
}

TEST(DetectorReference, FlatAndLBoardsColourAndMono) {
  struct board_case {
    bool l_chart;
    int32_t height, width;
    double origin_row, origin_col, square_px, angle_deg;
    int min_found;
  };
  const board_case cases[] = {
      {false, 420, 520, 210.4, 262.7, 40.0, -3.0, 40},
      {false, 420, 520, 210.4, 262.7, 40.0, 0.0, 40},
      {false, 420, 520, 210.4, 262.7, 40.0, 2.5, 40},
      {true, 440, 600, 220.2, 250.6, 36.0, -2.0, 20},
      {true, 440, 600, 220.2, 250.6, 36.0, 1.5, 20},
  };
  for (const board_case& c : cases) {
    board_layout layout;
    layout.height = c.height;
    layout.width = c.width;
    layout.origin_row = c.origin_row;
    layout.origin_col = c.origin_col;
    layout.square_px = c.square_px;
    layout.angle_deg = c.angle_deg;
    const planes input = from_chart(draw_board(layout));
    const std::string name = std::string(c.l_chart ? "L" : "flat") + " " + std::to_string(c.angle_deg);
    EXPECT_GT(expect_same_as_reference(input, c.l_chart, false, name + " colour"), c.min_found);
    EXPECT_GT(expect_same_as_reference(input, c.l_chart, true, name + " mono"), c.min_found);
  }
}

TEST(DetectorReference, OriginsNearEveryEdge) {
  // Mono origins may lie anywhere; lines through them leave the image.
  const double rows[] = {30.3, 380.6};
  const double cols[] = {25.2, 470.8};
  for (const double row : rows) {
    for (const double col : cols) {
      board_layout layout;
      layout.height = 400;
      layout.width = 500;
      layout.origin_row = row;
      layout.origin_col = col;
      layout.square_px = 34.0;
      layout.angle_deg = 1.0;
      const planes input = from_chart(draw_board(layout));
      const std::string where = std::to_string(row) + "," + std::to_string(col);
      expect_same_as_reference(input, false, false, "flat colour " + where);
      expect_same_as_reference(input, false, true, "flat mono " + where);
      expect_same_as_reference(input, true, true, "L mono " + where);
    }
  }
}

TEST(DetectorReference, NoiseAndUniformImages) {
  std::mt19937 rng(7);
  planes noise{320, 420, {}, {}, {}};
  for (auto* p : {&noise.r, &noise.g, &noise.b}) {
    p->resize(static_cast<size_t>(noise.height) * noise.width);
    for (auto& v : *p) v = static_cast<uint8_t>(rng() & 0xff);
  }
  for (const bool mono : {false, true}) {
    expect_same_as_reference(noise, false, mono, "noise flat");
    expect_same_as_reference(noise, true, mono, "noise L");
  }
  for (const uint8_t level : {0, 100, 255}) {
    planes uniform{310, 410, {}, {}, {}};
    for (auto* p : {&uniform.r, &uniform.g, &uniform.b})
      p->assign(static_cast<size_t>(uniform.height) * uniform.width, level);
    for (const bool mono : {false, true}) {
      expect_same_as_reference(uniform, false, mono, "uniform flat " + std::to_string(level));
      expect_same_as_reference(uniform, true, mono, "uniform L " + std::to_string(level));
    }
  }
}

TEST(DetectorReference, DarkAndNoisyBoards) {
  board_layout layout;
  layout.height = 400;
  layout.width = 480;
  layout.origin_row = 200.5;
  layout.origin_col = 240.5;
  layout.square_px = 30.0;
  layout.angle_deg = -1.5;
  layout.gain = 0.3;  // under-exposed: equalisation saturates the light squares
  drawn_chart chart = draw_board(layout);
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0.0, 3.0);
  for (auto* p : {&chart.r, &chart.g, &chart.b}) {
    for (auto& v : *p) v = static_cast<uint8_t>(std::clamp(v + noise(rng), 0.0, 255.0));
  }
  const planes input = from_chart(chart);
  for (const bool mono : {false, true}) {
    expect_same_as_reference(input, false, mono, "dark flat");
    expect_same_as_reference(input, true, mono, "dark L");
  }
}

}  // namespace
}  // namespace zorvel::test
