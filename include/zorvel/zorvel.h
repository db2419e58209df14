/* zorvel: stereo calibration and verification of dual-camera modules.
 * One call runs one calibration or verification described by a key=value
 * configuration file; progress and results are printed on standard output. */
#ifndef ZORVEL_ZORVEL_H
#define ZORVEL_ZORVEL_H

#include <stdint.h>

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(ZORVEL_BUILDING_LIBRARY)
#    define ZORVEL_API __declspec(dllexport)
#  else
#    define ZORVEL_API __declspec(dllimport)
#  endif
#else
#  define ZORVEL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Runs the calibration or verification described by the configuration file
 * at config_path (the kind is decided by the file's keys).
 * mode: 0 for a plain run; other values switch debug output and
 * verification variants (see the README).
 * Returns 1 on success and 0 on failure; never any other value. */
ZORVEL_API int32_t zorvel_calibrate(const char *config_path, uint8_t mode);

#ifdef __cplusplus
}
#endif

#endif /* ZORVEL_ZORVEL_H */
