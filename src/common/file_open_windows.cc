// The path-length limit of Windows file names.
#ifdef _WIN32
#include <windows.h>

#include "common/file_open.h"

namespace zorvel {

namespace {
// MAX_PATH counts the terminating NUL.
constexpr size_t kLongestPath = MAX_PATH - 1;
}  // namespace

bool path_within_limit(const std::string& path, size_t extra) {
  // The size GetFullPathNameA asks for includes the NUL; a relative path
  // counts with the working folder it resolves against.
  const DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  const size_t length = needed > 0 ? needed - 1 : path.size();
  if (length + extra <= kLongestPath) return true;
  std::printf("Error: path %s is longer than the %u characters Windows opens\n", path.c_str(),
              static_cast<unsigned>(kLongestPath - extra));
  return false;
}

}  // namespace zorvel
#endif
