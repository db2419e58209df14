// The shipped form of the library: the exported symbol set and an install
// tree that a station program can build against (CMake package and
// pkg-config).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/shell_command.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

namespace fs = std::filesystem;

TEST(InstallTest, SharedLibraryExportsOnlyTheEntryFunction) {
  const std::string nm = "nm -D --defined-only " + quoted(ZORVEL_SHARED_LIBRARY_FILE);
  EXPECT_EQ(run_shell(nm + " | awk '$2 ~ /^[TtWwi]$/ { print $3 }'").text, "zorvel_calibrate\n")
      << run_shell(nm + " 2>&1").text;
}

TEST(InstallTest, InstalledTreeServesCMakeAndPkgConfigConsumers) {
  scratch_dir dir;
  const std::string prefix = dir.file("prefix"), cmake = quoted(ZORVEL_CMAKE_COMMAND);
  const std::string consumer_source = std::string(ZORVEL_INSTALL_SOURCE_DIR) + "/tests/install/consumer";
  const command_output install =
      run_shell(cmake + " --install " + quoted(ZORVEL_INSTALL_BINARY_DIR) + " --prefix " + quoted(prefix) + " 2>&1");
  ASSERT_EQ(install.status, 0) << install.text;
  for (const char* file : {"include/zorvel/zorvel.h", "bin/zorvel", "lib/libzorvel.so",
                           "lib/pkgconfig/zorvel.pc", "lib/cmake/zorvel/zorvelConfig.cmake",
                           "lib/cmake/zorvel/zorvelConfigVersion.cmake",
                           "lib/cmake/zorvel/zorvelTargets.cmake",
                           "share/zorvel/run-result.schema.json"}) {
    EXPECT_TRUE(fs::exists(fs::path(prefix) / file)) << file;
  }
  EXPECT_EQ(run_shell(quoted(prefix + "/bin/zorvel") + " --version").text, "zorvel 1.6.7\n");

  // The library built with sanitizers needs their runtime in the consumer.
  const std::string c_flags = ZORVEL_SANITIZED ? "-fsanitize=address,undefined" : "";
  const std::string build_dir = dir.file("consumer");
  const command_output configure =
      run_shell(cmake + " -S " + quoted(consumer_source) + " -B " + quoted(build_dir) + " -DCMAKE_PREFIX_PATH=" +
                quoted(prefix) + " -DCMAKE_C_COMPILER=" + quoted(ZORVEL_C_COMPILER) + " -DCMAKE_C_FLAGS=" +
                quoted(c_flags) + " -DCMAKE_BUILD_TYPE=Release 2>&1");
  ASSERT_EQ(configure.status, 0) << configure.text;
  const command_output build = run_shell(cmake + " --build " + quoted(build_dir) + " 2>&1");
  ASSERT_EQ(build.status, 0) << build.text;
  const command_output call = run_shell(quoted(build_dir + "/consumer") + " " + quoted(dir.file("missing.cfg")));
  EXPECT_EQ(call.status, 0) << call.text;
  EXPECT_NE(call.text.find("zorvel version  = 0x10607\n"), std::string::npos) << call.text;
  EXPECT_NE(call.text.find("Could not find config file "), std::string::npos);

  const command_output flags =
      run_shell("PKG_CONFIG_PATH=" + quoted(prefix + "/lib/pkgconfig") + " pkg-config --cflags --libs zorvel 2>&1");
  ASSERT_EQ(flags.status, 0) << flags.text;
  const std::string pc_consumer = dir.file("pc_consumer");
  const command_output compile =
      run_shell(quoted(ZORVEL_C_COMPILER) + " " + c_flags + " " + quoted(consumer_source + "/consumer.c") + " -o " +
                quoted(pc_consumer) + " " + flags.text.substr(0, flags.text.find_last_not_of(" \n") + 1) +
                " -Wl,-rpath," + quoted(prefix + "/lib") + " 2>&1");
  ASSERT_EQ(compile.status, 0) << compile.text;
  EXPECT_EQ(run_shell(quoted(pc_consumer)).status, 0);
}

}  // namespace
}  // namespace zorvel::test
