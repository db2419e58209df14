// Decoding an uncompressed 24-bit BMP into three planes, top row first.
// Rows are read in blocks of whole rows (the pixel data of a capture is read
// once, so the cost is one pass over the file), yet a truncated file is still
// reported at the exact file row and column where its data ends.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/file_open.h"
#include "image/bmp.h"
#include "image/bmp_layout.h"

namespace zorvel {
namespace {

// The messages name a function and a line number ("zorvel_bmp_read::parse
// line 103"). They are part of the text stations parse, not places in this
// file: they never follow the code and must not change.
constexpr char kParse[] = "zorvel_bmp_read::parse";
constexpr int kLineFileHeader = 97;
constexpr int kLineSignature = 103;
constexpr int kLineInfoHeader = 109;
constexpr int kLineHeaderSize = 112;
constexpr int kLineCompression = 115;
constexpr int kLineBitsPerPixel = 121;
constexpr int kLineDimensions = 127;
constexpr int kLineOutOfMemory = 137;
constexpr int kLineActivePixels = 152;
constexpr int kLineDiscardPixels = 166;

// Read-ahead per block of rows; a single row is read whole even if larger.
constexpr size_t kBlockBytes = size_t{256} << 10;

// Accepts only sizes whose three planes can be allocated sensibly, before
// anything is allocated: a hostile header cannot make us reserve gigabytes.
bool acceptable_size(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kMaxBmpSide || height > kMaxBmpSide) return false;
  const uint64_t plane_bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return 3 * plane_bytes <= kMaxBmpPlanesBytes;
}

uint64_t load_le64(const uint8_t* in) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t value;
    std::memcpy(&value, in, sizeof value);
    return value;
  } else {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
    return value;
  }
}

void store_le64(uint8_t* out, uint64_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &value, sizeof value);
  } else {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

// Byte i (0 = lowest) of a little-endian word, moved to byte position `to`.
constexpr uint64_t byte_to(uint64_t word, int i, int to) {
  return ((word >> (8 * i)) & 0xFF) << (8 * to);
}

// One file row, blue-green-red, into the three planes. Eight pixels (three
// 64-bit words) at a time: byte loads and stores would make this the slowest
// part of reading a capture, and compilers cannot vectorise the stride-3
// gather for a baseline target.
void split_row(const uint8_t* bgr, uint32_t pixels, uint8_t* r, uint8_t* g, uint8_t* b) {
  uint32_t x = 0;
  for (; x + 8 <= pixels; x += 8) {
    // w0 = b0 g0 r0 b1 g1 r1 b2 g2, w1 = r2 b3 g3 r3 b4 g4 r4 b5,
    // w2 = g5 r5 b6 g6 r6 b7 g7 r7 (lowest byte first).
    const uint64_t w0 = load_le64(bgr + 3 * x);
    const uint64_t w1 = load_le64(bgr + 3 * x + 8);
    const uint64_t w2 = load_le64(bgr + 3 * x + 16);
    store_le64(b + x, byte_to(w0, 0, 0) | byte_to(w0, 3, 1) | byte_to(w0, 6, 2) |
                          byte_to(w1, 1, 3) | byte_to(w1, 4, 4) | byte_to(w1, 7, 5) |
                          byte_to(w2, 2, 6) | byte_to(w2, 5, 7));
    store_le64(g + x, byte_to(w0, 1, 0) | byte_to(w0, 4, 1) | byte_to(w0, 7, 2) |
                          byte_to(w1, 2, 3) | byte_to(w1, 5, 4) | byte_to(w2, 0, 5) |
                          byte_to(w2, 3, 6) | byte_to(w2, 6, 7));
    store_le64(r + x, byte_to(w0, 2, 0) | byte_to(w0, 5, 1) | byte_to(w1, 0, 2) |
                          byte_to(w1, 3, 3) | byte_to(w1, 6, 4) | byte_to(w2, 1, 5) |
                          byte_to(w2, 4, 6) | byte_to(w2, 7, 7));
  }
  for (; x < pixels; ++x) {
    b[x] = bgr[3 * x];
    g[x] = bgr[3 * x + 1];
    r[x] = bgr[3 * x + 2];
  }
}

}  // namespace

