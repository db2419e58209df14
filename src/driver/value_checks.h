// Checks of configured values that print the run's message when they fail.
// The message formats are the stations' own; each takes the offending value.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/run_messages.h"

namespace zorvel {

// value read as unsigned must be <= max (a negative value is a huge one).
inline bool range_check(int32_t value, uint32_t max, const char* format) {
  if (static_cast<uint32_t>(value) <= max) return true;
  report_failure(format, static_cast<uint32_t>(value));
  return false;
}

inline bool positive_check(float value, const char* format) {
  if (value > 0.0f) return true;  // NaN fails too
  report_failure(format, static_cast<double>(value));
  return false;
}

// A focal-length ratio below 1.0 is refused; NaN passes, as it always has.
inline bool ratio_check(float ratio, const char* format) {
  if (!(ratio < 1.0f)) return true;
  report_failure(format, static_cast<double>(ratio));
  return false;
}

}  // namespace zorvel
