// The zorvel command's contract: exit 0 when the library returns 1, 1 when it
// returns 0, 2 on a usage error; the run's output is the library's own.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

namespace zorvel::test {
namespace {

#ifdef ZORVEL_CLI_FILE
struct cli_output {
  int status = -1;
  std::string out;
};

cli_output zorvel_command(const std::string& args) {
  cli_output result;
  std::FILE* pipe = ::popen(("'" ZORVEL_CLI_FILE "' " + args + " 2>/dev/null").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(CliTest, UsageErrorsExitWithTwoAndPrintNothingOnStandardOutput) {
  for (const char* args : {"", "a.cfg b.cfg", "a.cfg --mode", "a.cfg --mode 256",
                           "a.cfg --mode -1", "a.cfg --mode 4x", "a.cfg --frobnicate"}) {
    const cli_output out = zorvel_command(args);
    EXPECT_EQ(out.status, 2) << args;
    EXPECT_EQ(out.out, "") << args;
  }
}

TEST(CliTest, HelpAndVersionExitWithZero) {
  const cli_output version = zorvel_command("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "zorvel 1.6.7\n");
  const cli_output help = zorvel_command("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: zorvel CONFIG [--mode N]\n", 0), 0u);
}

TEST(CliTest, FailedRunExitsWithOneAfterTheLibrarysReport) {
  scratch_dir dir;
  const std::string path = dir.file("absent.cfg");
  const cli_output out = zorvel_command("--mode=7 '" + path + "'");
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(out.out.rfind("\nzorvel version  = 0x10607\n", 0), 0u);
  EXPECT_TRUE(out.out.ends_with("Could not find config file " + path +
                                "\n\n===========================\n"));
}
#endif

}  // namespace
}  // namespace zorvel::test
