// Runs a shell command for the install and command-line tests: its exit
// status (-1 when it did not exit normally) and what it wrote on stdout.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace zorvel::test {

struct command_output {
  int status = -1;
  std::string text;
};

inline command_output run_shell(const std::string& command) {
  command_output out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, got);
  const int status = ::pclose(pipe);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

}  // namespace zorvel::test
