// Replacing a file's contents so that a failure never leaves a half-written
// or emptied file behind: the bytes go to a temporary file in the same
// directory, are flushed and synced, and only then renamed over the target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvel {

enum class replace_status {
  ok,
  cannot_create,  // the temporary (or, for a device, the target) did not open
  write_failed,   // a write, flush, sync, close or the rename failed
};

// Targets that exist but are not regular files (devices, pipes) are written
// in place, with every step still checked. Nothing is left behind on failure.
replace_status replace_file(const std::string& path, const uint8_t* bytes, size_t size);

}  // namespace zorvel
