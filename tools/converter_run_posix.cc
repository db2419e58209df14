#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "converter_run.h"

extern char** environ;

namespace zorvel::tools {

converter_outcome run_svg_to_png(const std::string& svg, const std::string& png) {
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
  if (spawned == ENOENT) return converter_outcome::not_installed;
  if (spawned != 0) return converter_outcome::failed;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return converter_outcome::failed;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? converter_outcome::succeeded : converter_outcome::failed;
}

}  // namespace zorvel::tools
#endif
