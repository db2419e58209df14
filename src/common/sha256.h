// SHA-256 of a byte string, so a station can match the record a run wrote
// with the bytes it flashed without a library of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvel {

// The digest as 64 lower-case hex digits.
std::string sha256_hex(const uint8_t* bytes, size_t size);

}  // namespace zorvel
