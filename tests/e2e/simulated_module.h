// A simulated module rendered into a private working directory for
// end-to-end runs: captures, the four configurations and the run's debug
// files all live there, and calls go through the library's entry point.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "driver/entry.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "support/test_support.h"

namespace zorvel::test {

struct run_output {
  int32_t result = -1;
  std::string text;
};

inline sim::scenario preset(const std::string& name) {
  sim::scenario s;
  if (!sim::make_scenario(name, &s)) s.name = "unknown preset " + name;
  return s;
}

// Captures 1280 pixels wide for the main camera (the aux in proportion) keep
// the runs fast; the working images are those of the full-size module.
class simulated_module {
 public:
  explicit simulated_module(const sim::scenario& s, uint64_t noise_key = 1)
      : dir_(true), scenario_(sim::with_main_width(s, 1280)) {
    error_ = scenario_.name.starts_with("unknown")
                 ? scenario_.name
                 : sim::write_bundle(scenario_, noise_key, dir_.path().string());
  }
  explicit simulated_module(const std::string& name) : simulated_module(preset(name)) {}

  const std::string& error() const { return error_; }
  const sim::scenario& scenario() const { return scenario_; }
  std::string file(const std::string& name) const { return dir_.file(name); }
  bool exists(const std::string& name) const { return std::ifstream(file(name)).good(); }
  size_t size_of(const std::string& name) const { return read_file(file(name)).size(); }

  run_output run(const std::string& config_name, uint8_t mode = 0) const {
    run_output out;
    out.text = capture_stdout([&] { out.result = calibrate(file(config_name).c_str(), mode); });
    return out;
  }

  // Writes configuration `name` as `from` (by default itself) with the values
  // of keys replaced; each key must be there.
  void set(const std::string& name, std::initializer_list<std::pair<std::string, std::string>> values,
           const std::string& from = "") {
    std::string text = "\n" + read_file(file(from.empty() ? name : from));
    for (const auto& [key, value] : values) {
      const size_t at = text.find("\n" + key + "=") + 1;
      EXPECT_NE(at, 0u) << key << " is not in " << name;
      text.replace(at, text.find('\n', at) - at, key + "=" + value);
    }
    write_file(file(name), text.substr(1));
  }

  // Every line of key in configuration `name` set to value; added when missing.
  void set(const std::string& name, const std::string& key, const std::string& value) {
    std::istringstream in(read_file(file(name)));
    std::string line, out;
    bool found = false;
    while (std::getline(in, line)) {
      if (line.starts_with(key + "=")) line = key + "=" + value, found = true;
      out += line + "\n";
    }
    write_file(file(name), found ? out : out + key + "=" + value + "\n");
  }

 private:
  scratch_dir dir_;
  sim::scenario scenario_;
  std::string error_;
};

// Number of non-overlapping occurrences of needle in text.
inline int count_of(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
  return n;
}

// True when the pieces appear in text in this order.
inline bool in_order(const std::string& text, std::initializer_list<std::string> pieces) {
  size_t at = 0;
  for (const std::string& p : pieces) {
    at = text.find(p, at);
    if (at == std::string::npos) return false;
    at += p.size();
  }
  return true;
}

// The line of a table row, from its name to the end of the line.
inline std::string row_of(const std::string& text, const std::string& name) {
  const size_t at = text.find(name);
  return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at);
}

// The value printed after the last "key=".
inline double printed_value(const std::string& text, const std::string& key) {
  const size_t at = text.rfind(key + "=");
  return at == std::string::npos ? std::nan("") : std::strtod(text.c_str() + at + key.size() + 1, nullptr);
}

}  // namespace zorvel::test
