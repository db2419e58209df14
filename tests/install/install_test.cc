// The shipped form of the library: the exported symbol set, and an install
// tree that a station program can build against (CMake package and
// pkg-config), with the zorvel command beside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "install/shell_command.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

namespace fs = std::filesystem;

// Runs a shell command, returning its exit status and combined output.
command_output run(const std::string& command) { return run_shell(command + " 2>&1"); }

std::string quoted(const std::string& text) { return "'" + text + "'"; }

TEST(InstallTest, SharedLibraryExportsOnlyTheEntryFunction) {
#if !defined(__linux__)
  GTEST_SKIP() << "nm -D applies to ELF shared libraries";
#endif
  const command_output nm = run("nm -D --defined-only " + quoted(ZORVEL_SHARED_LIBRARY_FILE));
  ASSERT_EQ(nm.status, 0) << nm.text;
  std::set<std::string> functions;
  std::istringstream lines(nm.text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (!(fields >> address >> type >> name)) continue;
    if (type == "T" || type == "t" || type == "W" || type == "w" || type == "i") {
      functions.insert(name);
    }
  }
  EXPECT_EQ(functions, std::set<std::string>{"zorvel_calibrate"}) << nm.text;
}

TEST(InstallTest, InstalledTreeServesCMakeAndPkgConfigConsumers) {
  const std::string binary_dir = ZORVEL_INSTALL_BINARY_DIR;
  const std::string source_dir = ZORVEL_INSTALL_SOURCE_DIR;
  scratch_dir dir;
  const std::string prefix = dir.file("prefix");
  const std::string cmake = quoted(ZORVEL_CMAKE_COMMAND);

  const command_output install =
      run(cmake + " --install " + quoted(binary_dir) + " --prefix " + quoted(prefix));
  ASSERT_EQ(install.status, 0) << install.text;
  for (const char* file : {"include/zorvel/zorvel.h", "bin/zorvel", "lib/pkgconfig/zorvel.pc",
                           "lib/cmake/zorvel/zorvelConfig.cmake",
                           "lib/cmake/zorvel/zorvelConfigVersion.cmake",
                           "lib/cmake/zorvel/zorvelTargets.cmake"}) {
    EXPECT_TRUE(fs::exists(fs::path(prefix) / file)) << file;
  }
  EXPECT_TRUE(fs::exists(fs::path(prefix) / "lib/libzorvel.so"));

  const command_output version = run(quoted(prefix + "/bin/zorvel") + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text, "zorvel 1.6.7\n");

  // The library built with sanitizers needs their runtime in the consumer.
  const std::string c_flags = ZORVEL_SANITIZED ? "-fsanitize=address,undefined" : "";
  const std::string consumer_build = dir.file("consumer");
  const command_output configure =
      run(cmake + " -S " + quoted(source_dir + "/tests/install/consumer") + " -B " +
          quoted(consumer_build) + " -DCMAKE_PREFIX_PATH=" + quoted(prefix) +
          " -DCMAKE_C_COMPILER=" + quoted(ZORVEL_C_COMPILER) + " -DCMAKE_C_FLAGS=" +
          quoted(c_flags) + " -DCMAKE_BUILD_TYPE=Release");
  ASSERT_EQ(configure.status, 0) << configure.text;
  const command_output build = run(cmake + " --build " + quoted(consumer_build));
  ASSERT_EQ(build.status, 0) << build.text;
  const command_output call = run(quoted(consumer_build + "/consumer") + " " +
                                  quoted(dir.file("missing.cfg")));
  EXPECT_EQ(call.status, 0) << call.text;
  EXPECT_NE(call.text.find("zorvel version  = 0x10607\n"), std::string::npos) << call.text;
  EXPECT_NE(call.text.find("Could not find config file "), std::string::npos);

  if (run("pkg-config --version").status != 0) GTEST_SKIP() << "pkg-config not installed";
  const command_output flags =
      run("PKG_CONFIG_PATH=" + quoted(prefix + "/lib/pkgconfig") + " pkg-config --cflags --libs zorvel");
  ASSERT_EQ(flags.status, 0) << flags.text;
  std::string flag_text = flags.text;
  while (!flag_text.empty() && (flag_text.back() == '\n' || flag_text.back() == ' ')) {
    flag_text.pop_back();
  }
  const std::string pc_consumer = dir.file("pc_consumer");
  const command_output compile =
      run(quoted(ZORVEL_C_COMPILER) + " " + c_flags + " " +
          quoted(source_dir + "/tests/install/consumer/consumer.c") + " -o " +
          quoted(pc_consumer) + " " + flag_text + " -Wl,-rpath," + quoted(prefix + "/lib"));
  ASSERT_EQ(compile.status, 0) << compile.text;
  EXPECT_EQ(run(quoted(pc_consumer)).status, 0);
}

}  // namespace
}  // namespace zorvel::test
