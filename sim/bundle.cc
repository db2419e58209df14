// The output directory of zorvel-chartgen.
#include "sim/bundle.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/config_reader.h"
#include "image/bmp.h"

namespace zorvel::sim {

scene_charts make_charts(const scenario& s) {
  return {make_l_chart(s.l_chart), make_flat_chart(s.flat_chart), make_flat_chart(s.verify_chart)};
}

scene_views make_views(const scenario& s) {
  const module_model& m = s.module;
  scene_views v;
  v.main_l = main_view(m, s.l_chart_distance_mm());
  v.aux_l = aux_view(m, s.l_chart_distance_mm());
  v.main_flat = main_view(m, s.flat_chart_distance_mm());
  v.aux_flat = aux_view(m, s.flat_chart_distance_mm());
  v.main_verify = main_view(m, s.verify_chart_distance_mm());
  v.aux_verify = make_view(m.aux, m.rotation_flag, s.verify_chart_distance_mm(),
                           verify_aux_rotation(s), aux_centre(m));
  return v;
}

rendered_captures render_scenario(const scenario& s, uint64_t noise_key) {
  const scene_charts c = make_charts(s);
  const scene_views v = make_views(s);
  const int32_t flag = s.module.rotation_flag;
  auto one = [&](const chart& ch, const camera_view& view, capture_stream stream) {
    return render_capture(ch, view, s.imaging, flag, noise_key, static_cast<uint64_t>(stream));
  };
  rendered_captures r;
  r.main_l = one(c.l_chart, v.main_l, capture_stream::main_l);
  r.aux_l = one(c.l_chart, v.aux_l, capture_stream::aux_l);
  r.main_flat = one(c.flat_chart, v.main_flat, capture_stream::main_flat);
  r.aux_flat = one(c.flat_chart, v.aux_flat, capture_stream::aux_flat);
  r.main_verify = one(c.verify_chart, v.main_verify, capture_stream::main_verify);
  r.aux_verify = one(c.verify_chart, v.aux_verify, capture_stream::aux_verify);
  return r;
}

truth_charts scenario_truth(const scenario& s) {
  const scene_charts c = make_charts(s);
  const scene_views v = make_views(s);
  return {chart_truth(c.l_chart, v.main_l, v.aux_l), chart_truth(c.flat_chart, v.main_flat, v.aux_flat),
          chart_truth(c.verify_chart, v.main_verify, v.aux_verify)};
}

bool write_capture_bmp(const capture_image& img, const std::string& path) {
  zorvel_bmp_write w(path);
  return w.write(img.r.data(), img.g.data(), img.b.data(), static_cast<uint32_t>(img.width),
                 static_cast<uint32_t>(img.height)) == 1;
}

namespace {
// The library's configuration reader keeps a path's capitals and inner blanks
// but ends a value at a line feed and drops lines longer than its limit, so
// such a directory is refused before anything is rendered.
std::string unreadable_config(const std::string& dir, const std::string& text) {
  if (dir.find('\n') != std::string::npos)
    return "directory " + dir + " holds a line feed, which would end its configuration lines";
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.size() > kMaxConfigLineChars)
      return "directory " + dir + " is too long: its configuration lines would exceed the " +
             std::to_string(kMaxConfigLineChars) + " characters the library reads";
  return "";
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  return static_cast<bool>(f);
}
}  // namespace

std::string write_bundle(const scenario& s, uint64_t noise_key, const std::string& dir) {
  bundle_files f;
  f.dir = std::filesystem::absolute(dir).lexically_normal().string();
  while (f.dir.size() > 1 && f.dir.back() == '/') f.dir.pop_back();
  const std::pair<std::string, std::string> texts[] = {
      {"calibration.cfg", calibration_config_text(s, f, 0)},
      {"calibration_l_only.cfg", calibration_config_text(s, f, 1)},
      {"calibration_flat_only.cfg", calibration_config_text(s, f, 2)},
      {"verification.cfg", verification_config_text(s, f)},
      {"truth.json", truth_json_text(s, noise_key, f, scenario_truth(s))}};
  for (const auto& [name, text] : texts) {
    const std::string why = name.ends_with(".cfg") ? unreadable_config(f.dir, text) : "";
    if (!why.empty()) return why;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) return "cannot create directory " + dir + ": " + ec.message();
  const rendered_captures r = render_scenario(s, noise_key);
  const std::pair<const capture_image*, std::string> images[] = {
      {&r.main_l, f.main_l},       {&r.aux_l, f.aux_l},           {&r.main_flat, f.main_flat},
      {&r.aux_flat, f.aux_flat},   {&r.main_verify, f.main_verify}, {&r.aux_verify, f.aux_verify}};
  for (const auto& [img, name] : images)
    if (!write_capture_bmp(*img, f.path(name))) return "cannot write " + f.path(name);
  for (const auto& [name, text] : texts)
    if (!write_text(f.path(name), text)) return "cannot write " + f.path(name);
  return "";
}

}  // namespace zorvel::sim
