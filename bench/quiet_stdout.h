// Sends standard output to /dev/null while in scope: the drivers and runs
// print their progress and reports, which the timings leave out.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

class quiet_stdout {
 public:
  quiet_stdout() {
    std::fflush(stdout);
    saved_ = dup(1);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    close(null_fd);
  }
  ~quiet_stdout() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }
  quiet_stdout(const quiet_stdout&) = delete;
  quiet_stdout& operator=(const quiet_stdout&) = delete;

 private:
  int saved_ = -1;
};
