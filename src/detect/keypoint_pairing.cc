// Pairing of two labelled sets by their grid labels, and the debug lists of
// key points written into the working directory.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/file_open.h"
#include "common/unique_file.h"
#include "detect/keypoints.h"
#include "common/unique_file.h"

namespace zorvel {
namespace {

int32_t columns_held(const zorvel_key_points& set) {
  return static_cast<int32_t>(std::min({set.y.size(), set.x.size(), set.Yw.size(), set.Xw.size()}));
}

}  // namespace

int match_keypoints_by_label(zorvel_key_points& a, zorvel_key_points& b, int32_t count_a,
                             int32_t count_b) {
  // Counts beyond the columns cannot be read, pairs beyond them cannot be kept.
  count_a = std::clamp(count_a, 0, columns_held(a));
  count_b = std::clamp(count_b, 0, columns_held(b));
  const int32_t room = std::min(columns_held(a), columns_held(b));
  const zorvel_key_points copy_a = a;
  const zorvel_key_points copy_b = b;
  int32_t m = 0;
  for (int32_t i = 0; i < count_a; ++i) {
    for (int32_t j = 0; j < count_b; ++j) {
      if (copy_a.Yw[i] != copy_b.Yw[j] || copy_a.Xw[i] != copy_b.Xw[j]) continue;
      if (m == room) return m;
      a.y[m] = copy_a.y[i];
      a.x[m] = copy_a.x[i];
      a.Yw[m] = copy_a.Yw[i];
      a.Xw[m] = copy_a.Xw[i];
      b.y[m] = copy_b.y[j];
      b.x[m] = copy_b.x[j];
      b.Yw[m] = copy_b.Yw[j];
      b.Xw[m] = copy_b.Xw[j];
      ++m;
    }
  }
  return m;
}

void write_int_list(const int32_t* values, int32_t count, const char* file_name) {
  unique_file file(open_file(file_name, "wb"));
  if (!file) return;
  std::fprintf(file.get(), "%d \n", 1);
  std::fprintf(file.get(), "%d \n", count);
  for (int32_t i = 0; values != nullptr && i < count; ++i) {
    std::fprintf(file.get(), "%d \n", values[i]);
  }
}

void write_rectified_keypoints_debug(const zorvel_chart_pair& main_pair,
                                     const zorvel_chart_pair& aux_pair, int32_t count) {
  unique_file file(open_file("key_points_after_rectification_debug.txt", "wb"));
  if (!file) return;
  const zorvel_key_points& m = main_pair.main_points;
  const zorvel_key_points& a = aux_pair.aux_points;
  std::fprintf(file.get(), "%d \n", 1);
  std::fprintf(file.get(), "%d \n", count);
  std::fprintf(file.get(),
               "\n X-Label-Main    Y-Label-Main    X_Coor_Main    Y_Coor_Main    X-Label-Aux    "
               "Y-Label-Aux      X_Coor_Aux     Y_Coor_Aux");
  const int32_t rows = std::clamp(count, 0, std::min(columns_held(m), columns_held(a)));
  for (int32_t i = 0; i < rows; ++i) {
    std::fprintf(file.get(), "\n  %d, %d, %d, %d, %d, %d, %d, %d", m.Xw[i], m.Yw[i], m.x[i],
                 m.y[i], a.Xw[i], a.Yw[i], a.x[i], a.y[i]);
  }
}

}  // namespace zorvel
