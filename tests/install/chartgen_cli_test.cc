// zorvel-chartgen's command line, and a module rendered into a folder with
// capitals and a blank: the library must open its files and name them in its
// messages as written, not as the configuration echo normalises them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/shell_command.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

#if defined(ZORVEL_CHARTGEN_FILE) && defined(ZORVEL_CLI_FILE)
struct both_streams {
  int status = -1;
  std::string out, err;
};

both_streams run_tool(const char* tool, const std::string& args) {
  scratch_dir dir;
  const std::string err_file = dir.file("stderr");
  const command_output r =
      run_shell("'" + std::string(tool) + "' " + args + " 2>'" + err_file + "'");
  return {r.status, r.text, read_file(err_file)};
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

TEST(ChartgenCliTest, OptionsExitWithTheirStatusOnTheRightStream) {
  scratch_dir dir;
  const std::string out = dir.file("Never Made");
  const std::string render = "--preset good --out " + quoted(out) + " ";
  struct {
    std::string args;
    int status;
    std::string out_start, err;  // err "" means nothing on standard error
  } cases[] = {
      {"--help", 0, "usage: zorvel-chartgen --preset NAME --out DIR", ""},
      {"--version", 0, "zorvel-chartgen 1.6.7\n", ""},
      {render + "--main-width abc", 2, "",
       "zorvel-chartgen: --main-width needs a whole number of pixels, got 'abc'\n"},
      {render + "--main-width 12x", 2, "",
       "zorvel-chartgen: --main-width needs a whole number of pixels, got '12x'\n"},
      {render + "--main-width ''", 2, "",
       "zorvel-chartgen: --main-width needs a whole number of pixels, got ''\n"},
      {render + "--noise-key -1", 2, "",
       "zorvel-chartgen: --noise-key needs a whole number, got '-1'\n"},
      {render + "--tilt-deg nan", 2, "",
       "zorvel-chartgen: --tilt-deg needs an angle in degrees, got 'nan'\n"},
      {"--out " + quoted(out) + " --preset nope", 2, "",
       "zorvel-chartgen: unknown preset 'nope'; known presets: good portrait distorted mono "
       "tilted-aux dark noisy blurred hard\n"},
  };
  for (const auto& c : cases) {
    const both_streams r = run_tool(ZORVEL_CHARTGEN_FILE, c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    // Nothing on standard output for a refusal.
    EXPECT_EQ(c.out_start.empty() ? r.out : r.out.substr(0, c.out_start.size()), c.out_start)
        << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ChartgenCliTest, ModuleInAFolderWithCapitalsAndABlankRunsAndIsNamedAsWritten) {
  scratch_dir dir;
  const std::string module = dir.file("My Module");
  ASSERT_EQ(run_tool(ZORVEL_CHARTGEN_FILE, "--preset good --main-width 640 --out " + quoted(module))
                .status,
            0);
  const std::string calibration = read_file(module + "/calibration.cfg");
  const std::string verification = read_file(module + "/verification.cfg");
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  const std::string missing_capture = module + "/Cap Main_L.BMP";
  const std::string missing_record = module + "/No Such.OTP";
  write_file(dir.file("missing_capture.cfg"),
             replaced(calibration, module + "/main_l.bmp", missing_capture));
  write_file(dir.file("missing_record.cfg"),
             replaced(verification, module + "/calibration.otp", missing_record));
  // In order: the verification reads the record the calibration writes.
  struct {
    std::string config;
    int status;
    std::string line;
  } runs[] = {
      {module + "/calibration.cfg", 0,
       "Writing calibration OTP data to " + module + "/calibration.otp ...\n"},
      {module + "/verification.cfg", 0,
       "Parsed calibration OTP data file " + module + "/calibration.otp ...\n"},
      {dir.file("missing_capture.cfg"), 1,
       "\nError: Failed to get R,G,B data from BMP file " + missing_capture + "\n"},
      {dir.file("missing_record.cfg"), 1, "Error parsing OTP file " + missing_record + " ...\n"},
  };
  for (const auto& r : runs) {
    const both_streams got = run_tool(ZORVEL_CLI_FILE, quoted(r.config));
    EXPECT_EQ(got.status, r.status) << r.config;
    EXPECT_NE(got.out.find(r.line), std::string::npos) << r.config << "\n" << got.out;
  }
  EXPECT_EQ(read_file(module + "/calibration.otp").size(), 470u);
}
#endif

}  // namespace
}  // namespace zorvel::test
