// The command-line contract of zorvel and zorvel-chartgen (zorvel exits 0
// when the module passed, 1 when it was measured and failed, 2 on a usage
// error, 3 when it could not be tested, 4 for a mode that measured nothing,
// each text on its stream), and a module rendered into a folder with capitals
// and a blank: the library must open its files and name them in its messages
// as written, not as the configuration echo normalises them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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
      {cli, "", 2, "", "zorvel: no configuration file given\nUsage: zorvel CONFIG [--mode N] "},
      {cli, "a.cfg b.cfg", 2, "", "zorvel: more than one configuration file given\n"},
      {cli, "a.cfg --mode", 2, "", "zorvel: --mode needs a value\n"},
      {cli, "a.cfg --mode 256", 2, "", "zorvel: invalid mode '256' (expected 0..255)\n"},
      {cli, "a.cfg --mode -1", 2, "", "zorvel: invalid mode '-1'"},
      {cli, "a.cfg --mode 4x", 2, "", "zorvel: invalid mode '4x'"},
      {cli, "a.cfg --frobnicate", 2, "", "zorvel: unknown option --frobnicate\n"},
      {cli, "--version", 0, "zorvel 1.6.7\n", ""},
      {cli, "--help", 0, "Usage: zorvel CONFIG [--mode N] [--json FILE]", ""},
      {cli, "a.cfg --json", 2, "", "zorvel: --json needs a value\n"},
      {cli, "a.cfg --json=", 2, "", "zorvel: --json needs a file name\n"},
      {cli, "a.cfg --report", 2, "", "zorvel: --report needs a value\n"},
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
      {quoted(dir.file("missing_capture.cfg")), 3,
       "\nError: Failed to get R,G,B data from BMP file " + missing_capture + "\n"},
      {"--mode=7 " + quoted(dir.file("missing_record.cfg")), 3,
       "Error parsing OTP file " + missing_record + " ...\n"},
  };
  for (const auto& r : runs) {
    const command_output got = run_tool(ZORVEL_CLI_FILE, r.args);
    EXPECT_EQ(got.status, r.status) << r.args;
    EXPECT_NE(got.text.find(r.line), std::string::npos) << r.args << "\n" << got.text;
  }
  EXPECT_EQ(read_file(otp).size(), 470u);
}

// The last line on standard error, without its line break.
std::string last_line(const std::string& text) {
  const size_t end = text.size() - (text.ends_with("\n") ? 1 : 0);
  const size_t begin = text.rfind('\n', end - 1);
  return text.substr(begin == std::string::npos ? 0 : begin + 1, end - (begin == std::string::npos ? 0 : begin + 1));
}

TEST(CliTest, ExitStatusAndLastErrorLineTellWhatTheRunFoundWhereverTheResultGoes) {
  scratch_dir dir;
  const std::string good = dir.file("good"), tilted = dir.file("tilted");
  ASSERT_EQ(run_tool(ZORVEL_CHARTGEN_FILE, "--preset good --main-width 640 --out " + quoted(good)).status, 0);
  ASSERT_EQ(run_tool(ZORVEL_CHARTGEN_FILE, "--preset tilted-aux --main-width 1280 --out " + quoted(tilted)).status, 0);
  std::string strict = read_file(good + "/calibration.cfg");
  strict += "\nresidual_vertical_disparity_threshold_pixels=0.01\n";
  write_file(dir.file("strict.cfg"), strict);
  const std::string otp = good + "/calibration.otp";
  const std::string cal = quoted(good + "/calibration.cfg"), ver = quoted(good + "/verification.cfg");
  // In order: each verification reads the record its calibration wrote. An
  // unusable result path costs one line and changes neither status nor record
  // (report folders: record_command_test).
  const struct {
    std::string args;
    int status;
    std::string last_line_start, err_part;
  } runs[] = {
      {cal, 0, "zorvel: PASS calibration; record written to " + otp, ""},
      {ver + " --mode 2", 4, "zorvel: DIAGNOSTIC mode 2 measured nothing", ""},
      {ver + " --mode 7", 4, "zorvel: DIAGNOSTIC mode 7 measured nothing", ""},
      {ver + " --json -", 0, "zorvel: PASS verification", ""},
      {quoted(tilted + "/calibration.cfg"), 0, "zorvel: PASS calibration", ""},
      {quoted(tilted + "/verification.cfg"), 1, "zorvel: FAIL flat-chart residual vertical disparity ", ""},
      {quoted(dir.file("strict.cfg")), 1, "zorvel: FAIL l-chart residual vertical disparity 0.", "; no record written\n"},
      {quoted(dir.file("none.cfg")), 3, "zorvel: NOT TESTED configuration: neither a calibration", ""},
      {cal + " --json " + quoted(dir.path().string()), 0, "zorvel: PASS calibration",
       "zorvel: result not written: " + dir.path().string() + " is a directory\n"},
      {cal + " --json " + quoted(dir.file("no/such/r.json")), 0, "zorvel: PASS calibration",
       "zorvel: result not written: cannot create "},
  };
  for (const auto& r : runs) {
    if (r.args.starts_with(cal)) std::filesystem::remove(otp);  // written again whatever the result path
    const command_output got = run_tool(ZORVEL_CLI_FILE, r.args);
    EXPECT_EQ(got.status, r.status) << r.args << "\n" << got.err;
    EXPECT_TRUE(last_line(got.err).starts_with(r.last_line_start)) << r.args << "\n" << got.err;
    EXPECT_NE(got.err.find(r.err_part), std::string::npos) << r.args << "\n" << got.err;
    EXPECT_EQ(read_file(otp).size(), 470u) << r.args;
  }

  // The JSON after the library's text on standard output.
  const command_output to_stdout = run_tool(ZORVEL_CLI_FILE, cal + " --json - --key-points");
  const size_t json_at = to_stdout.text.find("{\n  \"schema\"");
  ASSERT_NE(json_at, std::string::npos);
  EXPECT_EQ(to_stdout.text.substr(0, json_at), run_tool(ZORVEL_CLI_FILE, cal).text);
  const nlohmann::json r = nlohmann::json::parse(to_stdout.text.substr(json_at));
  EXPECT_EQ(r["status"], "passed");
  EXPECT_TRUE(r["key_points"][0].contains("points"));
}
#endif

}  // namespace
}  // namespace zorvel::test
