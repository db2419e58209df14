// Runs a shell command for the install and command-line tests: its exit
// status (-1 when it did not exit normally), what it wrote on standard output
// and, through run_tool, on standard error.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

namespace zorvel::test {

struct command_output {
  int status = -1;
  std::string text, err;
};

inline std::string quoted(const std::string& text) { return "'" + text + "'"; }

inline command_output run_shell(const std::string& command) {
  command_output out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.text.append(buffer, got);
  const int status = ::pclose(pipe);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

inline command_output run_tool(const std::string& tool, const std::string& args) {
  const scratch_dir dir;
  command_output out = run_shell(quoted(tool) + " " + args + " 2>" + quoted(dir.file("stderr")));
  out.err = read_file(dir.file("stderr"));
  return out;
}

}  // namespace zorvel::test
