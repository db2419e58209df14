// Resampling of the captures to the 1280-pixel working side and removal of
// the radial lens distortion. Pixel positions are (row, column); the dewarp
// polynomial works on radii normalised by the reference length F.
#include "detect/preprocess.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "image/bilinear_taps.h"

namespace zorvel {
namespace {

// Working size of one camera: the normalised side is 1280, the other side
// keeps the aspect ratio (truncated). Sizes enter as unsigned values.
struct working_size {
  int32_t width = 0;
  int32_t height = 0;
  double step = 0.0;  // source pixels per working pixel
};

working_size working_size_of(int32_t src_width, int32_t src_height, bool rotated) {
  working_size size;
  if (src_width <= 0 || src_height <= 0) return size;
  const double w = static_cast<double>(static_cast<uint32_t>(src_width));
  const double h = static_cast<double>(static_cast<uint32_t>(src_height));
  const double other = rotated ? std::trunc(w * kWorkingSide / h) : std::trunc(h * kWorkingSide / w);
  // An absurd aspect ratio would overflow the plane size: leave the camera empty.
  if (!(other >= 0.0) || other > 65536.0) return size;
  if (rotated) {
    size.height = kWorkingSide;
    size.width = static_cast<int32_t>(other);
    size.step = h / kWorkingSide;
  } else {
    size.width = kWorkingSide;
    size.height = static_cast<int32_t>(other);
    size.step = w / kWorkingSide;
  }
  return size;
}

// Nearest source index of working index i: trunc(i * s + 0.5) kept to its low
// 16 bits, clamped to the source so small captures never read past the end.
std::vector<int32_t> source_indices(int32_t count, double step, int32_t src_size) {
  std::vector<int32_t> index(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const auto rounded = static_cast<uint16_t>(static_cast<int64_t>(i * step + 0.5));
    index[i] = rounded < src_size ? rounded : src_size - 1;
  }
  return index;
}

void resample_camera(const uint8_t* const src[3], int32_t src_width, int32_t src_height,
                     bool rotated, bool sampled, std::vector<uint8_t>* dst[3],
                     int32_t& dst_width, int32_t& dst_height) {
  const working_size size = working_size_of(src_width, src_height, rotated);
  dst_width = size.width;
  dst_height = size.height;
  const size_t n = static_cast<size_t>(size.width) * size.height;
  // Every byte is written below; only a missing source plane leaves zeros.
  for (int p = 0; p < 3; ++p) {
    if (src[p] == nullptr) {
      dst[p]->assign(n, 0);
    } else {
      dst[p]->resize(n);
    }
  }
  if (n == 0) return;
  if (sampled) {
    for (int p = 0; p < 3; ++p) {
      if (src[p] != nullptr) std::memcpy(dst[p]->data(), src[p], n);
    }
    return;
  }
  const std::vector<int32_t> rows = source_indices(size.height, size.step, src_height);
  const std::vector<int32_t> cols = source_indices(size.width, size.step, src_width);
  // One pass over the column table fills all three planes of a row.
  const bool all_planes = src[0] && src[1] && src[2];
  for (int32_t i = 0; i < size.height; ++i) {
    const size_t src_offset = static_cast<size_t>(rows[i]) * src_width;
    const size_t out_offset = static_cast<size_t>(i) * size.width;
    if (all_planes) {
      const uint8_t *sr = src[0] + src_offset, *sg = src[1] + src_offset, *sb = src[2] + src_offset;
      uint8_t* orow = dst[0]->data() + out_offset;
      uint8_t* grow = dst[1]->data() + out_offset;
      uint8_t* brow = dst[2]->data() + out_offset;
      for (int32_t j = 0; j < size.width; ++j) {
        const int32_t c = cols[j];
        orow[j] = sr[c];
        grow[j] = sg[c];
        brow[j] = sb[c];
      }
      continue;
    }
    for (int p = 0; p < 3; ++p) {
      if (src[p] == nullptr) continue;
      const uint8_t* src_row = src[p] + src_offset;
      uint8_t* out_row = dst[p]->data() + out_offset;
      for (int32_t j = 0; j < size.width; ++j) out_row[j] = src_row[cols[j]];
    }
  }
}

// Clamp that also sends NaN to the lower bound (NaN fails both comparisons of
// a plain clamp and would become an out-of-range read). Written as two
// selections so the position loops vectorise.
inline double clamp_position(double v, double hi) {
  const double low = v >= 0.0 ? v : 0.0;
  return low > hi ? hi : low;
}

// Half the crop: floor(size * p / 100), rounded up to even, halved.
int32_t crop_margin(int32_t size, uint8_t crop_percent) {
  const int64_t cut = static_cast<int64_t>(size) * crop_percent / 100;
  return static_cast<int32_t>((cut + (cut & 1)) / 2);
}

// One dewarp: the planes, their size, the crop and the polynomial.
struct dewarp_job {
  const uint8_t* src[3];
  uint8_t* dst[3];
  int32_t width, height;
  float F;
  int32_t margin_rows, margin_cols;
  double c0, c1, c2, c3;
};

// One output row: the four neighbours of all three planes, then the same
// single-precision operations in the same order as per pixel.
ZORVEL_KERNEL_INLINE void sample_dewarped_row(const dewarp_job& job, int32_t y, int32_t first_col,
                                              size_t span, const float* u, const float* w,
                                              const int32_t* top, bilinear_taps& taps) {
  gather_bilinear_taps(job.src, static_cast<size_t>(job.width), top, span, taps);
  const size_t out_row = static_cast<size_t>(y) * job.width + first_col;
  for (int p = 0; p < 3; ++p) {
    const uint16_t* tp = taps.top(p);
    const uint16_t* bp = taps.bottom(p);
    uint8_t* d = job.dst[p] + out_row;
    for (size_t i = 0; i < span; ++i) {
      const float ui = u[i], wi = w[i], iu = 1.0f - ui, iw = 1.0f - wi;
      const auto s00 = static_cast<float>(tp[i] & 0xFF);
      const auto s01 = static_cast<float>(tp[i] >> 8);
      const auto s10 = static_cast<float>(bp[i] & 0xFF);
      const auto s11 = static_cast<float>(bp[i] >> 8);
      const float value = s00 * ui * wi + s01 * ui * iw + s10 * iu * wi + s11 * iu * iw;
      d[i] = static_cast<uint8_t>(static_cast<int32_t>(value));
    }
  }
}

// Every pixel inside the crop border: per row, first every source position
// and weight (plain double and float arithmetic on vectors), then the four
// neighbours of all three planes, then the interpolation of each plane.
ZORVEL_KERNEL_INLINE void dewarp_rows(const dewarp_job& job) {
  const int32_t width = job.width, height = job.height;
  const float F = job.F;
  const double c0 = job.c0, c1 = job.c1, c2 = job.c2, c3 = job.c3;
  const int32_t half_h = height / 2;
  const int32_t half_w = width / 2;
  const double max_row = height - 2;
  const double max_col = width - 2;
  const int32_t first_col = job.margin_cols, last_col = width - job.margin_cols - 1;
  if (last_col < first_col) return;
  const size_t span = static_cast<size_t>(last_col - first_col + 1);

  // Per-column terms do not depend on the row: x-hat in single precision and
  // its square widened to double, exactly as the per-pixel formula has them.
  std::vector<double> x_hat(span), x_hat_sq(span);
  for (size_t i = 0; i < span; ++i) {
    const float xh = static_cast<float>(first_col + static_cast<int32_t>(i) - half_w) / F;
    x_hat[i] = static_cast<double>(xh);
    x_hat_sq[i] = x_hat[i] * x_hat[i];
  }
  const double F_d = static_cast<double>(F);
  std::vector<int32_t> top(span), mirror_top(span);  // working planes stay below 2^31 bytes
  std::vector<float> u(span), mirror_u(span), w(span);
  bilinear_taps taps(span);
  // Rows mirrored about half_h share their radii, so their k and column
  // positions: y-hat of the mirror row is exactly -y-hat, and every step of
  // its row offset is the exact negation of this row's. Rows at or above the
  // centre are taken with their mirror below when it is inside the crop;
  // rows below whose mirror is cropped away are taken alone.
  const int32_t first_row = job.margin_rows, last_row = height - job.margin_rows - 1;
  for (int32_t y = first_row; y <= last_row; ++y) {
    const int32_t mirror = 2 * half_h - y;
    const bool paired = y < half_h && mirror <= last_row;
    if (y > half_h && mirror >= first_row) continue;  // done with its mirror
    const float y_hat = static_cast<float>(y - half_h) / F;
    const double y_hat_d = static_cast<double>(y_hat);
    const double y_hat_sq = y_hat_d * y_hat_d;
    for (size_t i = 0; i < span; ++i) {
      const double r2 = x_hat_sq[i] + y_hat_sq;
      const double r4 = r2 * r2;
      const double r6 = r4 * r2;
      const double k = c0 + c1 * r2 + c2 * r4 + c3 * r6;
      const double offset = (y_hat_d + k * y_hat_d) * F_d;
      const double sy = clamp_position(offset + half_h, max_row);
      const double sy_mirror = clamp_position(-offset + half_h, max_row);
      const double sx = clamp_position((x_hat[i] + k * x_hat[i]) * F_d + half_w, max_col);
      // Clamped positions are non-negative: truncation is the floor.
      const auto r0 = static_cast<int32_t>(sy);
      const auto r0_mirror = static_cast<int32_t>(sy_mirror);
      const auto col0 = static_cast<int32_t>(sx);
      u[i] = static_cast<float>(r0 + 1) - static_cast<float>(sy);
      mirror_u[i] = static_cast<float>(r0_mirror + 1) - static_cast<float>(sy_mirror);
      w[i] = static_cast<float>(col0 + 1) - static_cast<float>(sx);
      top[i] = r0 * width + col0;
      mirror_top[i] = r0_mirror * width + col0;
    }
    sample_dewarped_row(job, y, first_col, span, u.data(), w.data(), top.data(), taps);
    if (paired) {
      sample_dewarped_row(job, mirror, first_col, span, mirror_u.data(), w.data(),
                          mirror_top.data(), taps);
    }
  }
}

bool camera_qualifies(double indicator) { return indicator != 0.0 && indicator < 1.5; }

// Whether a camera's lens is dewarped on planes of width x height: its
// indicator asks for it, and F = 0 or a degenerate plane would divide by zero
// or sample outside.
bool lens_dewarps(const double coeff[5], float F, int32_t width, int32_t height) {
  return camera_qualifies(dewarp_indicator(coeff)) && F != 0.0f && width >= 2 && height >= 2;
}

// Dewarps one camera of pair when its indicator asks for it: the kernel
// writes into scratch, whose planes then change places with the camera's
// (scratch keeps the planes before the dewarp). A camera left as it is does
// not touch scratch.
void dewarp_camera(const double coeff[5], float F, uint8_t crop_percent, int32_t width,
                   int32_t height, std::vector<uint8_t>* planes[3],
                   std::vector<uint8_t>* scratch[3]) {
  const size_t n = static_cast<size_t>(width) * height;
  if (!lens_dewarps(coeff, F, width, height)) return;
  for (int p = 0; p < 3; ++p) {
    if (planes[p]->size() < n) return;
  }
  for (int p = 0; p < 3; ++p) {
    if (scratch[p]->size() != n) scratch[p]->resize(n);
  }
  dewarp_planes(planes[0]->data(), planes[1]->data(), planes[2]->data(), scratch[0]->data(),
                scratch[1]->data(), scratch[2]->data(), width, height, F, crop_percent, coeff[0],
                coeff[1], coeff[2], coeff[3]);
  for (int p = 0; p < 3; ++p) {
    // The dewarped planes are n bytes; a longer camera plane keeps its tail.
    if (planes[p]->size() != n) scratch[p]->insert(scratch[p]->end(), planes[p]->begin() + n, planes[p]->end());
    planes[p]->swap(*scratch[p]);
  }
}

// Working size used by the dewarp: the normalised side is 1280.
void dewarp_size(bool rotated, int32_t pair_width, int32_t pair_height,
                 int32_t& width, int32_t& height) {
  if (rotated) {
    width = pair_width;
    height = kWorkingSide;
  } else {
    width = kWorkingSide;
    height = pair_height;
  }
}

// The planes of one camera of a pair, with their size.
struct camera_planes {
  std::vector<uint8_t>* planes[3];
  int32_t pair_width;
  int32_t pair_height;
};

camera_planes aux_camera(zorvel_chart_pair& p) {
  return {{&p.aux_r, &p.aux_g, &p.aux_b}, p.aux_width, p.aux_height};
}

camera_planes main_camera(zorvel_chart_pair& p) {
  return {{&p.main_r, &p.main_g, &p.main_b}, p.main_width, p.main_height};
}

// Dewarps one camera of a pair through the same camera's planes of scratch,
// which take the working size. Both cameras use the aux camera's crop.
void dewarp_one(const zorvel_working_form& form, const zorvel_lens_model& lens,
                camera_planes camera, camera_planes work, int32_t& work_width,
                int32_t& work_height) {
  dewarp_size(form.rotated, camera.pair_width, camera.pair_height, work_width, work_height);
  dewarp_camera(lens.dewarp_coeff, lens.fl_dewarping_reference, form.crop_percent_for_aux,
                work_width, work_height, camera.planes, work.planes);
}

void dewarp_aux(const zorvel_working_form& form, zorvel_chart_pair& pair,
                zorvel_chart_pair& scratch) {
  dewarp_one(form, form.aux_lens, aux_camera(pair), aux_camera(scratch), scratch.aux_width,
             scratch.aux_height);
}

void dewarp_main(const zorvel_working_form& form, zorvel_chart_pair& pair,
                 zorvel_chart_pair& scratch) {
  dewarp_one(form, form.main_lens, main_camera(pair), main_camera(scratch), scratch.main_width,
             scratch.main_height);
}

// One camera of a capture at working size, dewarped when `dewarp` and its
// lens ask for it. A sampled capture is already at working size: a camera
// that is dewarped then samples the capture's planes straight into its own,
// the bytes a copy followed by the dewarp would give.
void working_camera(const uint8_t* const src[3], int32_t src_width, int32_t src_height,
                    bool sampled, const zorvel_working_form& form, const zorvel_lens_model& lens,
                    bool dewarp, camera_planes camera, int32_t& pair_width, int32_t& pair_height,
                    camera_planes work, int32_t& work_width, int32_t& work_height) {
  const working_size size = working_size_of(src_width, src_height, form.rotated);
  dewarp_size(form.rotated, size.width, size.height, work_width, work_height);
  const float F = lens.fl_dewarping_reference;
  const bool direct = dewarp && sampled && src[0] && src[1] && src[2] &&
                      lens_dewarps(lens.dewarp_coeff, F, work_width, work_height);
  if (!direct) {
    std::vector<uint8_t>* dst[3] = {camera.planes[0], camera.planes[1], camera.planes[2]};
    resample_camera(src, src_width, src_height, form.rotated, sampled, dst, pair_width,
                    pair_height);
    if (dewarp) {
      dewarp_camera(lens.dewarp_coeff, F, form.crop_percent_for_aux, work_width, work_height,
                    camera.planes, work.planes);
    }
    return;
  }
  pair_width = size.width;
  pair_height = size.height;
  const size_t n = static_cast<size_t>(size.width) * size.height;
  for (std::vector<uint8_t>* plane : camera.planes) plane->resize(n);
  dewarp_planes(src[0], src[1], src[2], camera.planes[0]->data(), camera.planes[1]->data(),
                camera.planes[2]->data(), work_width, work_height, F, form.crop_percent_for_aux,
                lens.dewarp_coeff[0], lens.dewarp_coeff[1], lens.dewarp_coeff[2],
                lens.dewarp_coeff[3]);
}

// Both cameras of a capture at working size, each dewarped when asked and
// its lens asks for it, and two key-point sets of 1200 entries.
void fill_working_pair(const zorvel_capture_pair& capture, const zorvel_working_form& form,
                       bool dewarp_aux, bool dewarp_main, zorvel_chart_pair& pair,
                       zorvel_chart_pair& scratch) {
  pair.normalized_side = kWorkingSide;
  const uint8_t* aux_src[3] = {capture.aux_r, capture.aux_g, capture.aux_b};
  working_camera(aux_src, capture.aux_width, capture.aux_height, capture.sampled, form,
                 form.aux_lens, dewarp_aux, aux_camera(pair), pair.aux_width, pair.aux_height,
                 aux_camera(scratch), scratch.aux_width, scratch.aux_height);
  const uint8_t* main_src[3] = {capture.main_r, capture.main_g, capture.main_b};
  working_camera(main_src, capture.main_width, capture.main_height, capture.sampled, form,
                 form.main_lens, dewarp_main, main_camera(pair), pair.main_width, pair.main_height,
                 main_camera(scratch), scratch.main_width, scratch.main_height);
  pair.main_points = zorvel_key_points(kKeyPointCapacity);
  pair.aux_points = zorvel_key_points(kKeyPointCapacity);
}

}  // namespace

void size_working_pair(const zorvel_capture_pair& capture, bool rotated, zorvel_chart_pair& pair) {
  pair.normalized_side = kWorkingSide;
  const working_size main_size = working_size_of(capture.main_width, capture.main_height, rotated);
  const working_size aux_size = working_size_of(capture.aux_width, capture.aux_height, rotated);
  pair.main_width = main_size.width;
  pair.main_height = main_size.height;
  pair.aux_width = aux_size.width;
  pair.aux_height = aux_size.height;
  pair.main_points = zorvel_key_points(kKeyPointCapacity);
  pair.aux_points = zorvel_key_points(kKeyPointCapacity);
}

void normalize_capture_pair(const zorvel_capture_pair& capture, bool rotated,
                            zorvel_chart_pair& pair) {
  zorvel_working_form form;
  form.rotated = rotated;
  zorvel_chart_pair unused;
  fill_working_pair(capture, form, false, false, pair, unused);
}

void dewarped_working_pair(const zorvel_capture_pair& capture, const zorvel_working_form& form,
                           bool main_too, zorvel_chart_pair& pair, zorvel_chart_pair& scratch) {
  fill_working_pair(capture, form, true, main_too, pair, scratch);
}

zorvel_sample_grid working_sample_grid(int32_t width, int32_t height, bool rotated) {
  const working_size size = working_size_of(width, height, rotated);
  zorvel_sample_grid grid;
  if (size.width == 0 || size.height == 0) return grid;
  grid.rows = source_indices(size.height, size.step, height);
  grid.cols = source_indices(size.width, size.step, width);
  return grid;
}

double dewarp_indicator(const double coeff[5]) {
  if (coeff[0] > 0) return coeff[0];
  if (coeff[1] - coeff[0] > 0) return coeff[1];
  if (coeff[2] - coeff[1] > 0) return coeff[2];
  if (coeff[3] - coeff[2] > 0) return coeff[3];
  if (coeff[4] - coeff[3] > 0) return coeff[4];
  return -coeff[4];
}

void dewarp_planes(const uint8_t* src_r, const uint8_t* src_g, const uint8_t* src_b, uint8_t* dst_r,
                   uint8_t* dst_g, uint8_t* dst_b, int32_t width, int32_t height, float F,
                   uint8_t crop_percent, double c0, double c1, double c2, double c3,
                   vector_isa isa) {
  if (F == 0.0f || width < 2 || height < 2) return;
  const int32_t margin_rows = crop_margin(height, crop_percent);
  const int32_t margin_cols = crop_margin(width, crop_percent);

  // The crop border is 0; every pixel inside it is written below.
  const int32_t first_row = margin_rows, last_row = height - margin_rows - 1;
  const int32_t first_col_in = margin_cols, last_col_in = width - margin_cols - 1;
  for (int32_t y = 0; y < height; ++y) {
    const size_t row = static_cast<size_t>(y) * width;
    for (uint8_t* d : {dst_r, dst_g, dst_b}) {
      if (y < first_row || y > last_row || first_col_in > last_col_in) {
        std::memset(d + row, 0, static_cast<size_t>(width));
      } else {
        std::memset(d + row, 0, static_cast<size_t>(first_col_in));
        std::memset(d + row + last_col_in + 1, 0, static_cast<size_t>(width - last_col_in - 1));
      }
    }
  }

  dewarp_job job;
  job.src[0] = src_r, job.src[1] = src_g, job.src[2] = src_b;
  job.dst[0] = dst_r, job.dst[1] = dst_g, job.dst[2] = dst_b;
  job.width = width, job.height = height, job.F = F;
  job.margin_rows = margin_rows, job.margin_cols = margin_cols;
  job.c0 = c0, job.c1 = c1, job.c2 = c2, job.c3 = c3;
  run_vector_kernel<dewarp_rows>(isa, job);
}

void dewarp_pair(const zorvel_working_form& form, zorvel_chart_pair& pair,
                 zorvel_chart_pair& scratch) {
  dewarp_aux(form, pair, scratch);
  dewarp_main(form, pair, scratch);
}

}  // namespace zorvel
