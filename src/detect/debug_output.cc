// Debug images and value lists of the calibration drivers.
#include "common/file_open.h"
#include "detect/debug_output.h"

#include <cstdio>
#include <memory>

#include "detect/keypoints.h"
#include "image/bmp.h"

namespace zorvel {

void write_debug_image(const char* file_name, const std::vector<uint8_t>& r,
                       const std::vector<uint8_t>& g, const std::vector<uint8_t>& b,
                       int32_t width, int32_t height) {
  if (r.empty() || width <= 0 || height <= 0) return;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (r.size() < bytes || g.size() < bytes || b.size() < bytes) return;
  zorvel_bmp_write writer(file_name);
  writer.write(r.data(), g.data(), b.data(), static_cast<uint32_t>(width),
               static_cast<uint32_t>(height));
}

void write_double_list(const double* values, int32_t count, const char* file_name) {
  unique_file file(open_file(file_name, "wb"));
  if (!file) return;
  std::fprintf(file.get(), "%d \n", 1);
  std::fprintf(file.get(), "%d \n", count);
  for (int32_t i = 0; i < count; ++i) std::fprintf(file.get(), "%f \n", values[i]);
}

void write_point_lists(const zorvel_key_points& set, int32_t n,
                       std::initializer_list<const char*> names) {
  const std::vector<int32_t>* columns[5] = {&set.y, &set.x, &set.Yw, &set.Xw, &set.Zw};
  int32_t c = 0;
  for (const char* name : names) {
    if (c == 5) break;
    write_int_list(columns[c]->data(), n, name);
    ++c;
  }
}

}  // namespace zorvel
