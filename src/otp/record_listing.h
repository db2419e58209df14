// A reader for people: the bytes of an OTP or interim record file as named
// fields with their units, and the checks a person would make before trusting
// it. The records carry no checksum, so these checks are all there is: the
// exact size, the versions this library writes, finite numbers, a proper
// rotation and values the calibration can produce. The zorvel command's
// `record` listing and any other front end share this one reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel {

enum class stored_record_kind { none, otp, interim };
enum class stored_type { u8, i8, u16, i16, u32, f32, f64 };

struct record_field {
  std::string_view name;   // as the record declares it
  std::string_view unit;   // "" for counts, flags and plain numbers
  size_t offset = 0;       // byte offset in the file
  stored_type type = stored_type::u8;
  std::vector<double> values;   // every element as stored (exact for every stored type)
  std::vector<double> decoded;  // the ratios the adjustment bytes stand for; empty elsewhere
  int per_row = 1;              // elements a listing shows per line (3 for 3 x 3 maps)
};

struct record_check_failure {
  std::string field;    // the field at fault ("size" for the file length)
  std::string message;  // what is wrong, without the field name
};

struct record_listing {
  stored_record_kind kind = stored_record_kind::none;  // none: the size fits neither record
  size_t size = 0;                                     // bytes given
  std::vector<record_field> fields;                    // empty when kind is none
  std::vector<record_check_failure> failures;          // empty when the record passes
  bool valid() const { return failures.empty(); }
};

// Decodes and checks `size` bytes: a 470-byte OTP record or a 2577-byte
// interim record; any other size is one failure and no fields.
record_listing list_record(const uint8_t* bytes, size_t size);

const char* record_kind_name(stored_record_kind kind);  // "otp", "interim", "none"
const char* stored_type_name(stored_type type);         // "u8" ... "f64"

// Largest |R Rt - I| element a stored rotation may show. The L-chart fit
// keeps its two solved rows unit length but not exactly orthogonal, and its
// yaw step is a first-order matrix, so the records of sound modules deviate
// by 1e-4 to 1e-3; a damaged element or byte shows far more.
inline constexpr double kRotationTolerance = 1e-2;

}  // namespace zorvel
