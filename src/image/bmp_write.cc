// Encoding three 8-bit planes as an uncompressed 24-bit BMP (bottom row
// first, blue-green-red, rows padded to 4 bytes). Used for debug images.
#include <cstdio>
#include <new>

#include "common/file_open.h"
#include "image/bmp.h"
#include "image/bmp_layout.h"

namespace zorvel {
namespace {

constexpr char kWrite[] = "zorvel_bmp_write::write";
constexpr int kLineHeaders = 404;
constexpr int kLinePixels = 416;
constexpr int kLinePadding = 424;
constexpr int kLineBuffered = 432;

}  // namespace

zorvel_bmp_write::zorvel_bmp_write(std::string path)
    : file_(open_file(path, "wb")), path_(std::move(path)) {}

int zorvel_bmp_write::write(const uint8_t* r, const uint8_t* g, const uint8_t* b,
                            uint32_t width, uint32_t height) {
  if (!r || !g || !b || !file_) return 0;
  const size_t pad = bmp_row_padding(width);
  const uint64_t stride = 3 * static_cast<uint64_t>(width) + pad;
  const uint64_t image_bytes = stride * height;
  // Sizes the header fields (signed 32-bit sides, 32-bit file size) can hold.
  if (width > static_cast<uint32_t>(INT32_MAX) || height > static_cast<uint32_t>(INT32_MAX) ||
      image_bytes + kBmpHeadersBytes > UINT32_MAX) {
    return 0;
  }
  std::FILE* file = file_.get();
  const char* path = path_.c_str();

  uint8_t headers[kBmpHeadersBytes] = {};
  uint8_t* info = headers + kBmpFileHeaderBytes;
  le::put<uint16_t>(headers + kBmpSignatureAt, kBmpSignature);
  le::put<uint32_t>(headers + kBmpFileSizeAt, static_cast<uint32_t>(kBmpHeadersBytes + image_bytes));
  le::put<uint32_t>(headers + kBmpPixelOffsetAt, kBmpHeadersBytes);
  le::put<uint32_t>(info + kBmpHeaderSizeAt, kBmpInfoHeaderBytes);
  le::put<uint32_t>(info + kBmpWidthAt, width);
  le::put<uint32_t>(info + kBmpHeightAt, height);
  le::put<uint16_t>(info + kBmpPlanesAt, 1);
  le::put<uint16_t>(info + kBmpBitsPerPixelAt, 24);
  le::put<uint32_t>(info + kBmpImageSizeAt, static_cast<uint32_t>(image_bytes));
  if (std::fwrite(headers, 1, sizeof headers, file) != sizeof headers) {
    std::printf("(%s:%d) Error writing headers in file %s\n", kWrite, kLineHeaders, path);
    return 0;
  }

  std::vector<uint8_t> row;
  try {
    row.resize(3 * static_cast<size_t>(width));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const uint8_t zeros[3] = {0, 0, 0};
  for (uint32_t i = 0; i < height; ++i) {
    const size_t at = static_cast<size_t>(height - 1 - i) * width;
    for (uint32_t x = 0; x < width; ++x) {
      row[3 * x] = b[at + x];
      row[3 * x + 1] = g[at + x];
      row[3 * x + 2] = r[at + x];
    }
    if (std::fwrite(row.data(), 1, row.size(), file) != row.size()) {
      std::printf("(%s:%d) Error writing active pixels of row %d in file %s\n", kWrite,
                  kLinePixels, static_cast<int>(i), path);
      return 0;
    }
    if (pad != 0 && std::fwrite(zeros, 1, pad, file) != pad) {
      std::printf("(%s:%d) Error writing padding pixels in file %s\n", kWrite, kLinePadding,
                  path);
      return 0;
    }
  }
  // Buffered bytes reach the file only here; an error must not pass as success.
  if (std::fclose(file_.release()) != 0) {
    std::printf("(%s:%d) Error writing buffered pixels in file %s\n", kWrite, kLineBuffered, path);
    return 0;
  }
  return 1;
}

}  // namespace zorvel