zorvel_bmp_read::zorvel_bmp_read(std::string path)
    : file_(open_file(path, "rb")), path_(std::move(path)) {}

zorvel_bmp_read::zorvel_bmp_read(unique_file file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

int zorvel_bmp_read::read_headers(int64_t& data_start) {
  // A file that did not open is reported by the caller, when it asks for
  // the planes.
  if (!file_) return 1;
  std::FILE* file = file_.get();
  const char* path = path_.c_str();

  if (std::fread(file_header_, 1, sizeof file_header_, file) != sizeof file_header_) {
    std::printf("(%s:%d) Error reading BITMAPFILEHEADER in file %s\n", kParse, kLineFileHeader,
                path);
    return 0;
  }
  if (le::get<uint16_t>(file_header_ + kBmpSignatureAt) != kBmpSignature) {
    std::printf("(%s:%d) Invalid BMP file %s\n", kParse, kLineSignature, path);
    return 0;
  }
  if (std::fread(info_header_, 1, sizeof info_header_, file) != sizeof info_header_) {
    std::printf("(%s:%d) Error reading BITMAPINFOHEADER in file %s\n", kParse, kLineInfoHeader,
                path);
    return 0;
  }
  // A header shorter than the information header lays its fields out
  // otherwise (the 12-byte core header has 16-bit sizes): nothing read below
  // would mean what it says. Planes and the pixel offset stay unchecked, as
  // they always were: nothing here depends on them, and a station's writer
  // may have left them 0.
  const uint32_t header_size = le::get<uint32_t>(info_header_ + kBmpHeaderSizeAt);
  if (header_size < kBmpInfoHeaderBytes) {
    std::printf("(%s:%d) Unsupported BMP header size %u in file %s\n", kParse, kLineHeaderSize,
                header_size, path);
    return 0;
  }
  const uint32_t compression = le::get<uint32_t>(info_header_ + kBmpCompressionAt);
  if (compression != 0) {
    std::printf("(%s:%d) Unsupported compression format %d in file %s\n", kParse,
                kLineCompression, static_cast<int>(compression), path);
    return 0;
  }
  if (le::get<uint16_t>(info_header_ + kBmpBitsPerPixelAt) != 24) {
    std::printf("(%s:%d) Expected 24bpp in file %s\n", kParse, kLineBitsPerPixel, path);
    return 0;
  }
  const int32_t signed_width = le::get<int32_t>(info_header_ + kBmpWidthAt);
  const int32_t signed_height = le::get<int32_t>(info_header_ + kBmpHeightAt);
  if (!acceptable_size(signed_width, signed_height)) {
    std::printf("(%s:%d) Invalid image dimensions %d x %d in file %s\n", kParse, kLineDimensions,
                static_cast<int>(signed_width), static_cast<int>(signed_height), path);
    return 0;
  }
  width_ = static_cast<uint32_t>(signed_width);
  height_ = static_cast<uint32_t>(signed_height);

  // Pixels normally follow the two headers; a larger header moves them on.
  const int64_t file_bytes = stream_size(file);
  const uint32_t pixel_offset = le::get<uint32_t>(file_header_ + kBmpPixelOffsetAt);
  if (pixel_offset > kBmpHeadersBytes && pixel_offset < file_bytes) {
    if (std::fseek(file, static_cast<long>(pixel_offset), SEEK_SET) != 0) {
      report_truncation(0);
      return 0;
    }
  }

  // A file too short for its pixels is reported before anything is
  // allocated, so a forged size cannot make a small file cost a gigabyte.
  const size_t stride = 3 * static_cast<size_t>(width_) + bmp_row_padding(width_);
  data_start = std::ftell(file);
  if (file_bytes >= 0 && data_start >= 0) {
    const uint64_t available = static_cast<uint64_t>(std::max<int64_t>(0, file_bytes - data_start));
    if (available < static_cast<uint64_t>(stride) * height_) {
      report_truncation(available);
      return 0;
    }
  }
  return 1;
}

int zorvel_bmp_read::parse() {
  int64_t data_start = 0;
  const int headers = read_headers(data_start);
  if (headers != 1 || !file_) return headers;
  std::FILE* file = file_.get();
  const char* path = path_.c_str();
  const size_t stride = 3 * static_cast<size_t>(width_) + bmp_row_padding(width_);

  const size_t plane_bytes = static_cast<size_t>(width_) * height_;
  const size_t rows_per_block = std::max<size_t>(1, kBlockBytes / stride);
  std::vector<uint8_t> block;
  try {
    image_.width = width_;
    image_.height = height_;
    image_.r = std::make_unique_for_overwrite<uint8_t[]>(plane_bytes);
    image_.g = std::make_unique_for_overwrite<uint8_t[]>(plane_bytes);
    image_.b = std::make_unique_for_overwrite<uint8_t[]>(plane_bytes);
    block.resize(std::min<size_t>(rows_per_block, height_) * stride);
  } catch (const std::bad_alloc&) {
    image_ = zorvel_rgb_image{};
    std::printf("(%s:%d) Not enough memory for %u x %u pixels in file %s\n", kParse,
                kLineOutOfMemory, width_, height_, path);
    return 0;
  }

  // File row i is picture row height - 1 - i. The size check above makes a
  // short read rare (a stream of unknown size, a file shrinking meanwhile).
  for (uint32_t first = 0; first < height_;) {
    const size_t rows = std::min<size_t>(rows_per_block, height_ - first);
    const size_t wanted = rows * stride;
    const size_t got = std::fread(block.data(), 1, wanted, file);
    for (size_t k = 0; k < got / stride; ++k) {
      const size_t at = static_cast<size_t>(height_ - 1 - (first + k)) * width_;
      split_row(block.data() + k * stride, width_, image_.r.get() + at, image_.g.get() + at,
                image_.b.get() + at);
    }
    if (got < wanted) {
      report_truncation(static_cast<uint64_t>(first) * stride + got);
      image_ = zorvel_rgb_image{};  // partly written planes are never handed out
      return 0;
    }
    first += static_cast<uint32_t>(rows);
  }
  return 1;
}

// A pixel-by-pixel reader stops at the first pixel (three bytes) or the
// first padding it cannot read completely; name that place.
void zorvel_bmp_read::report_truncation(uint64_t pixel_bytes_read) const {
  const uint64_t row_bytes = 3 * static_cast<uint64_t>(width_);
  const uint64_t stride = row_bytes + bmp_row_padding(width_);
  const uint64_t file_row = pixel_bytes_read / stride;
  const uint64_t in_row = pixel_bytes_read % stride;
  if (in_row < row_bytes) {
    std::printf("(%s:%d) Error reading active %d,%d RGB pixels in file %s\n", kParse,
                kLineActivePixels, static_cast<int>(file_row), static_cast<int>(in_row / 3),
                path_.c_str());
  } else {
    std::printf("(%s:%d) Error reading discard pixels in file %s\n", kParse, kLineDiscardPixels,
                path_.c_str());
  }
}

int zorvel_bmp_read::get_planes(uint8_t** r, uint8_t** g, uint8_t** b) {
  if (!image_.has_planes()) return 0;
  if (r) *r = image_.r.get();
  if (g) *g = image_.g.get();
  if (b) *b = image_.b.get();
  return 1;
}

void zorvel_bmp_read::get_size(uint32_t* width, uint32_t* height) const {
  if (width) *width = width_;
  if (height) *height = height_;
}

}  // namespace zorvel
