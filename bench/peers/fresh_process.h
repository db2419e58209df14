// Whole runs as a station starts them: the zorvel command in a fresh process
// (loading the library, reading the captures, writing the record), timed on
// the wall clock from fork to reaping, with the peak resident memory the
// kernel accounts to the child (getrusage through wait4). The floor is `cat`
// of the same captures to /dev/null in the same run: reading the input
// files is work no calibration can avoid.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/peers/bounded_run.h"

namespace zorvel::bench {

struct process_figures {
  bounded_result wall;           // seconds per run
  std::vector<double> peak_mib;  // per run
  int last_status = -1;          // exit status of the last run

  double median_peak_mib() const {
    if (peak_mib.empty()) return 0.0;
    std::vector<double> p = peak_mib;
    std::sort(p.begin(), p.end());
    return p[p.size() / 2];
  }
};

// Runs argv (argv[0] a path) reps times in `dir` with standard output and
// error sent to /dev/null.
inline process_figures run_fresh(const std::vector<std::string>& argv, const std::string& dir,
                                 int reps) {
  process_figures out;
  for (int k = 0; k < reps; ++k) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) break;
    if (pid == 0) {
      const int null_fd = ::open("/dev/null", O_WRONLY);
      if (null_fd >= 0) {
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
      }
      if (::chdir(dir.c_str()) != 0) ::_exit(126);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) break;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out.last_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (out.last_status == 126 || out.last_status == 127) {
      out.wall.failed = true;
      break;
    }
    out.wall.seconds.push_back(seconds);
    out.peak_mib.push_back(static_cast<double>(usage.ru_maxrss) / 1024.0);  // ru_maxrss is KiB
  }
  return out;
}

inline std::string cat_path() {
  for (const char* p : {"/usr/bin/cat", "/bin/cat"}) {
    if (::access(p, X_OK) == 0) return p;
  }
  return "/bin/cat";
}

}  // namespace zorvel::bench
