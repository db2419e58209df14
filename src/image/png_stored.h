// An 8-bit RGB image as a PNG file with stored (uncompressed) deflate blocks:
// larger than a compressed PNG but a few lines of standard C++, and every
// viewer and browser decodes it. Used to embed reduced working images in
// the picture of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvel {

// rgb holds width x height x 3 bytes, top row first. Empty on a size that
// does not match or a zero side.
std::vector<uint8_t> encode_png_rgb(int32_t width, int32_t height, const std::vector<uint8_t>& rgb);

// The checksums PNG uses: CRC-32 (ISO 3309) of the chunks, Adler-32 of the
// zlib stream.
uint32_t crc32_of(const uint8_t* bytes, size_t size, uint32_t crc = 0);
uint32_t adler32_of(const uint8_t* bytes, size_t size, uint32_t adler = 1);

}  // namespace zorvel
