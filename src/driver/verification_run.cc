// The verification run: configuration echo, the stored OTP record, checks,
// the flat-chart captures, the depth verification and its table. Messages
// print the normalised configuration texts; files are opened by their paths
// as written.
#include "driver/verification_run.h"

#include <cstdio>
#include <exception>

#include "driver/capture_loading.h"
#include "driver/config_dump.h"
#include "driver/verification_report.h"
#include "driver/verification_setup.h"
#include "image/bmp.h"
#include "otp/otp_record.h"
#include "verify/depth_verification.h"

namespace zorvel {
namespace {

constexpr const char* kSeparator = "===========================\n";
constexpr uint8_t kModeDebugInfo = 1;
constexpr uint8_t kModeRectifiedFramesOnly = 2;

// Step 10: main capture, then aux, each parsed, turned, and size-checked.
bool load_captures(const zorvel_verif_config& config, bool swap, const char* direction,
                   zorvel_bmp_read& main_reader, zorvel_bmp_read& aux_reader,
                   zorvel_capture_pair& capture) {
  capture_planes main, aux;
  if (!load_capture(main_reader, "main Flat", config.main.verify_flat_chart_image, swap,
                    direction, main) ||
      !check_capture_size(main_reader, config.main.verify_flat_chart_image,
                          config.main.verify_input_width, config.main.verify_input_height) ||
      !load_capture(aux_reader, "aux Flat", config.aux.verify_flat_chart_image, swap, direction,
                    aux) ||
      !check_capture_size(aux_reader, config.aux.verify_flat_chart_image,
                          config.aux.verify_input_width, config.aux.verify_input_height)) {
    return false;
  }
  capture.main_r = main.r;
  capture.main_g = main.g;
  capture.main_b = main.b;
  capture.aux_r = aux.r;
  capture.aux_g = aux.g;
  capture.aux_b = aux.b;
  return true;
}

// Step 17; an exception from the numerics or an allocation ends it as a failure.
int32_t run_depth_verification(const zorvel_capture_pair& capture,
                               const zorvel_calib_context& pc_cfg,
                               zorvel_calib_context& verify_ctx,
                               zorvel_verification_measures& measured) {
  zorvel_chart_pair p1, p2, p3;
  try {
    return depth_verification(capture, pc_cfg, p1, p2, verify_ctx, p3, measured);
  } catch (const std::exception&) {
    std::printf("\nError in depth verification\n\n");
    return -1;
  }
}

}  // namespace

int32_t run_verification(const zorvel_verif_config& config, const char* config_path,
                         uint8_t mode) {
  // 1.-2.
  std::fputs(kSeparator, stdout);
  std::printf("Parsed verification config file %s ...\n\n", config_path);
  dump_verif_config(stdout, config);
  std::fputs(kSeparator, stdout);
  std::printf("Parsed calibration OTP data file %s ...\n\n", config.calib_otp_data_file.c_str());
  zorvel_otp_data otp{};
  if (read_otp_data(config.calib_otp_data_file_path, otp) != 1) {
    std::printf("Error parsing OTP file %s ...\n\n", config.calib_otp_data_file.c_str());
    return 0;
  }

  // 3.-6.
  zorvel_calib_context pc_cfg{};
  zorvel_calib_context verify_ctx{};
  pc_cfg.crop_percent_for_aux = 0;
  verify_ctx.main_focal_length_ratio = config.main.verify_focal_length_ratio;
  if (!check_verification_focus(config)) return 0;

  // 7.-9.
  const bool swap = config.main_aux_rotation_flag != 0;
  if (swap) std::printf("SWAP DIMENSIONS\n");
  pc_cfg.swap_dimensions = swap ? 1 : 0;
  pc_cfg.main_aux_rotation_flag = config.main_aux_rotation_flag;
  const char* direction = rotation_direction(config.main_aux_rotation_flag);
  if (!check_against_otp(config, otp)) return 0;
  fill_stored_geometry(config, otp, pc_cfg);
  zorvel_capture_pair capture;
  capture.main_width = pc_cfg.main_width;
  capture.main_height = pc_cfg.main_height;
  capture.aux_width = pc_cfg.aux_width;
  capture.aux_height = pc_cfg.aux_height;

  // 10.-11.
  zorvel_bmp_read main_reader(config.main.verify_flat_chart_image_path);
  zorvel_bmp_read aux_reader(config.aux.verify_flat_chart_image_path);
  if (!load_captures(config, swap, direction, main_reader, aux_reader, capture)) return 0;
  if (!check_verification_parameters(config, pc_cfg, verify_ctx)) return 0;

  // 12.-16.
  fill_stored_calibration(config, otp, mode, pc_cfg);
  verify_ctx.run_mode = mode;

  // 17.
  zorvel_verification_measures measured;
  if (run_depth_verification(capture, pc_cfg, verify_ctx, measured) != 0) return 0;

  // 18.-21.
  if (mode == kModeDebugInfo) {
    std::printf("\n ==== Debug Info =====\n");
    std::printf("\n Computed Mean Disparity @ distance %fmm is %f",
                static_cast<double>(verify_ctx.flat_chart_distance_mm),
                static_cast<double>(verify_ctx.computed_mean_disparity));
    std::printf("\n Reference Disparity @ distance %fmm is %f",
                static_cast<double>(verify_ctx.flat_chart_distance_mm),
                static_cast<double>(verify_ctx.reference_disparity));
    std::printf("\n =====\n");
  }
  std::fputs(kSeparator, stdout);
  if (mode == kModeRectifiedFramesOnly) {
    std::printf("<=Rectified Frames Available=>\n");
    std::printf("<=orig-aux-flat.bmp= Original Aux Image>\n");
    std::printf("<=rectified-aux-flat.bmp= Rectified Aux Image>\n");
    std::printf("<=orig-main-flat.bmp= Original Main Image>\n");
    return 1;
  }
  // Modes 6 and 7 measured nothing: their rows show the empty record and fail.
  const bool any_fail = print_verification_table(stdout, verify_ctx, config, measured.metrics,
                                                 measured.scale_difference);
  std::printf("\n");
  std::fputs(kSeparator, stdout);
  return any_fail ? 0 : 1;
}

}  // namespace zorvel
