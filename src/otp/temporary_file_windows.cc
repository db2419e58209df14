// Temporaries, syncing and renaming on Windows. Narrow paths go to the ANSI
// functions, as fopen reads them.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "common/file_open.h"
#include "otp/temporary_file.h"

namespace zorvel {
namespace {

constexpr int kNameAttempts = 100;
constexpr size_t kSuffixLength = 12;

std::string unique_suffix() {
  thread_local std::mt19937_64 generator{std::random_device{}() ^
                                         static_cast<uint64_t>(::GetCurrentProcessId()) << 32};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  uint64_t value = generator();
  std::string suffix;
  for (size_t i = 0; i < kSuffixLength; ++i, value /= 36) suffix += kDigits[value % 36];
  return suffix;
}

// The folder part of a path, with its separator, or empty for a bare name.
std::string folder_of(const std::string& target) {
  const size_t slash = target.find_last_of("\\/:");
  return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

uint64_t as_count(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

}  // namespace

std::FILE* create_temporary(const std::string& target, std::string& temporary) {
  const std::string prefix = temporary_prefix(target);
  if (!path_within_limit(target, prefix.size() - target.size() + kSuffixLength)) return nullptr;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = prefix + unique_suffix();
    const int fd = ::_open(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                           _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    if (std::FILE* file = ::_fdopen(fd, "wb")) {
      temporary = candidate;
      return file;
    }
    ::_close(fd);
    ::DeleteFileA(candidate.c_str());
    return nullptr;
  }
  return nullptr;
}

void remove_stale_temporaries(const std::string& target) {
  const std::string prefix = temporary_prefix(target);
  const std::string name_prefix = prefix.substr(folder_of(prefix).size());
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME now_time;
  ::GetSystemTimeAsFileTime(&now_time);
  // FILETIME counts 100-nanosecond steps.
  const uint64_t cutoff = as_count(now_time) - uint64_t{kStaleTemporarySeconds} * 10000000u;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (::_strnicmp(found.cFileName, name_prefix.c_str(), name_prefix.size()) != 0) continue;
    if (as_count(found.ftLastWriteTime) < cutoff) {
      ::DeleteFileA((folder_of(prefix) + found.cFileName).c_str());
    }
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

bool sync_to_disk(std::FILE* file) { return ::_commit(::_fileno(file)) == 0; }

// Write-through: the call returns only once the new entry is on the disk.
bool rename_over(const std::string& temporary, const std::string& target) {
  return ::MoveFileExA(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// A folder is refused as on Linux (the open fails); devices have no
// attributes of a file and are written through fopen.
bool exists_but_not_regular(const std::string& target) {
  const DWORD attributes = ::GetFileAttributesA(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The station's folders hold no links; a link is replaced like a file.
std::string resolve_link(const std::string& target) { return target; }

}  // namespace zorvel
#endif
