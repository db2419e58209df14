// Helpers of the run tests on the simulated module: edits of a configuration
// ("key=value; key=value"), the text after a marker, captures with no chart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/sample_configs.h"
#include "e2e/simulated_module.h"
#include "image/bmp.h"

namespace zorvel::test {

inline void edit(simulated_module& m, const std::string& config, const std::string& edits) {
  for (const auto& [key, value] : lines_of(edits)) m.set(config, key, value);
}

inline std::string after(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? "<marker not found>" : text.substr(at + marker.size());
}

inline void write_blank_capture(const std::string& path, int32_t width, int32_t height) {
  const std::vector<uint8_t> plane(static_cast<size_t>(width) * height, 128);
  zorvel_bmp_write(path).write(plane.data(), plane.data(), plane.data(), width, height);
}

}  // namespace zorvel::test
