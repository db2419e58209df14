// The command-line contract of zorvel and zorvel-chartgen (exit 0 when the
// library returns 1, 1 when it returns 0, 2 on a usage error, each text on
// its stream), and a module rendered into a folder with capitals and a
// blank: the library must open its files and name them in its messages as
// written, not as the configuration echo normalises them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/shell_command.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

#if defined(ZORVEL_CHARTGEN_FILE) && defined(ZORVEL_CLI_FILE)
TEST(CliTest, OptionsExitWithTheirStatusOnTheRightStream) {
  scratch_dir dir;
  const std::string out = dir.file("Never Made");
  const std::string render = "--preset good --out " + quoted(out) + " ";
  const auto refused = [](const std::string& option, const std::string& need, const std::string& got) {
    return "zorvel-chartgen: " + option + " needs " + need + ", got '" + got + "'\n";
  };
  const std::string pixels = "a whole number of pixels";
  const char *cli = ZORVEL_CLI_FILE, *gen = ZORVEL_CHARTGEN_FILE;
  const struct {
    const char* tool;
    std::string args;
    int status;
    std::string out_start, err_start;  // "" for nothing on the stream
  } cases[] = {
      {cli, "", 2, "", "zorvel: no configuration file given\nUsage: zorvel CONFIG [--mode N]\n"},
      {cli, "a.cfg b.cfg", 2, "", "zorvel: more than one configuration file given\n"},
      {cli, "a.cfg --mode", 2, "", "zorvel: --mode needs a value\n"},
      {cli, "a.cfg --mode 256", 2, "", "zorvel: invalid mode '256' (expected 0..255)\n"},
      {cli, "a.cfg --mode -1", 2, "", "zorvel: invalid mode '-1'"},
      {cli, "a.cfg --mode 4x", 2, "", "zorvel: invalid mode '4x'"},
      {cli, "a.cfg --frobnicate", 2, "", "zorvel: unknown option --frobnicate\n"},
      {cli, "--version", 0, "zorvel 1.6.7\n", ""},
      {cli, "--help", 0, "Usage: zorvel CONFIG [--mode N]\n", ""},
      {gen, "--help", 0, "usage: zorvel-chartgen --preset NAME --out DIR", ""},
      {gen, "--version", 0, "zorvel-chartgen 1.6.7\n", ""},
      {gen, render + "--main-width abc", 2, "", refused("--main-width", pixels, "abc")},
      {gen, render + "--main-width 12x", 2, "", refused("--main-width", pixels, "12x")},
      {gen, render + "--main-width ''", 2, "", refused("--main-width", pixels, "")},
      {gen, render + "--noise-key -1", 2, "", refused("--noise-key", "a whole number", "-1")},
      {gen, render + "--tilt-deg nan", 2, "", refused("--tilt-deg", "an angle in degrees", "nan")},
      {gen, "--out " + quoted(out) + " --preset nope", 2, "",
       "zorvel-chartgen: unknown preset 'nope'; known presets: good portrait distorted mono "
       "tilted-aux dark noisy blurred hard\n"},
  };
  for (const auto& c : cases) {
    const command_output r = run_tool(c.tool, c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(c.out_start.empty() ? r.text : r.text.substr(0, c.out_start.size()), c.out_start) << c.args;
    EXPECT_EQ(c.err_start.empty() ? r.err : r.err.substr(0, c.err_start.size()), c.err_start) << c.args;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(CliTest, ModuleInAFolderWithCapitalsAndABlankRunsAndIsNamedAsWritten) {
  scratch_dir dir;
  const std::string module = dir.file("My Module");
  ASSERT_EQ(run_tool(ZORVEL_CHARTGEN_FILE, "--preset good --main-width 640 --out " + quoted(module)).status, 0);
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  const std::string missing_capture = module + "/Cap Main_L.BMP";
  const std::string missing_record = module + "/No Such.OTP", otp = module + "/calibration.otp";
  write_file(dir.file("missing_capture.cfg"),
             replaced(read_file(module + "/calibration.cfg"), module + "/main_l.bmp", missing_capture));
  write_file(dir.file("missing_record.cfg"),
             replaced(read_file(module + "/verification.cfg"), otp, missing_record));
  // In order: the verification reads the record the calibration writes.
  const struct {
    std::string args;
    int status;
    std::string line;
  } runs[] = {
      {quoted(module + "/calibration.cfg"), 0, "Writing calibration OTP data to " + otp + " ...\n"},
      {quoted(module + "/verification.cfg"), 0, "Parsed calibration OTP data file " + otp + " ...\n"},
      {quoted(dir.file("missing_capture.cfg")), 1,
       "\nError: Failed to get R,G,B data from BMP file " + missing_capture + "\n"},
      {"--mode=7 " + quoted(dir.file("missing_record.cfg")), 1,
       "Error parsing OTP file " + missing_record + " ...\n"},
  };
  for (const auto& r : runs) {
    const command_output got = run_tool(ZORVEL_CLI_FILE, r.args);
    EXPECT_EQ(got.status, r.status) << r.args;
    EXPECT_NE(got.text.find(r.line), std::string::npos) << r.args << "\n" << got.text;
  }
  EXPECT_EQ(read_file(otp).size(), 470u);
}
#endif

}  // namespace
}  // namespace zorvel::test
