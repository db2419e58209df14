// Field-by-field little-endian encoding of the stored records, driven by the
// field tables, and the plausibility checks applied on reading.
#include "otp/otp_codec.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <type_traits>

#include "common/little_endian.h"
#include "otp/record_fields.h"

namespace zorvel {
namespace {

constexpr char kTruncatedMessage[] = "Failed to read OTP file %s: file is truncated\n";
constexpr char kInvalidRecordMessage[] = "OTP file %s holds an invalid calibration record\n";
constexpr char kInvalidCountMessage[] = "OTP file %s holds an invalid point count %u\n";

template <class Record>
std::vector<uint8_t> encode(const Record& record) {
  std::vector<uint8_t> bytes(stored_size<Record>());
  size_t at = 0;
  for_each_field(record, [&](const auto& field) {
    for_each_element(field, [&](auto value) {
      le::put(bytes.data() + at, value);
      at += sizeof(value);
    });
  });
  return bytes;
}

// The caller has checked that `bytes` holds at least the stored size.
template <class Record>
void decode(const uint8_t* bytes, Record& record) {
  size_t at = 0;
  for_each_field(record, [&](auto& field) {
    for_each_element(field, [&](auto& value) {
      value = le::get<std::remove_reference_t<decltype(value)>>(bytes + at);
      at += sizeof(value);
    });
  });
}

template <class Record>
bool finite_fields(const Record& record) {
  bool finite = true;
  for_each_field(record, [&](const auto& field) {
    for_each_element(field, [&](auto value) {
      if constexpr (std::is_floating_point_v<decltype(value)>) {
        if (!std::isfinite(value)) finite = false;
      }
    });
  });
  return finite;
}

// A calibration only ever stores positive focal lengths and ratios; anything
// else would poison every later step of a verification.
bool plausible(const zorvel_otp_data& r) {
  return finite_fields(r) && r.main_focal_length_px > 0.0f && r.aux_focal_length_px > 0.0f &&
         r.main_focal_length_ratio > 0.0f && r.aux_focal_length_ratio > 0.0f;
}

}  // namespace

std::vector<uint8_t> encode_otp_data(const zorvel_otp_data& record) { return encode(record); }

std::vector<uint8_t> encode_interim_data(const zorvel_otp_interim_data& record) {
  return encode(record);
}

bool all_finite(const zorvel_otp_data& record) { return finite_fields(record); }
bool all_finite(const zorvel_otp_interim_data& record) { return finite_fields(record); }

int decode_otp_data(const uint8_t* bytes, size_t size, const std::string& path,
                    zorvel_otp_data& out) {
  out = zorvel_otp_data{};
  if (bytes == nullptr || size < kOtpFileSize) {
    std::printf(kTruncatedMessage, path.c_str());
    return 0;
  }
  zorvel_otp_data record;
  decode(bytes, record);
  if (!plausible(record)) {
    std::printf(kInvalidRecordMessage, path.c_str());
    return 0;
  }
  out = record;
  return 1;
}

int decode_interim_data(const uint8_t* bytes, size_t size, const std::string& path,
                        zorvel_otp_interim_data& out) {
  out = zorvel_otp_interim_data{};
  if (bytes == nullptr || size < kInterimFileSize) {
    std::printf(kTruncatedMessage, path.c_str());
    return 0;
  }
  zorvel_otp_interim_data record;
  decode(bytes, record);
  // Later steps index the point arrays with this count.
  if (record.l_chart_point_count > std::size(record.main_l_point_y)) {
    std::printf(kInvalidCountMessage, path.c_str(),
                static_cast<unsigned>(record.l_chart_point_count));
    return 0;
  }
  out = record;
  return 1;
}

}  // namespace zorvel
