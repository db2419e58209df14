// Writing records never loses the previous file and never reports a failed
// write as success.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "otp/otp_record.h"
#include "otp_test_records.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::capture_stdout;
using test::numbered_record;
using test::read_file;
using test::scratch_dir;
using test::write_file;

const std::string kPrevious(1000, 'p');

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  return names;
}

TEST(OtpWrite, RefusesNonFiniteValuesAndKeepsThePreviousFile) {
  scratch_dir dir;
  const std::string path = dir.file("otp.bin");
  write_file(path, kPrevious);
  const std::string message =
      "\nError: calibration result is not a finite number - OTP data not written\n\n";

  auto otp = numbered_record<zorvel_otp_data>();
  otp.rot[4] = std::numeric_limits<float>::infinity();
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(write_otp_data(path, otp), 0); }), message);
  otp = numbered_record<zorvel_otp_data>();
  otp.main_warp_coeff[2] = std::nan("");
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(write_otp_data(path, otp), 0); }), message);

  auto interim = numbered_record<zorvel_otp_interim_data>();
  interim.main_fl_dewarping_reference = -std::numeric_limits<float>::infinity();
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(write_interim_data(path, interim), 0); }), message);

  EXPECT_EQ(read_file(path), kPrevious);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"otp.bin"});
}

TEST(OtpWrite, ReplacesALongerFileAndLeavesNothingElse) {
  scratch_dir dir;
  const std::string path = dir.file("interim.bin");
  write_file(path, std::string(5000, 'x'));
  EXPECT_EQ(capture_stdout([&] {
              EXPECT_EQ(write_interim_data(path, numbered_record<zorvel_otp_interim_data>()), 1);
            }),
            "");
  EXPECT_EQ(read_file(path).size(), 2577u);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"interim.bin"});
}

TEST(OtpWrite, WritesThroughASymbolicLink) {
  scratch_dir dir;
  write_file(dir.file("real.bin"), kPrevious);
  fs::create_symlink("real.bin", dir.file("link.bin"));
  ASSERT_EQ(write_otp_data(dir.file("link.bin"), numbered_record<zorvel_otp_data>()), 1);
  EXPECT_TRUE(fs::is_symlink(dir.file("link.bin")));
  EXPECT_EQ(read_file(dir.file("real.bin")).size(), 470u);
}

TEST(OtpWrite, ReportsAMissingDirectory) {
  scratch_dir dir;
  const std::string path = dir.file("absent/otp.bin");
  EXPECT_EQ(capture_stdout([&] {
              EXPECT_EQ(write_otp_data(path, numbered_record<zorvel_otp_data>()), 0);
            }),
            "Failed to open OTP file " + path + " for writing\n");
}

TEST(OtpWrite, ReportsAFullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(capture_stdout([&] {
              EXPECT_EQ(write_otp_data("/dev/full", numbered_record<zorvel_otp_data>()), 0);
            }),
            "Failed to write OTP file /dev/full\n");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_FALSE(fs::exists("/dev/full.tmp0"));
}

// Runs `write` in a child process (a death test) after `restrict_child`,
// expecting it to fail with `message`; the child exits 0 when it did.
template <class Restrict>
void expect_failed_write_in_child(const std::string& path, const std::string& message,
                                  Restrict restrict_child) {
  EXPECT_EXIT(
      {
        restrict_child();
        int result = -1;
        const std::string text = capture_stdout(
            [&] { result = write_otp_data(path, numbered_record<zorvel_otp_data>()); });
        std::exit(result == 0 && text == message ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(OtpWrite, ReadOnlyDirectoryKeepsThePreviousFile) {
  scratch_dir dir;
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  const std::string path = (locked / "otp.bin").string();
  write_file(path, kPrevious);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec |
                              fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  expect_failed_write_in_child(path, "Failed to open OTP file " + path + " for writing\n", [] {
    // Permissions do not bind root: drop to an unprivileged user first.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::exit(2);
  });
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(read_file(path), kPrevious);
  EXPECT_EQ(names_in(locked), std::vector<std::string>{"otp.bin"});
}

TEST(OtpWrite, FailedWriteKeepsThePreviousFile) {
  scratch_dir dir;
  const std::string path = dir.file("otp.bin");
  write_file(path, kPrevious);
  // A 100-byte file size limit makes the 470-byte write fail half way.
  expect_failed_write_in_child(path, "Failed to write OTP file " + path + "\n", [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::exit(2);
  });
  EXPECT_EQ(read_file(path), kPrevious);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"otp.bin"});
}

}  // namespace
}  // namespace zorvel
