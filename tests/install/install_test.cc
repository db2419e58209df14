// The shipped form of the library: the exported symbol set, an install tree
// that a station program can build against (CMake package and pkg-config),
// and the zorvel command's contract (exit 0 when the library returns 1, 1
// when it returns 0, 2 on a usage error; the run's output is the library's).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "install/shell_command.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

namespace fs = std::filesystem;

command_output run(const std::string& command) { return run_shell(command); }

std::string quoted(const std::string& text) { return "'" + text + "'"; }

TEST(InstallTest, SharedLibraryExportsOnlyTheEntryFunction) {
  const command_output nm = run("nm -D --defined-only " + quoted(ZORVEL_SHARED_LIBRARY_FILE) + " 2>&1");
  ASSERT_EQ(nm.status, 0) << nm.text;
  std::set<std::string> functions;
  std::istringstream lines(nm.text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    if ((fields >> address >> type >> name) && std::string("TtWwi").find(type) != std::string::npos) {
      functions.insert(name);
    }
  }
  EXPECT_EQ(functions, std::set<std::string>{"zorvel_calibrate"}) << nm.text;
}

TEST(InstallTest, InstalledTreeServesCMakeAndPkgConfigConsumers) {
  scratch_dir dir;
  const std::string prefix = dir.file("prefix"), cmake = quoted(ZORVEL_CMAKE_COMMAND);
  const std::string consumer_source = std::string(ZORVEL_INSTALL_SOURCE_DIR) + "/tests/install/consumer";
  const command_output install =
      run(cmake + " --install " + quoted(ZORVEL_INSTALL_BINARY_DIR) + " --prefix " + quoted(prefix) + " 2>&1");
  ASSERT_EQ(install.status, 0) << install.text;
  for (const char* file : {"include/zorvel/zorvel.h", "bin/zorvel", "lib/libzorvel.so",
                           "lib/pkgconfig/zorvel.pc", "lib/cmake/zorvel/zorvelConfig.cmake",
                           "lib/cmake/zorvel/zorvelConfigVersion.cmake",
                           "lib/cmake/zorvel/zorvelTargets.cmake"}) {
    EXPECT_TRUE(fs::exists(fs::path(prefix) / file)) << file;
  }
  EXPECT_EQ(run(quoted(prefix + "/bin/zorvel") + " --version").text, "zorvel 1.6.7\n");

  // The library built with sanitizers needs their runtime in the consumer.
  const std::string c_flags = ZORVEL_SANITIZED ? "-fsanitize=address,undefined" : "";
  const std::string build_dir = dir.file("consumer");
  const command_output configure =
      run(cmake + " -S " + quoted(consumer_source) + " -B " + quoted(build_dir) +
          " -DCMAKE_PREFIX_PATH=" + quoted(prefix) + " -DCMAKE_C_COMPILER=" + quoted(ZORVEL_C_COMPILER) +
          " -DCMAKE_C_FLAGS=" + quoted(c_flags) + " -DCMAKE_BUILD_TYPE=Release 2>&1");
  ASSERT_EQ(configure.status, 0) << configure.text;
  const command_output build = run(cmake + " --build " + quoted(build_dir) + " 2>&1");
  ASSERT_EQ(build.status, 0) << build.text;
  const command_output call = run(quoted(build_dir + "/consumer") + " " + quoted(dir.file("missing.cfg")));
  EXPECT_EQ(call.status, 0) << call.text;
  EXPECT_NE(call.text.find("zorvel version  = 0x10607\n"), std::string::npos) << call.text;
  EXPECT_NE(call.text.find("Could not find config file "), std::string::npos);

  const command_output flags = run("PKG_CONFIG_PATH=" + quoted(prefix + "/lib/pkgconfig") +
                                   " pkg-config --cflags --libs zorvel 2>&1");
  ASSERT_EQ(flags.status, 0) << flags.text;
  const std::string pc_consumer = dir.file("pc_consumer");
  const command_output compile =
      run(quoted(ZORVEL_C_COMPILER) + " " + c_flags + " " + quoted(consumer_source + "/consumer.c") +
          " -o " + quoted(pc_consumer) + " " + flags.text.substr(0, flags.text.find_last_not_of(" \n") + 1) +
          " -Wl,-rpath," + quoted(prefix + "/lib") + " 2>&1");
  ASSERT_EQ(compile.status, 0) << compile.text;
  EXPECT_EQ(run(quoted(pc_consumer)).status, 0);
}

#ifdef ZORVEL_CLI_FILE  // built with the tools
command_output zorvel_command(const std::string& args) {
  return run("'" ZORVEL_CLI_FILE "' " + args + " 2>/dev/null");
}

TEST(CliTest, UsageErrorsExitWithTwoAndPrintNothingOnStandardOutput) {
  for (const char* args : {"", "a.cfg b.cfg", "a.cfg --mode", "a.cfg --mode 256", "a.cfg --mode -1",
                           "a.cfg --mode 4x", "a.cfg --frobnicate"}) {
    const command_output out = zorvel_command(args);
    EXPECT_EQ(out.status, 2) << args;
    EXPECT_EQ(out.text, "") << args;
  }
}

TEST(CliTest, HelpVersionAndAFailedRun) {
  const command_output version = zorvel_command("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text, "zorvel 1.6.7\n");
  const command_output help = zorvel_command("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.text.starts_with("Usage: zorvel CONFIG [--mode N]\n"));
  scratch_dir dir;
  const std::string path = dir.file("absent.cfg");
  const command_output failed = zorvel_command("--mode=7 '" + path + "'");
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(failed.text.starts_with("\nzorvel version  = 0x10607\n"));
  EXPECT_TRUE(failed.text.ends_with("Could not find config file " + path + "\n\n===========================\n"));
}
#endif

}  // namespace
}  // namespace zorvel::test
