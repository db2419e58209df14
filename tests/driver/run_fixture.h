// A calibration or verification configuration of the simulated good module
// (1280-pixel captures) in a private working directory, editable key by key,
// with blank captures written on demand: enough to drive every check of a
// run without rendering a chart.
#pragma once

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/entry.h"
#include "image/bmp.h"
#include "sim/config_writer.h"
#include "sim/presets.h"
#include "support/test_support.h"

namespace zorvel::test {

struct run_result {
  int32_t result = -1;
  std::string text;
};

class run_fixture {
 public:
  enum class kind { calibration, verification };

  explicit run_fixture(kind k, int32_t process = 0) : dir_(true) {
    sim::scenario s;
    sim::make_scenario("good", &s);
    scenario_ = sim::with_main_width(s, 1280);
    files_.dir = dir_.path().string();
    const std::string text = k == kind::calibration
                                 ? sim::calibration_config_text(scenario_, files_, process)
                                 : sim::verification_config_text(scenario_, files_);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      const size_t eq = line.find('=');
      keys_.push_back(line.substr(0, eq));
      values_[keys_.back()] = line.substr(eq + 1);
    }
  }

  void set(const std::string& key, const std::string& value) {
    if (!values_.count(key)) keys_.push_back(key);
    values_[key] = value;
  }
  std::string file(const std::string& name) const { return files_.path(name); }
  const sim::scenario& scenario() const { return scenario_; }

  // A uniform grey capture of the given size under name.
  void write_blank_capture(const std::string& name, int32_t width, int32_t height) const {
    const std::vector<uint8_t> plane(static_cast<size_t>(width) * height, 128);
    zorvel_bmp_write writer(file(name));
    writer.write(plane.data(), plane.data(), plane.data(), width, height);
  }

  run_result run(uint8_t mode = 0) const {
    std::string text;
    for (const std::string& k : keys_) text += k + "=" + values_.at(k) + "\n";
    const std::string path = file("run.cfg");
    write_file(path, text);
    run_result out;
    out.text = capture_stdout([&] { out.result = calibrate(path.c_str(), mode); });
    return out;
  }

  // What a run printed after the echo of its configuration (calibration) or
  // after the last line the echo ends with (verification).
  static std::string after(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    return at == std::string::npos ? "<marker not found>" : text.substr(at + marker.size());
  }

 private:
  scratch_dir dir_;
  sim::scenario scenario_;
  sim::bundle_files files_;
  std::vector<std::string> keys_;
  std::map<std::string, std::string> values_;
};

}  // namespace zorvel::test
