// The unwarp stage of the verification, in the order the stored calibration
// needs it. Focal lengths in working pixels, pixel (row, column).
#include "verify/unwarp.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/run_messages.h"
#include "detect/debug_output.h"
#include "detect/preprocess.h"
#include "image/bmp.h"
#include "stereo/rectify.h"
#include "verify/adjustment.h"

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

struct focal_lengths {
  float main = 0.0f;
  float aux = 0.0f;
};

// The stored focal lengths belong to the L chart's focus; the flat chart is
// focused elsewhere, and the focal length scales with the ratio.
focal_lengths focal_lengths_at_flat_chart(const zorvel_verification_input& in) {
  const focal_lengths f{in.flat_chart_ratios.main / in.l_chart_ratios.main * in.model.main_focal_px,
                        in.flat_chart_ratios.aux / in.l_chart_ratios.aux * in.model.aux_focal_px};
  std::printf("FL Ref = %f  FL Aux = %f", static_cast<double>(f.main), static_cast<double>(f.aux));
  return f;
}

// Lens adjustment factor of one camera, clamped to [0.97, 1.03] (compared in
// double, kept in single precision). Only a dewarped lens is adjusted.
float adjust_factor(double indicator, float ratio, const zorvel_lens_adjustment& table) {
  float a = 1.0f;
  if (indicator > 0) a = interpolate_adjustment(ratio, table.kp_fl_ratio, table.adjust_ratio);
  if (static_cast<double>(a) < 0.97) a = kAdjustMin;
  if (static_cast<double>(a) > 1.03) a = kAdjustMax;
  return a;
}

// Working captures for detection. scratch gets the working sizes; on the
// normal path its aux planes receive the main-lens warp later.
zorvel_chart_pair dewarped_captures(const zorvel_capture_pair& capture,
                                    const zorvel_verification_input& in,
                                    zorvel_chart_pair& scratch) {
  zorvel_chart_pair pair;
  const bool both = uses_alternative_dewarp(in.run_mode);
  if (!both) {
    std::printf("\n Unwarp AUX Init");
    std::printf(" Sum coeff %f", dewarp_indicator(in.form.aux_lens.dewarp_coeff));
  }
  dewarped_working_pair(capture, in.form, both, pair, scratch);
  return pair;
}

// Sets the effective focal lengths of out: the flat-chart focal lengths
// divided by each lens's adjustment, never below one pixel.
void adjust_focal_lengths(const zorvel_verification_input& in, focal_lengths focal,
                          zorvel_unwarped_flat_chart& out) {
  const float a_main = adjust_factor(dewarp_indicator(in.form.main_lens.dewarp_coeff),
                                     in.flat_chart_ratios.main, in.main_adjustment);
  const float a_aux = adjust_factor(dewarp_indicator(in.form.aux_lens.dewarp_coeff),
                                    in.flat_chart_ratios.aux, in.aux_adjustment);
  std::printf("\n Adjust Factor Main = %f", static_cast<double>(a_main));
  std::printf("\n Adjust Factor Aux = %f", static_cast<double>(a_aux));
  out.main_focal_px = std::max(1.0, static_cast<double>(focal.main) / static_cast<double>(a_main));
  out.aux_focal_px = std::max(1.0, static_cast<double>(focal.aux) / static_cast<double>(a_aux));
}

// Each main pixel's ray is (row, column, main focal length); the rotation
// carries it into the aux camera, which projects it at its own focal length.
bool rectify_into_main_geometry(const zorvel_verification_input& in,
                                zorvel_unwarped_flat_chart& out) {
  const zorvel_chart_pair& source = out.dewarped;
  if (rectify_aux(source, out.rectified, static_cast<float>(out.main_focal_px), in.model.rot,
                  static_cast<float>(out.aux_focal_px), source.aux_height, source.aux_width,
                  in.model.projection_offset_x, in.model.projection_offset_y,
                  in.model.geo) == 0) {
    return true;
  }
  report_failure("\nError: aux image of %dx%d pixels cannot be rectified\n", source.aux_width,
              source.aux_height);
  return false;
}

