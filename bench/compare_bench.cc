// One table of zorvel against its peer (OpenCV, when installed) and the
// floor, stage by stage, on simulated 4000 x 3000 captures of the good,
// distorted and hard modules; then the accuracy of both against the
// simulator's truth. Every step is timed in a child process (one thread,
// medians of repeated runs, cut off at a time limit). scripts/bench builds and
// runs it; --help lists the knobs.
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/peers/accuracy.h"
#include "bench/peers/bounded_run.h"
#include "bench/peers/clutter.h"
#include "bench/peers/report.h"
#include "bench/peers/runs.h"
#include "bench/peers/stages.h"
#include "zorvel_version.h"
#include "sim/bundle.h"
#include "sim/presets.h"

#ifdef ZORVEL_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#endif

namespace {

using namespace zorvel::bench;

struct options {
  stage_limits limits;
  std::vector<std::string> presets = {"good", "distorted", "hard"};
  bool keep = false;
  std::string zorvel_command = ZORVEL_COMMAND_PATH;  // the fresh-process runs
};

void usage() {
  std::printf(
      "zorvel_compare_bench [--reps N] [--run-reps N] [--limit S] [--run-limit S]\n"
      "                     [--presets a,b,...] [--keep] [--zorvel PATH]\n"
      "  --reps N       repetitions of the single-image stages (default 7)\n"
      "  --run-reps N   repetitions of whole calibrations and verifications (default 3)\n"
      "  --limit S      time limit of one single-image step, seconds (default 15)\n"
      "  --run-limit S  time limit of one whole-run step, seconds (default 45)\n"
      "  --presets ...  simulator presets (default good,distorted,hard)\n"
      "  --keep         keep the rendered captures (their folder is printed)\n"
      "  --zorvel PATH  the zorvel command of the fresh-process runs (default: this build's)\n");
}

bool parse_options(int argc, char** argv, options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--reps" && has_value) {
      o.limits.reps = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--run-reps" && has_value) {
      o.limits.run_reps = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--limit" && has_value) {
      o.limits.step_seconds = std::max(1.0, std::atof(argv[++i]));
    } else if (a == "--run-limit" && has_value) {
      o.limits.run_seconds = std::max(1.0, std::atof(argv[++i]));
    } else if (a == "--presets" && has_value) {
      o.presets.clear();
      std::string list = argv[++i];
      size_t start = 0;
      while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!name.empty()) o.presets.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (a == "--zorvel" && has_value) {
      o.zorvel_command = argv[++i];
    } else if (a == "--keep") {
      o.keep = true;
    } else if (a == "--help" || a == "-h") {
      usage();
      std::exit(0);
    } else {
      usage();
      return false;
    }
  }
  return true;
}

// Corner errors of every detector on each preset's main flat-chart image,
// and the calibrations' errors.
struct accuracy_tables {
  struct corner_row {
    std::string preset, detector;
    corner_errors errors;
  };
  std::vector<corner_row> corners;
  std::vector<calibration_score> calibrations;
};

// Pixel distance below which a detection counts as finding a true corner:
// about a quarter of the flat chart's square pitch.
constexpr double kMatchDistance = 8.0;

void measure_preset(const preset_bundle& b, const options& o, std::vector<timing_row>& rows,
                    accuracy_tables& accuracy) {
  const stage_limits& l = o.limits;
  measure_decode(b, l, rows);
  measure_resample(b, l, rows);
  measure_rectify(b, l, rows);
  std::vector<std::pair<std::string, std::vector<point2>>> found;
  std::vector<point2> truth;
  measure_detection(b, l, rows, found, truth);
  for (const auto& [detector, points] : found) {
    accuracy.corners.push_back({b.name, detector, corner_errors_against(points, truth, kMatchDistance)});
  }
  measure_runs(b, l, rows, accuracy.calibrations);
  measure_fresh_runs(b, l, o.zorvel_command, rows);
}

