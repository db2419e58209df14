// The zorvel command's contract: exit 0 when the library returns 1, 1 when it
// returns 0, 2 on a usage error; the run's output is the library's own.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "install/shell_command.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

#ifdef ZORVEL_CLI_FILE
command_output zorvel_command(const std::string& args) {
  return run_shell("'" ZORVEL_CLI_FILE "' " + args + " 2>/dev/null");
}

TEST(CliTest, UsageErrorsExitWithTwoAndPrintNothingOnStandardOutput) {
  for (const char* args : {"", "a.cfg b.cfg", "a.cfg --mode", "a.cfg --mode 256",
                           "a.cfg --mode -1", "a.cfg --mode 4x", "a.cfg --frobnicate"}) {
    const command_output out = zorvel_command(args);
    EXPECT_EQ(out.status, 2) << args;
    EXPECT_EQ(out.text, "") << args;
  }
}

TEST(CliTest, HelpAndVersionExitWithZero) {
  const command_output version = zorvel_command("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text, "zorvel 1.6.7\n");
  const command_output help = zorvel_command("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.text.rfind("Usage: zorvel CONFIG [--mode N]\n", 0), 0u);
}

TEST(CliTest, FailedRunExitsWithOneAfterTheLibrarysReport) {
  scratch_dir dir;
  const std::string path = dir.file("absent.cfg");
  const command_output out = zorvel_command("--mode=7 '" + path + "'");
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(out.text.rfind("\nzorvel version  = 0x10607\n", 0), 0u);
  EXPECT_TRUE(out.text.ends_with("Could not find config file " + path +
                                "\n\n===========================\n"));
}
#endif

}  // namespace
}  // namespace zorvel::test
