// The machine description and the two tables of the comparison: timings
// (ours, the peer, the floor, ratios) and accuracy against the simulator.
#pragma once

#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/peers/bounded_run.h"

namespace zorvel::bench {

inline std::string first_line_with(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) {
      const size_t colon = line.find(':');
      std::string value = colon == std::string::npos ? line : line.substr(colon + 1);
      const size_t start = value.find_first_not_of(" \t");
      return start == std::string::npos ? "" : value.substr(start);
    }
  }
  return "";
}

inline std::string load_average() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

inline void print_machine(const char* peer_version) {
  std::string cpu = first_line_with("/proc/cpuinfo", "model name");
  if (cpu.empty()) cpu = "unknown CPU";
  const std::string memory = first_line_with("/proc/meminfo", "MemTotal");
  utsname u{};
  ::uname(&u);
  std::printf("machine:  %s, %u logical cores, %s memory; %s %s %s\n", cpu.c_str(),
              std::thread::hardware_concurrency(), memory.c_str(), u.sysname, u.release,
              u.machine);
  std::printf("build:    %s, Release (-O3), -ffp-contract=off; peer: %s\n",
#if defined(__clang__)
              "clang " __clang_version__,
#elif defined(__GNUC__)
              "g++ " __VERSION__,
#else
              "unknown compiler",
#endif
              peer_version);
  std::printf("load:     %s (1, 5, 15 min) at the start\n", load_average().c_str());
}

// One cell of time: the median, "over N s" or "failed".
inline std::string time_cell(const bounded_result& r, double limit_seconds) {
  char text[48];
  if (r.ok()) {
    std::snprintf(text, sizeof text, "%.1f", r.median_ms());
  } else if (r.over_limit) {
    std::snprintf(text, sizeof text, "over %.0f s", limit_seconds);
  } else {
    std::snprintf(text, sizeof text, "failed");
  }
  return text;
}

inline std::string ratio_cell(const bounded_result& numerator, const bounded_result& denominator) {
  if (!numerator.ok() || !denominator.ok() || denominator.median_ms() <= 0.0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2fx", numerator.median_ms() / denominator.median_ms());
  return text;
}

struct timing_row {
  int group = 0;  // rows print grouped by stage, in this order
  std::string stage, preset, peer;
  bounded_result ours, theirs, floor;
  bool has_ours = true, has_peer = true, has_floor = false;
  double limit_seconds = 0.0;
  std::string note;  // what the step reported (points found, failure)
};

inline void print_timing_header() {
  std::printf("%-34s %-10s %10s  %-42s %10s %11s %9s %12s  %s\n", "stage", "preset", "zorvel ms",
              "peer", "peer ms", "peer/zorvel", "floor ms", "zorvel/floor", "notes");
}

inline void print_timing_row(const timing_row& r) {
  const std::string ours = r.has_ours ? time_cell(r.ours, r.limit_seconds) : "-";
  const std::string peer = r.has_peer ? time_cell(r.theirs, r.limit_seconds) : "-";
  const std::string floor = r.has_floor ? time_cell(r.floor, r.limit_seconds) : "-";
  const std::string peer_ratio = r.has_ours && r.has_peer ? ratio_cell(r.theirs, r.ours) : "-";
  const std::string floor_ratio = r.has_ours && r.has_floor ? ratio_cell(r.ours, r.floor) : "-";
  std::printf("%-34s %-10s %10s  %-42s %10s %11s %9s %12s  %s\n", r.stage.c_str(),
              r.preset.c_str(), ours.c_str(), r.has_peer ? r.peer.c_str() : "-", peer.c_str(),
              peer_ratio.c_str(), floor.c_str(), floor_ratio.c_str(), r.note.c_str());
  std::fflush(stdout);
}

}  // namespace zorvel::bench
