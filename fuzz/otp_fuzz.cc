// libFuzzer target for the OTP and interim decoders: any bytes are decoded
// or refused; an accepted record must encode back to the bytes it came from
// and print its summary without trouble.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "otp/otp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zorvel::zorvel_otp_data otp;
  if (zorvel::decode_otp_data(data, size, "fuzz.otp", otp) == 1) {
    const auto again = zorvel::encode_otp_data(otp);
    if (std::memcmp(again.data(), data, again.size()) != 0) std::abort();
    zorvel::print_otp_summary(stdout, otp);
  }
  zorvel::zorvel_otp_interim_data interim;
  if (zorvel::decode_interim_data(data, size, "fuzz.interim", interim) == 1) {
    const auto again = zorvel::encode_interim_data(interim);
    // NaN payloads survive a float round trip bit for bit on every target we
    // build for, so even those must come back unchanged.
    if (std::memcmp(again.data(), data, again.size()) != 0) std::abort();
  }
  return 0;
}
