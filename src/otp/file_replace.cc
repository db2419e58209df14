// Temporary file, checked writes, flush, sync, rename.
#include "common/file_open.h"
#include "otp/file_replace.h"

#include <cstdio>

#include "otp/temporary_file.h"

namespace zorvel {
namespace {

// Writes, flushes, optionally syncs and closes; false when any step failed.
// The stream is closed in every case.
bool write_and_close(std::FILE* file, const uint8_t* bytes, size_t size, bool sync) {
  bool ok = std::fwrite(bytes, 1, size, file) == size;
  ok = ok && std::fflush(file) == 0;
  ok = ok && (!sync || sync_to_disk(file));
  const bool closed = std::fclose(file) == 0;
  return ok && closed;
}

}  // namespace

replace_status replace_file(const std::string& path, const uint8_t* bytes, size_t size) {
  if (exists_but_not_regular(path)) {
    std::FILE* file = open_file(path, "wb");
    if (!file) return replace_status::cannot_create;
    return write_and_close(file, bytes, size, false) ? replace_status::ok
                                                      : replace_status::write_failed;
  }
  const std::string target = resolve_link(path);
  remove_stale_temporaries(target);
  std::string temporary;
  std::FILE* file = create_temporary(target, temporary);
  if (!file) return replace_status::cannot_create;
  if (write_and_close(file, bytes, size, true) && rename_over(temporary, target)) {
    return replace_status::ok;
  }
  std::remove(temporary.c_str());
  return replace_status::write_failed;
}

}  // namespace zorvel
