#include "detect/run_details.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zorvel {

void note_detection(zorvel_run_details& d, const char* image, int32_t width, int32_t height,
                    int32_t detected, const zorvel_key_points& set) {
  zorvel_detected_image out;
  out.image = image;
  out.width = width;
  out.height = height;
  out.detected = detected;
  const size_t n = std::min(static_cast<size_t>(std::max(detected, 0)), set.capacity());
  const auto head = [n](const std::vector<int32_t>& v) {
    return std::vector<int32_t>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(
                                                            std::min(n, v.size())));
  };
  out.points.y = head(set.y);
  out.points.x = head(set.x);
  out.points.Yw = head(set.Yw);
  out.points.Xw = head(set.Xw);
  out.points.Zw = head(set.Zw);
  d.detections.push_back(std::move(out));
}

void note_paired(zorvel_run_details& d, const char* image, int32_t paired) {
  for (zorvel_detected_image& det : d.detections) {
    if (std::strcmp(det.image, image) == 0) det.paired = paired;
  }
}

void note_image(zorvel_run_details& d, const char* image, const std::vector<uint8_t>& r,
                const std::vector<uint8_t>& g, const std::vector<uint8_t>& b, int32_t width,
                int32_t height) {
  const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (!d.keep_images || width < 1 || height < 1 || r.size() < size || g.size() < size ||
      b.size() < size) {
    return;
  }
  const int32_t f = std::max(d.image_reduction, 1);
  zorvel_reduced_image out;
  out.image = image;
  out.reduction = f;
  out.width = (width + f - 1) / f;
  out.height = (height + f - 1) / f;
  out.rgb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3);
  const std::vector<uint8_t>* planes[3] = {&r, &g, &b};
  for (int32_t oy = 0; oy < out.height; ++oy) {
    for (int32_t ox = 0; ox < out.width; ++ox) {
      const int32_t y1 = std::min(height, (oy + 1) * f), x1 = std::min(width, (ox + 1) * f);
      for (int c = 0; c < 3; ++c) {
        uint32_t sum = 0, count = 0;
        for (int32_t y = oy * f; y < y1; ++y) {
          for (int32_t x = ox * f; x < x1; ++x) {
            sum += (*planes[c])[static_cast<size_t>(y) * static_cast<size_t>(width) +
                                static_cast<size_t>(x)];
            ++count;
          }
        }
        out.rgb[(static_cast<size_t>(oy) * static_cast<size_t>(out.width) +
                 static_cast<size_t>(ox)) * 3 + static_cast<size_t>(c)] =
            static_cast<uint8_t>(sum / count);
      }
    }
  }
  d.images.push_back(std::move(out));
}

void note_pair_disparities(zorvel_run_details& d, const zorvel_key_points& main,
                           const double* rect_rows, const double* rect_cols, int32_t n,
                           int32_t width, int32_t height) {
  d.pairs.clear();
  d.pairs_width = width;
  d.pairs_height = height;
  const size_t count = std::min(static_cast<size_t>(std::max(n, 0)), main.capacity());
  d.pairs.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    zorvel_pair_disparity p;
    p.y = main.y[i];
    p.x = main.x[i];
    p.vd = rect_rows[i] - static_cast<double>(main.y[i]);
    p.hd = std::fabs(static_cast<double>(main.x[i]) - rect_cols[i]);
    d.pairs.push_back(p);
  }
}

}  // namespace zorvel
