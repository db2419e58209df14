// Uncompressed 24-bit BMP files: the reader decodes one capture into three
// 8-bit planes (row-major, top row first), the writer encodes three planes.
// Every failure prints one message naming the function and the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/unique_file.h"

namespace zorvel {

// A decoded image: three planes of width x height bytes, row-major, top row
// first; pixel (y, x) at y * width + x. The planes are null until allocated,
// and are allocated without zero-filling: the decoder writes every byte, and
// a reader whose parse failed holds no planes.
struct zorvel_rgb_image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::unique_ptr<uint8_t[]> r, g, b;

  size_t plane_bytes() const { return static_cast<size_t>(width) * height; }
  bool has_planes() const { return r && g && b; }
};

class zorvel_bmp_read {
 public:
  explicit zorvel_bmp_read(std::string path);  // opens "rb"; silent on failure
  // Reads from an already open stream (memory streams in tests and fuzzing);
  // path is used in messages only.
  zorvel_bmp_read(unique_file file, std::string path);

  // 1 on success (also when the file could not be opened: no planes then),
  // 0 after printing why the file was refused.
  int parse();
  // 1 and the three plane addresses when all planes exist, else 0.
  int get_planes(uint8_t** r, uint8_t** g, uint8_t** b);
  // Width and height as stored in the file (a rotation does not change them).
  void get_size(uint32_t* width, uint32_t* height) const;
  // Quarter turn in place by direction text ("left", "right", any case);
  // anything else prints "\n do nothing". Without planes (the file did not
  // open, or parse refused it) a turn does nothing. Returns 0 only when the
  // temporary plane could not be allocated (image unchanged), else 1.
  int rotate(const std::string& direction);

  const std::string& path() const { return path_; }

 private:
  void report_truncation(uint64_t pixel_bytes_read) const;

  unique_file file_;
  std::string path_;
  uint8_t file_header_[14] = {};
  uint8_t info_header_[40] = {};
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  zorvel_rgb_image image_;
};

class zorvel_bmp_write {
 public:
  explicit zorvel_bmp_write(std::string path);  // opens "wb"; silent on failure
  // 1 on success; 0 when a plane is missing, the file is not open or any
  // write failed.
  int write(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint32_t width,
            uint32_t height);

 private:
  unique_file file_;
  std::string path_;
};

// The direction text a module's rotation flag asks of rotate(): "right" for
// flag 1, "left" for 2, "none" otherwise.
const char* rotation_direction(uint32_t rotation_flag);

// Copy of text with ASCII A-Z lowered (C locale).
std::string to_lower_text(const std::string& text);

}  // namespace zorvel
