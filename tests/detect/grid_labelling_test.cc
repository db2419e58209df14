// Labelling scans on hand-placed key-point maps. The green plane carries
// straight edges (a generalised checkerboard) so the line searches lock onto
// known rows and columns.
#include <gtest/gtest.h>

#include <initializer_list>

#include "detect/grid_labelling.h"
#include "detect/line_search.h"

namespace zorvel {
namespace {

struct scene {
  int32_t height, width;
  std::vector<uint8_t> green, map;
  scene(int32_t h, int32_t w, std::initializer_list<int32_t> edge_rows,
        std::initializer_list<int32_t> edge_cols)
      : height(h), width(w), green(static_cast<size_t>(h) * w), map(green.size(), 0) {
    for (int32_t r = 0; r < h; ++r) {
      for (int32_t c = 0; c < w; ++c) {
        int32_t crossings = 0;
        for (int32_t e : edge_rows) crossings += r >= e;
        for (int32_t e : edge_cols) crossings += c >= e;
        green[static_cast<size_t>(r) * w + c] = crossings % 2 ? 200 : 20;
      }
    }
  }
  void mark(int32_t r, int32_t c) { map[static_cast<size_t>(r) * width + c] = 1; }
  int32_t label(pixel_position origin, chart_kind kind, zorvel_key_points& set) {
    const gradient_bands bands = compute_gradient_bands(green.data(), height, width);
    return label_grid(map, bands, origin, kind, set);
  }
};

TEST(LabelGrid, VerticalStepStartsTenRowsFromTheOrigin) {
  scene s(400, 600, {200}, {300});
  s.mark(190, 301);  // exactly 10 rows above: Yw = -1
  s.mark(109, 299);  // another corner further up: Yw = -2
  s.mark(209, 300);  // 9 rows below: never labelled
  s.mark(240, 296);
  zorvel_key_points set(kKeyPointCapacity);
  const int32_t result = s.label({200, 300}, chart_kind::flat, set);
  ASSERT_EQ(result, 3);  // four entries written, the last one uncounted
  EXPECT_EQ(set.y[0], 200);
  EXPECT_EQ(set.Yw[0], 0);
  EXPECT_EQ(set.y[1], 190);
  EXPECT_EQ(set.Yw[1], -1);
  EXPECT_EQ(set.y[2], 109);
  EXPECT_EQ(set.Yw[2], -2);
  EXPECT_EQ(set.y[3], 240);
  EXPECT_EQ(set.x[3], 296);
  EXPECT_EQ(set.Yw[3], 1);
}

TEST(LabelGrid, OneFindPerBandLeftmostOrTopmost) {
  scene s(400, 600, {200}, {300});
  s.mark(150, 303);
  s.mark(150, 296);  // same row, same band: the leftmost wins
  s.mark(196, 250);  // same column band on the horizontal line: the topmost wins
  s.mark(204, 250);
  s.mark(201, 200);
  zorvel_key_points set(kKeyPointCapacity);
  const int32_t result = s.label({200, 300}, chart_kind::flat, set);
  ASSERT_EQ(result, 3);
  EXPECT_EQ(set.x[1], 296);
  EXPECT_EQ(set.y[2], 196);
  EXPECT_EQ(set.Xw[2], -1);
  EXPECT_EQ(set.Yw[2], 0);
  EXPECT_EQ(set.x[3], 200);
  EXPECT_EQ(set.Xw[3], -2);
  // The cleared band leaves nothing behind.
  EXPECT_EQ(s.map[150 * 600 + 303], 0);
  EXPECT_EQ(s.map[204 * 600 + 250], 0);
}

TEST(LabelGrid, FiveHundredEmptyColumnsEndAScan) {
  scene s(300, 1200, {150}, {1000});
  s.mark(150, 800);
  s.mark(150, 180);  // 619 empty columns after 800: never reached
  s.mark(150, 1100);
  s.mark(151, 1140);
  zorvel_key_points set(kKeyPointCapacity);
  const int32_t result = s.label({150, 1000}, chart_kind::flat, set);
  ASSERT_EQ(result, 3);
  EXPECT_EQ(set.x[1], 800);
  EXPECT_EQ(set.Xw[1], -1);
  EXPECT_EQ(set.x[2], 1100);
  EXPECT_EQ(set.Xw[2], 1);
  EXPECT_EQ(set.x[3], 1140);
  EXPECT_EQ(s.map[150 * 1200 + 180], 1);
}

TEST(LabelGrid, LChartSecondOriginAndDepthLabels) {
  scene s(400, 700, {200}, {300, 380});
  s.mark(205, 340);  // first column right of the origin: skipped
  s.mark(195, 380);  // second find within +-30 rows of 205: second origin
  s.mark(120, 381);  // above the second origin
  s.mark(199, 460);  // right of the second origin
  s.mark(201, 230);  // left of the origin
  s.mark(202, 520);
  zorvel_key_points set(kKeyPointCapacity);
  const int32_t result = s.label({200, 300}, chart_kind::l_chart, set);
  ASSERT_EQ(result, 5);
  EXPECT_EQ(set.x[1], 230);
  EXPECT_EQ(set.Xw[1], -1);
  EXPECT_EQ(set.Zw[1], 0);
  EXPECT_EQ(set.Zw[0], 0);
  EXPECT_EQ(set.x[2], 380);  // second origin: Xw = Zw = 1
  EXPECT_EQ(set.Yw[2], 0);
  EXPECT_EQ(set.Xw[2], 1);
  EXPECT_EQ(set.Zw[2], 1);
  EXPECT_EQ(set.y[3], 120);
  EXPECT_EQ(set.Yw[3], -1);
  EXPECT_EQ(set.Xw[3], 1);
  EXPECT_EQ(set.x[4], 460);
  EXPECT_EQ(set.Xw[4], 2);
  EXPECT_EQ(set.Zw[4], 2);
  // The uncounted last entry keeps its raw label and takes no depth label.
  EXPECT_EQ(set.x[5], 520);
  EXPECT_EQ(set.Xw[5], 2);
  EXPECT_EQ(set.Zw[5], 0);
}

TEST(LabelGrid, LChartWithoutSecondCornerColumnFails) {
  scene s(400, 700, {200}, {300});
  s.mark(205, 340);
  s.mark(300, 400);  // outside +-30 rows of the first find
  zorvel_key_points set(kKeyPointCapacity);
  EXPECT_EQ(s.label({200, 300}, chart_kind::l_chart, set), kNoSecondOrigin);
}

TEST(LabelGrid, StopsWhenTheSetIsFull) {
  scene s(400, 900, {200}, {300});
  for (int32_t c = 80; c <= 840; c += 40) {
    if (c != 300) s.mark(200, c);
  }
  zorvel_key_points set(5);
  EXPECT_EQ(s.label({200, 300}, chart_kind::flat, set), 4);
  EXPECT_EQ(set.x[4], 160);  // left of the origin: 280, 240, 200, 160
}

TEST(LabelGrid, OriginNearTheEdgeClipsBandsAndMaps) {
  // A mono origin 3 columns from the left edge: the up line and the map
  // bands reach beyond the image; nothing outside is read or written.
  scene s(300, 400, {150}, {3});
  s.mark(100, 0);
  s.mark(150, 60);
  zorvel_key_points set(kKeyPointCapacity);
  const int32_t result = s.label({150, 3}, chart_kind::flat, set);
  ASSERT_EQ(result, 2);
  EXPECT_EQ(set.x[1], 0);
  EXPECT_EQ(set.Yw[1], -1);
  EXPECT_EQ(set.x[2], 60);
}

}  // namespace
}  // namespace zorvel
