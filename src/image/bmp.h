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

// A quarter turn of the picture, as rotate() applies it.
enum class quarter_turn { none, left, right };

// "left" and "right" in any case; anything else is no turn.
quarter_turn quarter_turn_of(const std::string& direction);

// Which pixels a sampled read keeps: working pixel (i, j) is pixel (rows[i],
// cols[j]) of the picture after the turn. Every index must lie inside the
// turned picture.
struct zorvel_sample_grid {
  std::vector<int32_t> rows;
  std::vector<int32_t> cols;
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
  // The same decode with a nearest resampling folded in: reads from the file
  // only the rows the grid picks and converts only the picked pixels, giving
  // the planes that parse, rotate and the grid's sampling would give (the
  // planes then are cols.size() x rows.size()). grid_of receives the turned
  // picture's width and height once the headers are accepted. Messages and
  // results are parse's, with the same checks before any pixel is read. An
  // index outside the picture gives 0 without a message and no planes.
  // scratch holds rows read and is reused between calls.
  template <typename GridOf>
  int parse_sampled(quarter_turn turn, GridOf&& grid_of, std::vector<uint8_t>& scratch) {
    // Picked rows are read straight into scratch, past the stream's buffer.
    // Must come before the stream's first read.
    if (file_) std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    int64_t data_start = 0;
    const int headers = read_headers(data_start);
    if (headers != 1 || !file_ || width_ == 0) return headers;
    const bool turned = turn != quarter_turn::none;
    const zorvel_sample_grid grid = grid_of(turned ? height_ : width_, turned ? width_ : height_);
    return read_sampled(turn, grid, data_start, scratch);
  }

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
  // Headers read and checked, pixel data located and found long enough.
  // 1 also when the file is not open (width_ stays 0 then).
  int read_headers(int64_t& data_start);
  int read_sampled(quarter_turn turn, const zorvel_sample_grid& grid, int64_t data_start,
                   std::vector<uint8_t>& scratch);
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