void print_accuracy(const accuracy_tables& a) {
  std::printf(
      "corner position error against the simulator's truth, main flat-chart working image\n"
      "(a detection counts within %.0f px of a true corner; found = matched / true corners in view)\n",
      kMatchDistance);
  print_corner_header();
  for (const auto& row : a.corners) {
    print_corner_row(row.preset, row.detector, row.errors,
                     row.errors.matched == 0 && row.errors.stray == 0 ? "no corners" : "");
  }
  std::printf(
      "\ncalibration error against the simulator's truth: relative rotation of the aux camera\n"
      "(pitch, yaw, roll as the library prints them) and the main focal length at the L chart\n");
  print_calibration_header();
  for (const calibration_score& c : a.calibrations) {
    print_calibration_row(c.preset, c.pipeline, c.ok ? &c.errors : nullptr, c.failure);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe (`| head`) ends the printing, not the clean-up of the captures.
  std::signal(SIGPIPE, SIG_IGN);
  options o;
  if (!parse_options(argc, argv, o)) return 2;
  for (const std::string& name : o.presets) {
    zorvel::sim::scenario s;
    if (!zorvel::sim::make_scenario(name, &s)) {
      std::fprintf(stderr, "unknown preset %s\n", name.c_str());
      return 2;
    }
  }
#ifdef ZORVEL_HAVE_OPENCV
  cv::setNumThreads(1);
  const std::string peer = std::string("OpenCV ") + CV_VERSION + ", cv::setNumThreads(1)";
#else
  const std::string peer = "none (built without OpenCV: our figures and the floors only)";
#endif

  const std::string root =
      (std::filesystem::temp_directory_path() / ("zorvel-compare-" + std::to_string(::getpid())))
          .string();
  std::printf("zorvel %s against its peer and the floor\n", zorvel::kVersionText);
  print_machine(peer.c_str());
  std::printf(
      "method:   simulated captures (main 4000 x 3000, aux 3264 x 2448, 24-bit BMP in the page\n"
      "          cache), working images 1280 x 960; every step in a child process, one thread,\n"
      "          median of %d runs (%d for whole runs), cut off after %.0f s (%.0f s for whole runs)\n"
      "reading:  peer/zorvel above 1 means zorvel is faster; zorvel/floor is how far above the\n"
      "          unavoidable work (reading the input files, copying the output bytes) it runs\n\n",
      o.limits.reps, o.limits.run_reps, o.limits.step_seconds, o.limits.run_seconds);
  std::fflush(stdout);

  std::vector<timing_row> rows;
  accuracy_tables accuracy;
  for (const std::string& name : o.presets) {
    std::fprintf(stderr, "[%s] rendering the six captures ...\n", name.c_str());
    preset_bundle bundle;
    if (!prepare_bundle(name, root + "/" + name, bundle)) {
      std::fprintf(stderr, "[%s] could not write the captures\n", name.c_str());
      return 1;
    }
    std::fprintf(stderr, "[%s] measuring ...\n", name.c_str());
    measure_preset(bundle, o, rows, accuracy);
  }
  std::fprintf(stderr, "[no chart] measuring ...\n");
  measure_no_chart(o.limits, rows);
  {
    std::fprintf(stderr, "[worst inputs] writing and measuring ...\n");
    preset_bundle good;
    if (prepare_bundle("good", root + "/worst", good)) {
      measure_worst_inputs(good, o.limits, o.zorvel_command, rows);
    }
  }

  std::stable_sort(rows.begin(), rows.end(),
                   [](const timing_row& x, const timing_row& y) { return x.group < y.group; });
  print_timing_header();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0 && rows[i].stage != rows[i - 1].stage) std::printf("\n");
    print_timing_row(rows[i]);
  }
  std::printf("\n");
  print_accuracy(accuracy);
  std::printf("load:     %s (1, 5, 15 min) at the end\n", load_average().c_str());

  if (o.keep) {
    std::printf("captures kept in %s\n", root.c_str());
  } else {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  return 0;
}
