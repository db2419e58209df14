// libFuzzer target for the BMP reader: any bytes must parse or be refused
// without a crash, a leak or a large allocation, and an accepted image must
// survive both quarter turns.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "image/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // fmemopen wants a writable buffer even for reading.
  std::vector<uint8_t> bytes(data, data + size);
  zorvel::unique_file stream(size ? fmemopen(bytes.data(), bytes.size(), "rb") : nullptr);
  zorvel::zorvel_bmp_read reader(std::move(stream), "fuzz.bmp");
  if (reader.parse() != 1) return 0;
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (reader.get_planes(&r, &g, &b) != 1) return 0;
  uint32_t width = 0, height = 0;
  reader.get_size(&width, &height);
  // Touch every byte so the sanitizers see the planes' true extent.
  unsigned sum = 0;
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) sum += r[i] ^ g[i] ^ b[i];
  volatile unsigned keep = sum;
  (void)keep;
  reader.rotate("left");
  reader.rotate("RIGHT");
  return 0;
}
