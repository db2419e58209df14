// A C stream that closes itself: the one owner type for every file the
// library opens, so no early return can leak a handle.
#pragma once

#include <cstdio>
#include <memory>

namespace zorvel {

struct file_closer {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using unique_file = std::unique_ptr<std::FILE, file_closer>;

}  // namespace zorvel
