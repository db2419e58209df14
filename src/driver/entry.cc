#include "driver/entry.h"

namespace zorvel {

int32_t calibrate(const char*, uint8_t) { return 0; }

}  // namespace zorvel
