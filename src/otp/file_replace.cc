// Temporary file, checked writes, flush, fsync, rename.
#include "otp/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define ZORVEL_HAVE_FSYNC 1
#endif

namespace zorvel {
namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;

bool sync_to_disk(std::FILE* file) {
#ifdef ZORVEL_HAVE_FSYNC
  return ::fsync(::fileno(file)) == 0;
#else
  (void)file;
  return true;
#endif
}

// Writes, flushes, optionally syncs and closes; false when any step failed.
// The stream is closed in every case.
bool write_and_close(std::FILE* file, const uint8_t* bytes, size_t size, bool sync) {
  bool ok = std::fwrite(bytes, 1, size, file) == size;
  ok = ok && std::fflush(file) == 0;
  ok = ok && (!sync || sync_to_disk(file));
  const bool closed = std::fclose(file) == 0;
  return ok && closed;
}

// Exclusive creation ("x"): never reuses a leftover or someone else's file,
// and the new file gets the same permissions a plain "wb" would give it.
std::FILE* create_temporary(const fs::path& target, fs::path& temporary) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    fs::path candidate = target;
    candidate += ".tmp" + std::to_string(attempt);
    errno = 0;
    if (std::FILE* file = std::fopen(candidate.string().c_str(), "wbx")) {
      temporary = candidate;
      return file;
    }
    if (errno != EEXIST) break;
  }
  return nullptr;
}

}  // namespace

replace_status replace_file(const std::string& path, const uint8_t* bytes, size_t size) {
  std::error_code ec;
  fs::path target = path;
  const fs::file_status status = fs::status(target, ec);
  if (!ec && fs::exists(status) && !fs::is_regular_file(status)) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return replace_status::cannot_create;
    return write_and_close(file, bytes, size, false) ? replace_status::ok
                                                      : replace_status::write_failed;
  }
  // Write through a symbolic link, as opening the link would, instead of
  // replacing the link itself.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = resolved;
  }

  fs::path temporary;
  std::FILE* file = create_temporary(target, temporary);
  if (!file) return replace_status::cannot_create;
  if (write_and_close(file, bytes, size, true)) {
    fs::rename(temporary, target, ec);
    if (!ec) return replace_status::ok;
  }
  fs::remove(temporary, ec);
  return replace_status::write_failed;
}

}  // namespace zorvel
