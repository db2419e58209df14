// `zorvel record`: the records a calibration just wrote list exactly the
// values it stored, and damaged files are refused with the field named and
// exit status 1, never listed as if they were valid. `--report DIR`: the
// picture lands beside an unchanged run, and a folder that cannot take it
// costs one line on standard error, nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "install/shell_command.h"
#include "otp/otp_codec.h"
#include "otp/record_fields.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

#if defined(ZORVEL_CHARTGEN_FILE) && defined(ZORVEL_CLI_FILE)
class RecordCommand : public ::testing::Test {
 protected:
  // One small module, calibrated both ways, for every test of the suite.
  static void SetUpTestSuite() {
    dir_ = std::make_unique<scratch_dir>();
    const std::string module = dir_->file("module");
    ASSERT_EQ(run_tool(ZORVEL_CHARTGEN_FILE, "--preset good --main-width 640 --out " + quoted(module)).status, 0);
    ASSERT_EQ(run_tool(ZORVEL_CLI_FILE, quoted(module + "/calibration.cfg")).status, 0);
    ASSERT_EQ(run_tool(ZORVEL_CLI_FILE, quoted(module + "/calibration_l_only.cfg")).status, 0);
  }
  static void TearDownTestSuite() { dir_.reset(); }
  static std::string module_file(const std::string& name) { return dir_->file("module/" + name); }
  static command_output record(const std::string& path, const std::string& options = "") {
    return run_tool(ZORVEL_CLI_FILE, "record " + quoted(path) + " " + options);
  }

  static std::unique_ptr<scratch_dir> dir_;
};
std::unique_ptr<scratch_dir> RecordCommand::dir_;

// Every field of the decoded record against the JSON listing of its file.
template <class Record>
void expect_json_lists(const Record& stored, const nlohmann::ordered_json& fields) {
  ASSERT_TRUE(fields.is_object());
  size_t count = 0;
  auto it = fields.begin();
  for_each_field(stored, [&](const auto& field) {
    ASSERT_NE(it, fields.end());
    ++count;
    const nlohmann::ordered_json& listed = it.value();
    const nlohmann::ordered_json values = listed.contains("value") ? nlohmann::ordered_json::array({listed["value"]}) : listed["values"];
    size_t i = 0;
    for_each_element(field, [&](auto value) {
      using T = decltype(value);
      ASSERT_LT(i, values.size()) << it.key();
      EXPECT_EQ(values[i++].template get<T>(), value) << it.key() << "[" << i - 1 << "]";
    });
    EXPECT_EQ(i, values.size()) << it.key();
    ++it;
  });
  EXPECT_EQ(count, fields.size());
}

TEST_F(RecordCommand, ListsTheRecordsJustWrittenAsStored) {
  const std::string otp = module_file("calibration.otp"), interim = module_file("calibration_interim.otp");
  const command_output text = record(otp);
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(text.text.rfind("OTP record " + otp + ": 470 bytes, every check passed\n", 0), 0u) << text.text;
  EXPECT_NE(text.text.find("\n   210 cam_baseline_mm"), std::string::npos) << text.text;

  // The --json listing of each file against the record the library decodes from it.
  const auto expect_lists_as_decoded = [](const std::string& path, const char* kind, auto stored, auto decode) {
    const std::string bytes = read_file(path);
    capture_stdout([&] { ASSERT_EQ(decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), path, stored), 1); });
    const command_output out = record(path, "--json");
    ASSERT_EQ(out.status, 0) << path << "\n" << out.err;
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(out.text, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << out.text;
    EXPECT_EQ(doc["kind"], kind);
    EXPECT_EQ(doc["valid"], true);
    EXPECT_TRUE(doc["failures"].empty());
    expect_json_lists(stored, doc["fields"]);
  };
  expect_lists_as_decoded(otp, "otp", zorvel_otp_data{}, decode_otp_data);
  expect_lists_as_decoded(interim, "interim", zorvel_otp_interim_data{}, decode_interim_data);
}