// On the normal path only the aux camera was dewarped: the rectified aux
// image gets the main lens's distortion back so it matches the main capture.
// scratch has the aux working size from the dewarp.
void warp_with_main_lens(const zorvel_verification_input& in, zorvel_chart_pair& rectified,
                         zorvel_chart_pair& scratch) {
  std::printf("\n Unwarp AUX DONE");
  const zorvel_lens_model& lens = in.form.main_lens;
  const float F = lens.fl_dewarping_reference * in.flat_chart_ratios.main;
  const size_t n = static_cast<size_t>(scratch.aux_width) * static_cast<size_t>(scratch.aux_height);
  // The warp writes every byte of scratch's aux planes; a dewarp that had
  // nothing to do left them unsized.
  for (std::vector<uint8_t>* plane : {&scratch.aux_r, &scratch.aux_g, &scratch.aux_b}) {
    if (plane->size() < n) plane->resize(n);
  }
  const bool sizes_agree = n > 0 && rectified.aux_r.size() >= n && rectified.aux_g.size() >= n &&
                           rectified.aux_b.size() >= n && scratch.aux_r.size() >= n &&
                           scratch.aux_g.size() >= n && scratch.aux_b.size() >= n;
  if (dewarp_indicator(lens.dewarp_coeff) > 0 && F != 0.0f && sizes_agree) {
    dewarp_planes(rectified.aux_r.data(), rectified.aux_g.data(), rectified.aux_b.data(),
                  scratch.aux_r.data(), scratch.aux_g.data(), scratch.aux_b.data(),
                  scratch.aux_width, scratch.aux_height, F, in.form.crop_percent_for_aux,
                  lens.warp_coeff[0], lens.warp_coeff[1], lens.warp_coeff[2], lens.warp_coeff[3]);
    // The warped planes replace the rectified ones: exchanged when their
    // sizes agree, copied (as many bytes as the warp wrote) otherwise.
    std::vector<uint8_t>* warped[3] = {&scratch.aux_r, &scratch.aux_g, &scratch.aux_b};
    std::vector<uint8_t>* target[3] = {&rectified.aux_r, &rectified.aux_g, &rectified.aux_b};
    bool same_size = true;
    for (int p = 0; p < 3; ++p) same_size = same_size && warped[p]->size() == target[p]->size();
    if (same_size) {
      for (int p = 0; p < 3; ++p) warped[p]->swap(*target[p]);
    } else {
      copy_aux_planes(scratch, rectified, scratch.aux_height, scratch.aux_width);
    }
  }
}

// Copies a debug image read back from the working directory into target at
// the size the file itself reports. False when the file could not be parsed.
bool copy_debug_image(const char* source, const char* target, bool announce,
                      const char* direction, const zorvel_chart_pair& dewarped) {
  zorvel_bmp_read reader(source);
  if (reader.parse() != 1) return false;
  if (announce) {
    std::printf("\n Direction is %s Width = %d Height = %d", direction, dewarped.main_width,
                dewarped.main_height);
  }
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (reader.get_planes(&r, &g, &b) != 1) return true;
  uint32_t width = 0, height = 0;
  reader.get_size(&width, &height);
  zorvel_bmp_write writer(target);
  writer.write(r, g, b, width, height);
  return true;
}

void write_rotated_debug_images(const char* direction, const zorvel_chart_pair& dewarped) {
  if (!copy_debug_image(kOrigMain, kRectMainRot, true, direction, dewarped)) {
    report_failure("\nError: Failed to parse orig-main-flat.bmp\n");
    return;
  }
  copy_debug_image(kRectifiedAux, kRectAuxRot, false, direction, dewarped);
}

void write_debug_images(const zorvel_verification_input& in, const zorvel_unwarped_flat_chart& out) {
  const zorvel_chart_pair& d = out.dewarped;
  const zorvel_chart_pair& r = out.rectified;
  if (in.run_mode > 0) {
    write_debug_image(kRectifiedAux, r.aux_r, r.aux_g, r.aux_b, r.aux_width, r.aux_height);
    write_debug_image(kOrigAux, d.aux_r, d.aux_g, d.aux_b, d.aux_width, d.aux_height);
    write_debug_image(kOrigMain, d.main_r, d.main_g, d.main_b, d.main_width, d.main_height);
  }
  if (in.run_mode == kModeRotatedImages) {
    write_rotated_debug_images(rotation_direction(in.rotation_flag), d);
  }
}

}  // namespace

zorvel_unwarped_flat_chart unwarp_for_verification(const zorvel_capture_pair& capture,
                                                   const zorvel_verification_input& input) {
  zorvel_unwarped_flat_chart out;
  const focal_lengths focal = focal_lengths_at_flat_chart(input);
  zorvel_chart_pair scratch;
  out.dewarped = dewarped_captures(capture, input, scratch);
  std::printf("\n FLRatioRef = %f  FLRatioAux = %f",
              static_cast<double>(input.l_chart_ratios.main),
              static_cast<double>(input.l_chart_ratios.aux));
  // The rectification writes every aux pixel and nothing reads the main
  // planes: the pair gets its sizes and key-point sets, no pixels.
  size_working_pair(capture, input.form.rotated, out.rectified);
  adjust_focal_lengths(input, focal, out);
  if (!rectify_into_main_geometry(input, out)) return out;
  if (!uses_alternative_dewarp(input.run_mode)) warp_with_main_lens(input, out.rectified, scratch);
  write_debug_images(input, out);
  out.ok = true;
  return out;
}

}  // namespace zorvel
