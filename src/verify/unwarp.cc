// The unwarp stage of the verification, in the order the stored calibration
// needs it. Focal lengths in working pixels, pixel (row, column).
#include "verify/unwarp.h"

#include <algorithm>
#include <cstdio>

#include "verify/adjustment.h"
#include "detect/debug_output.h"
#include "detect/preprocess.h"
#include "driver/context.h"
#include "image/bmp.h"
#include "stereo/rectify.h"

namespace zorvel {
namespace {

constexpr uint8_t kModeRotatedImages = 6;
constexpr float kAdjustMin = 0.97f;
constexpr float kAdjustMax = 1.03f;

constexpr const char* kRectifiedAux = "rectified-aux-flat.bmp";
constexpr const char* kOrigAux = "orig-aux-flat.bmp";
constexpr const char* kOrigMain = "orig-main-flat.bmp";
constexpr const char* kRectMainRot = "rect-main-rot.bmp";
constexpr const char* kRectAuxRot = "rect-aux-rot.bmp";

// Lens adjustment factor of one camera, clamped to [0.97, 1.03] (compared in
// double, kept in single precision).
float adjust_factor(double indicator, float ratio, const float kp_fl_ratio[5],
                    const float adjust_ratio[5]) {
  float a = 1.0f;
  if (indicator > 0) a = interpolate_adjustment(ratio, kp_fl_ratio, adjust_ratio);
  if (static_cast<double>(a) < 0.97) a = kAdjustMin;
  if (static_cast<double>(a) > 1.03) a = kAdjustMax;
  return a;
}

// Copies a debug image read back from the working directory into target at
// the size the file itself reports. False when the file could not be parsed.
bool copy_debug_image(const char* source, const char* target, bool announce,
                      const char* direction, const zorvel_chart_pair& p1) {
  zorvel_bmp_read reader(source);
  if (reader.parse() != 1) return false;
  if (announce) {
    std::printf("\n Direction is %s Width = %d Height = %d", direction, p1.main_width,
                p1.main_height);
  }
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (reader.get_planes(&r, &g, &b) != 1) return true;
  uint32_t width = 0, height = 0;
  reader.get_size(&width, &height);
  zorvel_bmp_write writer(target);
  writer.write(r, g, b, width, height);
  return true;
}

void write_rotated_debug_images(const char* direction, const zorvel_chart_pair& p1) {
  if (!copy_debug_image(kOrigMain, kRectMainRot, true, direction, p1)) {
    std::printf("\nError: Failed to parse orig-main-flat.bmp\n");
    return;
  }
  copy_debug_image(kRectifiedAux, kRectAuxRot, false, direction, p1);
}

}  // namespace

zorvel_unwarp_result unwarp_for_verification(const zorvel_capture_pair& capture,
                                             const zorvel_calib_context& pc_cfg,
                                             const zorvel_calib_context& verify_ctx,
                                             zorvel_chart_pair& p1, zorvel_chart_pair& p2,
                                             zorvel_chart_pair& p3) {
  zorvel_unwarp_result result;
  const uint8_t mode = verify_ctx.run_mode;
  const bool alternative = uses_alternative_dewarp(mode);

  // 1. Focal lengths at the verification distance.
  const float fl_ref = verify_ctx.main_focal_length_ratio / pc_cfg.main_focal_length_ratio *
                       pc_cfg.main_focal_length;
  const float fl_aux = verify_ctx.aux_focal_length_ratio / pc_cfg.aux_focal_length_ratio *
                       pc_cfg.aux_focal_length;
  std::printf("FL Ref = %f  FL Aux = %f", static_cast<double>(fl_ref),
              static_cast<double>(fl_aux));

  // 2.-3. Working pair for detection.
  normalize_capture_pair(capture, pc_cfg.swap_dimensions != 0, p1);
  if (alternative) {
    dewarp_pair(working_form_of(pc_cfg), p1, p3);
  } else {
    std::printf("\n Unwarp AUX Init");
    dewarp_aux_only(working_form_of(pc_cfg), p1, p3);
  }
  std::printf("\n FLRatioRef = %f  FLRatioAux = %f",
              static_cast<double>(pc_cfg.main_focal_length_ratio),
              static_cast<double>(pc_cfg.aux_focal_length_ratio));

  // 4.-8. Second pair, not dewarped; lens adjustment of the focal lengths.
  normalize_capture_pair(capture, pc_cfg.swap_dimensions != 0, p2);
  const double d_aux = dewarp_indicator(pc_cfg.dewarp_coeff_aux);
  const double d_main = dewarp_indicator(pc_cfg.dewarp_coeff_main);
  const float a_main = adjust_factor(d_main, verify_ctx.main_focal_length_ratio,
                                     pc_cfg.main_kp_fl_ratio, pc_cfg.main_adjust_ratio);
  const float a_aux = adjust_factor(d_aux, verify_ctx.aux_focal_length_ratio,
                                    pc_cfg.aux_kp_fl_ratio, pc_cfg.aux_adjust_ratio);
  std::printf("\n Adjust Factor Main = %f", static_cast<double>(a_main));
  std::printf("\n Adjust Factor Aux = %f", static_cast<double>(a_aux));
  result.fr = std::max(1.0, static_cast<double>(fl_ref) / static_cast<double>(a_main));
  result.fa = std::max(1.0, static_cast<double>(fl_aux) / static_cast<double>(a_aux));

  // 9.-10. Rectification of the aux image into the main geometry.
  result.direction = rotation_direction(static_cast<uint32_t>(pc_cfg.main_aux_rotation_flag));
  if (rectify_aux(p1, p2, static_cast<float>(result.fr), pc_cfg.rot,
                  static_cast<float>(result.fa), p1.aux_height, p1.aux_width,
                  pc_cfg.projection_offset_x, pc_cfg.projection_offset_y, pc_cfg.geo) != 0) {
    std::printf("\nError: aux image of %dx%d pixels cannot be rectified\n", p1.aux_width,
                p1.aux_height);
    result.status = -1;
    return result;
  }

  // 11. Normal path: the main lens warp applied to the rectified aux image.
  if (!alternative) {
    std::printf("\n Unwarp AUX DONE");
    const float F = pc_cfg.fl_dewarping_reference_main * verify_ctx.main_focal_length_ratio;
    const size_t n = static_cast<size_t>(p3.aux_width) * static_cast<size_t>(p3.aux_height);
    const bool sizes_agree = n > 0 && p2.aux_r.size() >= n && p2.aux_g.size() >= n &&
                             p2.aux_b.size() >= n && p3.aux_r.size() >= n &&
                             p3.aux_g.size() >= n && p3.aux_b.size() >= n;
    if (d_main > 0 && F != 0.0f && sizes_agree) {
      dewarp_planes(p2.aux_r.data(), p2.aux_g.data(), p2.aux_b.data(), p3.aux_r.data(),
                    p3.aux_g.data(), p3.aux_b.data(), p3.aux_width, p3.aux_height, F,
                    pc_cfg.crop_percent_for_aux, pc_cfg.warp_coeff_main[0],
                    pc_cfg.warp_coeff_main[1], pc_cfg.warp_coeff_main[2],
                    pc_cfg.warp_coeff_main[3]);
      copy_aux_planes(p3, p2, p3.aux_height, p3.aux_width);
    }
  }

  // 12.-13. Debug images; mode 6 re-reads two of them.
  if (mode > 0) {
    write_debug_image(kRectifiedAux, p2.aux_r, p2.aux_g, p2.aux_b, p2.aux_width, p2.aux_height);
    write_debug_image(kOrigAux, p1.aux_r, p1.aux_g, p1.aux_b, p1.aux_width, p1.aux_height);
    write_debug_image(kOrigMain, p1.main_r, p1.main_g, p1.main_b, p1.main_width, p1.main_height);
  }
  if (mode == kModeRotatedImages) write_rotated_debug_images(result.direction, p1);
  return result;
}

}  // namespace zorvel
