// Loading one capture for a run: decode the BMP, turned a quarter when the
// module is mounted rotated, and hand out its planes already reduced to the
// working size (nearest resampling, as the working form takes it); compare
// the size stored in the file with the configured one. Each failure prints
// its run message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace zorvel {

struct capture_planes {
  const uint8_t* r = nullptr;
  const uint8_t* g = nullptr;
  const uint8_t* b = nullptr;
  bool sampled = false;  // at working size already (see zorvel_capture_pair)
};

// label names the capture in the parse message ("main L", "aux Flat", ...);
// shown_path is the path as the messages print it. The planes are the
// working image of the turned capture (a zorvel_capture_pair made of them
// is `sampled`); scratch serves every capture of a run. False after printing
// "\nError: Failed to parse <label> <path>\n" or the missing-planes message.
bool load_capture(zorvel_bmp_read& reader, const char* label, const std::string& shown_path,
                  bool swap, const char* direction, std::vector<uint8_t>& scratch,
                  capture_planes& planes);

// The width and height stored in the file must equal the configured input
// size (a rotation does not change them). False after printing why.
bool check_capture_size(const zorvel_bmp_read& reader, const std::string& shown_path,
                        int32_t configured_width, int32_t configured_height);

}  // namespace zorvel
