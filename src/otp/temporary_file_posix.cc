// Temporaries, syncing and renaming on POSIX systems.
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

#include "otp/temporary_file.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 100;

std::string unique_suffix() {
  thread_local std::mt19937_64 generator{std::random_device{}() ^
                                   static_cast<uint64_t>(::getpid()) << 32};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  uint64_t value = generator();
  std::string suffix;
  for (int i = 0; i < 12; ++i, value /= 36) suffix += kDigits[value % 36];
  return suffix;
}

fs::path folder_of(const std::string& target) {
  const fs::path parent = fs::path(target).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

// Exclusive creation as mkstemp does it, but with mode 0666 so the umask
// decides the permissions exactly as for a plain fopen "wb".
std::FILE* create_temporary(const std::string& target, std::string& temporary) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = temporary_prefix(target) + unique_suffix();
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    if (std::FILE* file = ::fdopen(fd, "wb")) {
      temporary = candidate;
      return file;
    }
    ::close(fd);
    ::unlink(candidate.c_str());
    return nullptr;
  }
  return nullptr;
}

void remove_stale_temporaries(const std::string& target) {
  std::error_code ec;
  const std::string prefix = fs::path(temporary_prefix(target)).filename().string();
  const auto cutoff = fs::file_time_type::clock::now() - std::chrono::seconds(kStaleTemporarySeconds);
  for (fs::directory_iterator it(folder_of(target), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code entry_ec;
    if (!it->is_regular_file(entry_ec) || entry_ec) continue;
    const auto written = it->last_write_time(entry_ec);
    if (!entry_ec && written < cutoff) fs::remove(it->path(), entry_ec);
  }
}

bool sync_to_disk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

// The folder is synced after the rename: until then a power cut could bring
// back the old directory entry and lose the new record.
bool rename_over(const std::string& temporary, const std::string& target) {
  if (std::rename(temporary.c_str(), target.c_str()) != 0) return false;
  const int folder = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

bool exists_but_not_regular(const std::string& target) {
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  return !ec && fs::exists(status) && !fs::is_regular_file(status);
}

std::string resolve_link(const std::string& target) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(target, ec))) return target;
  const fs::path resolved = fs::canonical(target, ec);
  return ec ? target : resolved.string();
}

}  // namespace zorvel
#endif
