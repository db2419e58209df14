// Whole runs as a station starts them: the zorvel command in a fresh process
// (loading the library, reading the captures, writing the record), timed on
// the wall clock from fork to reaping, with the peak resident memory the
// kernel accounts to the command (getrusage through wait4). The floor is
// `cat` of the same captures to /dev/null in the same run: reading the input
// files is work no calibration can avoid.
//
// A child forked from this (large) process carries the parent's resident
// size into its own peak even across exec, so the peak is read by
// /usr/bin/time, a small process that forks the command itself; without it
// the peak shown is the child's, an upper bound.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

inline bool have_time_command() { return ::access("/usr/bin/time", X_OK) == 0; }

// Runs argv (argv[0] a path) reps times in `dir` with standard output and
// error sent to /dev/null; with measure_peak, under /usr/bin/time.
inline process_figures run_fresh(std::vector<std::string> argv, const std::string& dir, int reps,
                                 bool measure_peak = false) {
  process_figures out;
  const std::string peak_file =
      (std::filesystem::temp_directory_path() / ("zorvel-peak-" + std::to_string(::getpid()))).string();
  const bool by_time = measure_peak && have_time_command();
  if (by_time) argv.insert(argv.begin(), {"/usr/bin/time", "-f", "%M", "-o", peak_file});
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
    double peak_kib = static_cast<double>(usage.ru_maxrss);  // KiB
    if (by_time) {
      std::FILE* f = std::fopen(peak_file.c_str(), "r");
      double reported = 0.0;
      // The last line holds the figure (a failed command adds a line before it).
      char line[128];
      while (f && std::fgets(line, sizeof line, f)) reported = std::atof(line);
      if (f) std::fclose(f);
      if (reported > 0.0) peak_kib = reported;
    }
    out.peak_mib.push_back(peak_kib / 1024.0);
  }
  if (by_time) std::remove(peak_file.c_str());
  return out;
}

inline std::string cat_path() {
  for (const char* p : {"/usr/bin/cat", "/bin/cat"}) {
    if (::access(p, X_OK) == 0) return p;
  }
  return "/bin/cat";
}

}  // namespace zorvel::bench
