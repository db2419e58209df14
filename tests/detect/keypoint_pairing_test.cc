// Pairing by label and the debug lists.
#include <gtest/gtest.h>

#include "detect/keypoints.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

zorvel_key_points labelled(std::initializer_list<std::array<int32_t, 4>> entries,
                           size_t capacity = kKeyPointCapacity) {
  zorvel_key_points set(capacity);
  size_t i = 0;
  for (const auto& e : entries) set.y[i] = e[0], set.x[i] = e[1], set.Yw[i] = e[2], set.Xw[i++] = e[3];
  return set;
}

TEST(MatchKeypoints, KeepsCorrespondingEntriesInTheOrderOfAWithinTheSets) {
  zorvel_key_points a = labelled({{10, 11, 0, 0}, {20, 21, 0, 1}});
  zorvel_key_points b = labelled({{30, 31, 0, 1}, {40, 41, 5, 5}});
  EXPECT_EQ(match_keypoints_by_label(a, b, 2, 2), 1);
  EXPECT_EQ((std::array{a.y[0], a.Xw[0], b.y[0], b.x[0]}), (std::array{20, 1, 30, 31}));
  // Duplicate labels pair per combination: four, room for three.
  zorvel_key_points c = labelled({{1, 1, 2, 2}, {2, 2, 2, 2}}, 3);
  zorvel_key_points d = labelled({{3, 3, 2, 2}, {4, 4, 2, 2}}, 3);
  EXPECT_EQ(match_keypoints_by_label(c, d, 2, 2), 3);
  EXPECT_EQ(c.y[2] * 10 + d.y[2], 23);
  // Counts beyond the columns are limited to them.
  zorvel_key_points e = labelled({{1, 1, 0, 0}}, 1), f = labelled({{2, 2, 0, 0}}, 1);
  EXPECT_EQ(match_keypoints_by_label(e, f, 50, -3), 0);
  EXPECT_EQ(match_keypoints_by_label(e, f, 50, 50), 1);
}

TEST(DebugLists, ExactTextAndSilentSkip) {
  scratch_dir dir(true);
  const int32_t values[] = {7, -3};
  write_int_list(values, 2, "list.txt");
  EXPECT_EQ(read_file("list.txt"), "1 \n2 \n7 \n-3 \n");
  zorvel_chart_pair main, aux;
  main.main_points = labelled({{100, 200, -1, 2}});
  aux.aux_points = labelled({{101, 190, -1, 2}});
  write_rectified_keypoints_debug(main, aux, 1);
  EXPECT_EQ(read_file("key_points_after_rectification_debug.txt"),
            "1 \n1 \n\n X-Label-Main    Y-Label-Main    X_Coor_Main    Y_Coor_Main    "
            "X-Label-Aux    Y-Label-Aux      X_Coor_Aux     Y_Coor_Aux\n  2, -1, 200, 100, 2, "
            "-1, 190, 101");
  // A file that cannot be created is skipped without a word.
  EXPECT_EQ(capture_stdout([&] { write_int_list(values, 2, "missing_dir/list.txt"); }), "");
}

}  // namespace
}  // namespace zorvel::test
