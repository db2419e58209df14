// The compiled half of the Python package: thin calls into the library. What a
// run found crosses as the library's own JSON result text, parsed on the Python
// side, so Python and the JSON result can never disagree. Everything here turns
// failures into Python exceptions; nothing may take the interpreter down.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "driver/entry.h"
#include "driver/run_json.h"
#include "driver/run_result.h"
#include "otp/record_document.h"
#include "otp/record_listing.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "zorvel_version.h"

namespace py = pybind11;

namespace {

// The library prints with C stdio to the process's standard output. A capture
// points file descriptor 1 at a temporary file for the length of one run; two
// captures at once would interleave, so runs within one process take turns.
std::mutex capture_lock;

class stdout_capture {
 public:
  stdout_capture() : sink_(std::tmpfile(), &std::fclose) {
    if (!sink_) throw std::runtime_error(std::string("no temporary file for the run's text: ") + std::strerror(errno));
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);  // -1 when the process has no standard output
    if (::dup2(::fileno(sink_.get()), STDOUT_FILENO) < 0) {
      const int err = errno;
      if (saved_ >= 0) ::close(saved_);
      throw std::runtime_error(std::string("cannot redirect standard output: ") + std::strerror(err));
    }
  }
  stdout_capture(const stdout_capture&) = delete;
  stdout_capture& operator=(const stdout_capture&) = delete;
  ~stdout_capture() { restore(); }

  // Everything printed since construction; standard output is back as it was.
  std::string finish() {
    restore();
    std::string text;
    std::rewind(sink_.get());
    char buffer[8192];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, sink_.get())) > 0;) text.append(buffer, got);
    return text;
  }

 private:
  void restore() {
    if (restored_) return;
    restored_ = true;
    std::fflush(stdout);
    if (saved_ >= 0) {
      ::dup2(saved_, STDOUT_FILENO);
      ::close(saved_);
    } else {
      ::close(STDOUT_FILENO);
    }
  }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink_;
  int saved_ = -1;
  bool restored_ = false;
};

// (library result, JSON result text, printed text).
std::tuple<int32_t, std::string, std::string> run(const std::string& config_path, int mode, bool key_points,
                                                  const std::string& json_path, const std::string& report_dir) {
  if (mode < 0 || mode > 255) throw py::value_error("mode must be 0..255, got " + std::to_string(mode));
  if (config_path.find('\0') != std::string::npos) throw py::value_error("config_path holds a NUL character");
  zorvel::zorvel_run_options options;
  options.key_point_lists = key_points;
  options.json_path = json_path;
  options.report_dir = report_dir;
  zorvel::zorvel_run_result result;
  std::string text, json;
  {
    py::gil_scoped_release unlocked;
    const std::lock_guard<std::mutex> turn(capture_lock);
    stdout_capture capture;
    zorvel::run(config_path.c_str(), static_cast<uint8_t>(mode), options, &result);
    text = capture.finish();
    json = zorvel::run_result_json(result, key_points);
  }
  return {result.result, json, text};
}

// (readable, why not, JSON listing). The JSON is that of `zorvel record --json`.
std::tuple<bool, std::string, std::string> read_record(const std::string& path) {
  std::vector<uint8_t> bytes;
  size_t size = 0;
  std::string why;
  if (!zorvel::read_record_file(path, bytes, size, why)) return {false, why, ""};
  const zorvel::record_listing listing = zorvel::list_record(bytes.empty() ? nullptr : bytes.data(), size);
  return {true, "", zorvel::record_listing_json(path, listing)};
}

std::vector<std::string> presets() { return zorvel::sim::preset_names(); }

// Renders a module into out_dir; an empty text on success, else what went
// wrong. Negative numbers mean "not given".
std::string simulate(const std::string& preset, const std::string& out_dir, uint64_t noise_key, int64_t main_width,
                     double tilt_deg, bool tilt_given, int64_t module_variant) {
  zorvel::sim::scenario s;
  if (!zorvel::sim::make_scenario(preset, &s)) {
    std::string known;
    for (const auto& n : zorvel::sim::preset_names()) known += " " + n;
    throw py::value_error("unknown preset '" + preset + "'; known presets:" + known);
  }
  if (module_variant >= 0) s = zorvel::sim::random_module(s, static_cast<uint64_t>(module_variant));
  if (tilt_given) s.verify_extra_pitch_deg = tilt_deg;
  if (main_width >= 0) {
    if (main_width < 640 || main_width > 65535) {
      throw py::value_error("main_width must be 640..65535 pixels, got " + std::to_string(main_width));
    }
    s = zorvel::sim::with_main_width(s, static_cast<int32_t>(main_width));
  }
  py::gil_scoped_release unlocked;
  return zorvel::sim::write_bundle(s, noise_key, out_dir);
}

}  // namespace

PYBIND11_MODULE(_zorvel, m) {
  m.doc() = "The zorvel library's entry points for the zorvel Python package.";
  m.attr("version") = zorvel::kVersionText;
  m.def("run", &run, py::arg("config_path"), py::arg("mode"), py::arg("key_points"), py::arg("json_path"),
        py::arg("report_dir"));
  m.def("read_record", &read_record, py::arg("path"));
  m.def("presets", &presets);
  m.def("simulate", &simulate, py::arg("preset"), py::arg("out_dir"), py::arg("noise_key"), py::arg("main_width"),
        py::arg("tilt_deg"), py::arg("tilt_given"), py::arg("module_variant"));
}
