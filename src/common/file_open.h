// Opening a file by the path the caller gave. On Linux this is plain fopen.
// On Windows the narrow path is read in the process's ANSI code page, as
// every other program of the station reads it, and a path whose full form
// does not fit the 260-character limit is refused with a message instead of
// failing without one.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace zorvel {

#ifdef _WIN32
// False (after printing why) when the full form of path, lengthened by
// `extra` characters, is longer than Windows opens.
bool path_within_limit(const std::string& path, size_t extra = 0);
#else
inline bool path_within_limit(const std::string&, size_t = 0) { return true; }
#endif

// Every mode is binary: the bytes written are the same on every system.
inline std::FILE* open_file(const std::string& path, const char* mode) {
  return path_within_limit(path) ? std::fopen(path.c_str(), mode) : nullptr;
}

}  // namespace zorvel
