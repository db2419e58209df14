// Renders every capture of a scenario and writes the output directory of
// zorvel-chartgen: six BMP captures, four configurations and truth.json.
#pragma once

#include <cstdint>
#include <string>

#include "sim/config_writer.h"
#include "sim/presets.h"
#include "sim/render.h"

namespace zorvel::sim {

// Streams that tell the captures' noise apart under one noise key.
enum class capture_stream : uint64_t {
  main_l = 1, aux_l = 2, main_flat = 3, aux_flat = 4, main_verify = 5, aux_verify = 6
};

struct rendered_captures {
  capture_image main_l, aux_l, main_flat, aux_flat, main_verify, aux_verify;
};

struct scene_charts {
  chart l_chart, flat_chart, verify_chart;
};
scene_charts make_charts(const scenario& s);

// Views of the six captures (focused at their chart's distance).
struct scene_views {
  camera_view main_l, aux_l, main_flat, aux_flat, main_verify, aux_verify;
};
scene_views make_views(const scenario& s);

rendered_captures render_scenario(const scenario& s, uint64_t noise_key);
truth_charts scenario_truth(const scenario& s);

// Writes everything into dir (created when missing). Returns an empty text on
// success, else what went wrong.
std::string write_bundle(const scenario& s, uint64_t noise_key, const std::string& dir);

// Writes one capture as a 24-bit BMP; false on failure.
bool write_capture_bmp(const capture_image& img, const std::string& path);

}  // namespace zorvel::sim
