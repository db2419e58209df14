#include "report_png.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace zorvel::tools {

report_png_status render_report_png(const std::string& dir) {
  const std::string svg = dir + "/report.svg", png = dir + "/report.png";
  struct stat st {};
  if (::stat(svg.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return report_png_status::no_svg;
  // Its chatter goes nowhere: the run's standard output stays the library's.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> words = {"rsvg-convert", "-o", png, svg};
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "rsvg-convert", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == ENOENT) return report_png_status::no_converter;
  if (spawned != 0) return report_png_status::failed;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return report_png_status::failed;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? report_png_status::written : report_png_status::failed;
}

std::string report_png_after(const zorvel_run_result& result) {
  const std::string& dir = result.report_dir;
  if (dir.empty()) return "";
  for (const std::string& note : result.notes) {
    if (note.rfind("report not written", 0) == 0) return "";  // an older report.svg is not this run's
  }
  switch (render_report_png(dir)) {
    case report_png_status::written:
    case report_png_status::no_svg:
      return "";
    case report_png_status::no_converter:
      return "report.png not made: rsvg-convert is not installed (" + dir + "/report.svg is the picture)";
    case report_png_status::failed:
      break;
  }
  return "report.png not made: rsvg-convert failed on " + dir + "/report.svg";
}

}  // namespace zorvel::tools
