// What the detection and measuring stages saw, kept beside the figures they
// compute so a run can report it: the labelled corners of every working image,
// each matched pair's disparity and, only when asked, reduced copies of the
// working images. Nothing here is printed or stored in a record.
#pragma once

#include <cstdint>
#include <vector>

#include "detect/chart_pair.h"

namespace zorvel {

// The corners found in one working image, positions from its top-left.
struct zorvel_detected_image {
  const char* image = "";  // "main L", "aux L", "main flat", "aux flat"
  int32_t width = 0;
  int32_t height = 0;
  int32_t detected = 0;  // what the detector returned; -1 without an origin
  int32_t paired = -1;   // kept after pairing, -1 until paired
  zorvel_key_points points;  // the first max(detected, 0) entries, origin first
};

// A working image averaged over reduction x reduction blocks, RGB interleaved.
struct zorvel_reduced_image {
  const char* image = "";
  int32_t width = 0;
  int32_t height = 0;
  int32_t reduction = 1;
  std::vector<uint8_t> rgb;
};

// One matched pair once the aux corner is in the main frame: the main
// corner's position (centre-relative, as the metrics use it), the signed
// row difference (aux - main) and the absolute column difference.
struct zorvel_pair_disparity {
  int32_t y = 0;
  int32_t x = 0;
  double vd = 0.0;
  double hd = 0.0;
};

struct zorvel_run_details {
  bool keep_images = false;  // set by the caller before the stages run
  int32_t image_reduction = 4;
  std::vector<zorvel_detected_image> detections;
  std::vector<zorvel_reduced_image> images;
  std::vector<zorvel_pair_disparity> pairs;
  int32_t pairs_width = 0;  // main working size the pairs are centred in
  int32_t pairs_height = 0;
};

// Copies the detected corners of one image (before any pairing compacts them).
void note_detection(zorvel_run_details& d, const char* image, int32_t width, int32_t height,
                    int32_t detected, const zorvel_key_points& set);

// The number of pairs kept for an image noted before.
void note_paired(zorvel_run_details& d, const char* image, int32_t paired);

// A reduced copy of one working image, only when d.keep_images; empty planes
// are skipped.
void note_image(zorvel_run_details& d, const char* image, const std::vector<uint8_t>& r,
                const std::vector<uint8_t>& g, const std::vector<uint8_t>& b, int32_t width,
                int32_t height);

// The disparities of n matched pairs: main corners centre-relative, the aux
// corners mapped into the main frame as rect_rows / rect_cols.
void note_pair_disparities(zorvel_run_details& d, const zorvel_key_points& main,
                           const double* rect_rows, const double* rect_cols, int32_t n,
                           int32_t width, int32_t height);

}  // namespace zorvel