TEST_F(RecordCommand, RefusesDamagedFilesNamingTheField) {
  const std::string good = read_file(module_file("calibration.otp"));
  std::string sheared = good;
  const float shear = 0.5f;
  std::memcpy(sheared.data() + 36 + 4, &shear, 4);  // rot[1], little-endian on the test hosts
  const struct {
    std::string name, bytes, options;
    int status;
    std::string err_part;
  } cases[] = {
      {"short.otp", good.substr(0, 469), "", 1, "size is 469 bytes; an OTP record is 470 bytes"},
      {"long.otp", good + '\0', "", 1, "size is 471 bytes"},
      {"erased.otp", std::string(470, '\xFF'), "", 1, ": version is 0xffffffff; this library writes 0x10607\n"},
      {"sheared.otp", sheared, "", 1, ": rot is not orthonormal"},
      {"sheared.otp", sheared, "--json", 1, ": rot is not orthonormal"},
      {"good.otp", good, "--frobnicate", 2, "zorvel record: unknown option --frobnicate\n"},
  };
  for (const auto& c : cases) {
    write_file(dir_->file(c.name), c.bytes);
    const command_output out = record(dir_->file(c.name), c.options);
    EXPECT_EQ(out.status, c.status) << c.name;
    EXPECT_NE(out.err.find(c.err_part), std::string::npos) << c.name << "\n" << out.err;
    if (c.options.empty()) {
      EXPECT_EQ(out.text, "") << c.name;  // no listing of a record that failed
    } else if (c.options == "--json") {
      const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(out.text, nullptr, false);
      EXPECT_EQ(doc["valid"], false) << out.text;
      EXPECT_EQ(doc["failures"][0]["field"], "rot") << out.text;
      EXPECT_FALSE(doc.contains("fields"));
    }
  }
  const struct {
    std::string args, err;
    int status;
  } refusals[] = {
      {"record " + quoted(dir_->path().string()), " is a directory\n", 1},
      {"record " + quoted(dir_->file("none.otp")), " cannot be opened for reading (No such file or directory)\n", 1},
      {"record", "zorvel record: no record file given\nUsage: zorvel record FILE [--json]\n", 2},
  };
  for (const auto& r : refusals) {
    const command_output out = run_tool(ZORVEL_CLI_FILE, r.args);
    EXPECT_EQ(out.status, r.status) << r.args;
    EXPECT_NE(out.err.find(r.err), std::string::npos) << r.args << "\n" << out.err;
    EXPECT_EQ(out.text, "");
  }
}
TEST_F(RecordCommand, ReportBesideAnUnchangedRunAndRefusedFoldersCostOneLine) {
  const std::string calibration = quoted(module_file("calibration.cfg"));
  const std::string otp = module_file("calibration.otp");
  const command_output plain = run_tool(ZORVEL_CLI_FILE, calibration);
  const std::string stored = read_file(otp);
  const bool converter = std::system("command -v rsvg-convert >/dev/null 2>&1") == 0;
  write_file(dir_->file("a_file"), "x");
  std::filesystem::create_directory(dir_->file("calibration report"));
  std::filesystem::create_directory(dir_->file("verification report"));
  const struct {
    std::string config, report, banner, err_line;  // err_line "" when the report is written
  } cases[] = {
      {calibration, dir_->file("calibration report"), "CALIBRATION (L + flat chart) PASSED", ""},
      {quoted(module_file("verification.cfg")), dir_->file("verification report"), "VERIFICATION PASSED", ""},
      {calibration, dir_->file("a_file"), "", "zorvel: report not written to " + dir_->file("a_file") + ": not a folder\n"},
  };
  for (const auto& c : cases) {
    const command_output out = run_tool(ZORVEL_CLI_FILE, c.config + " --report " + quoted(c.report));
    EXPECT_EQ(out.status, 0) << c.report << "\n" << out.err;
    EXPECT_EQ(read_file(otp), stored) << c.report;
    if (c.config == calibration) {
      EXPECT_EQ(out.text, plain.text) << c.report;
    }
    if (!c.err_line.empty()) {
      EXPECT_EQ(out.err.substr(0, out.err.find('\n') + 1), c.err_line);
      EXPECT_EQ(std::count(out.err.begin(), out.err.end(), '\n'), 2) << out.err;  // and the verdict
      continue;
    }
    EXPECT_EQ(std::count(out.err.begin(), out.err.end(), '\n'), 1) << out.err;  // the verdict alone
    EXPECT_NE(read_file(c.report + "/report.svg").find(c.banner), std::string::npos) << c.report;
    if (converter) {
      const std::string png = read_file(c.report + "/report.png");
      ASSERT_GT(png.size(), 24u) << c.report;
      EXPECT_EQ(png.substr(12, 8), std::string("IHDR\0\0\x05\x28", 8));  // 1320 pixels wide
    }
  }
  EXPECT_EQ(read_file(dir_->file("a_file")), "x");
}
#endif

}  // namespace
}  // namespace zorvel::test
