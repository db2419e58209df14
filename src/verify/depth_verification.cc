// Depth verification pipeline: unwarp, key-point detection on both images,
// then the measures of the paired points.
#include "verify/depth_verification.h"

#include <cstdio>
#include <utility>

#include "common/run_messages.h"
#include "detect/keypoints.h"
#include "verify/rectified_pair_measures.h"
#include "verify/unwarp.h"

namespace zorvel {
namespace {

struct detected_counts {
  bool ok = false;  // false after printing which image failed
  int32_t main = 0;
  int32_t aux = 0;
};

// Main key points from the main capture, aux key points from the rectified
// aux image; the planes are equalised in place.
detected_counts detect_both(const zorvel_verification_input& in, zorvel_unwarped_flat_chart& u,
                            zorvel_run_details& details) {
  detected_counts counts;
  zorvel_chart_pair& m = u.dewarped;
  zorvel_chart_pair& a = u.rectified;
  note_image(details, "main flat", m.main_r, m.main_g, m.main_b, m.main_width, m.main_height);
  note_image(details, "aux flat", a.aux_r, a.aux_g, a.aux_b, a.aux_width, a.aux_height);
  counts.main = detect_flat_chart_keypoints(m.main_r.data(), m.main_g.data(), m.main_b.data(),
                                            m.main_height, m.main_width, m.main_points,
                                            in.main_mono ? 1 : 0);
  note_detection(details, "main flat", m.main_width, m.main_height, counts.main, m.main_points);
  if (counts.main < 1) {
    report_failure("Main Flat chart image key point detection failed\n");
    return counts;
  }
  counts.aux = detect_flat_chart_keypoints(a.aux_r.data(), a.aux_g.data(), a.aux_b.data(),
                                           a.aux_height, a.aux_width, a.aux_points,
                                           in.aux_mono ? 1 : 0);
  note_detection(details, "aux flat", a.aux_width, a.aux_height, counts.aux, a.aux_points);
  if (counts.aux < 1) {
    report_failure("Aux Flat chart image key point detection failed\n");
    return counts;
  }
  counts.ok = true;
  return counts;
}

}  // namespace

zorvel_verification_result depth_verification(const zorvel_capture_pair& capture,
                                              const zorvel_verification_input& input) {
  zorvel_verification_result result;
  result.details.keep_images = input.keep_images;
  result.details.image_reduction = input.image_reduction;
  zorvel_unwarped_flat_chart unwarped = unwarp_for_verification(capture, input);
  if (!unwarped.ok) return result;
  if (stops_after_images(input.run_mode)) {
    result.ok = true;
    return result;
  }
  const detected_counts counts = detect_both(input, unwarped, result.details);
  if (!counts.ok) return result;
  return measure_rectified_pairs(input, std::move(unwarped.dewarped),
                                 std::move(unwarped.rectified), unwarped.main_focal_px,
                                 counts.main, counts.aux, &result.details);
}

}  // namespace zorvel
