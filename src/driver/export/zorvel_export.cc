// The one symbol the shared library exports; everything else stays hidden.
#include "zorvel/zorvel.h"

#include "driver/entry.h"

extern "C" ZORVEL_API int32_t zorvel_calibrate(const char *config_path, uint8_t mode) {
  return zorvel::calibrate(config_path, mode);
}
