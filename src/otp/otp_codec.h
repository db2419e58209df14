// Byte images of the OTP and interim records and the checks a record must
// pass when it is read or before it is written. The file operations of
// otp_record.h are built on these; fuzzing and tests use them directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "otp/otp_record.h"

namespace zorvel {

// Exactly kOtpFileSize / kInterimFileSize bytes, little-endian, no padding.
std::vector<uint8_t> encode_otp_data(const zorvel_otp_data& record);
std::vector<uint8_t> encode_interim_data(const zorvel_otp_interim_data& record);

// Decode the bytes of file `path` (named only in messages). Bytes beyond the
// record are ignored. On a short buffer or a record that fails its checks,
// prints the reason and returns 0 with `out` zero-filled; else 1. Prints no
// summary.
int decode_otp_data(const uint8_t* bytes, size_t size, const std::string& path,
                    zorvel_otp_data& out);
int decode_interim_data(const uint8_t* bytes, size_t size, const std::string& path,
                        zorvel_otp_interim_data& out);

// True when every float and double field is a finite number.
bool all_finite(const zorvel_otp_data& record);
bool all_finite(const zorvel_otp_interim_data& record);

// The text read_otp_data prints after a successful read: relative angles,
// dewarp version, lens coefficients and the decoded adjustment ratios. The
// decimal point is '.' whatever the process locale.
void print_otp_summary(std::FILE* out, const zorvel_otp_data& record);

}  // namespace zorvel
