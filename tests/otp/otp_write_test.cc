// Writing a record never loses the previous file and never reports a failed
// write as success.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "otp_test_records.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

namespace fs = std::filesystem;

const std::string kPrevious(1000, 'p');

size_t entries(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(OtpWrite, ReplacesTheWholeFileAndWritesThroughALink) {
  scratch_dir dir;
  const std::string path = dir.file("otp");
  write_file(path, kPrevious);
  EXPECT_EQ(write_otp_data(path, numbered_record<zorvel_otp_data>()), 1);
  EXPECT_EQ(read_file(path).size(), 470u);  // the longer file is replaced, not overwritten
  EXPECT_EQ(entries(dir.path()), 1u);       // no temporary left behind
  fs::create_symlink("otp", dir.file("link"));
  EXPECT_EQ(write_interim_data(dir.file("link"), numbered_record<zorvel_otp_interim_data>()), 1);
  EXPECT_TRUE(fs::is_symlink(dir.file("link")));
  EXPECT_EQ(read_file(path).size(), 2577u);
}

// A run killed between creating its temporary and renaming it leaves the
// temporary behind; neither a hundred of them (the old numbered names ran out
// at 100) nor a fresh one of a run still writing may stop the next write, and
// the old ones are cleared away.
TEST(OtpWrite, LeftoverTemporariesNeitherBlockNorPileUp) {
  scratch_dir dir;
  const std::string path = dir.file("calibration.otp");
  write_file(path, kPrevious);
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(10);
  for (int n = 0; n < 100; ++n) {
    const std::string leftover = path + ".tmp" + std::to_string(n);
    write_file(leftover, std::string(470, 'x'));
    if (n % 2 == 0) fs::last_write_time(leftover, old);
  }
  write_file(dir.file("other.otp.tmp0"), "y");  // another file's temporary
  fs::last_write_time(dir.file("other.otp.tmp0"), old);
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(write_otp_data(path, numbered_record<zorvel_otp_data>()), 1); }), "");
  EXPECT_EQ(read_file(path).size(), 470u);
  for (int n = 0; n < 100; ++n) {
    EXPECT_EQ(fs::exists(path + ".tmp" + std::to_string(n)), n % 2 == 1) << n;
  }
  EXPECT_EQ(entries(dir.path()), 1u + 50u + 1u);  // the record, the young leftovers, the other one
  EXPECT_EQ(write_interim_data(path, numbered_record<zorvel_otp_interim_data>()), 1);
  EXPECT_EQ(read_file(path).size(), 2577u);
  EXPECT_EQ(entries(dir.path()), 52u);
}

TEST(OtpWrite, FailuresAreReportedAndKeepThePreviousFile) {
  scratch_dir dir;
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  const std::string path = (locked / "otp").string(), absent = dir.file("absent/otp");
  write_file(path, kPrevious);
  auto otp = numbered_record<zorvel_otp_data>();
  otp.main_warp_coeff[2] = std::nan("");
  auto interim = numbered_record<zorvel_otp_interim_data>();
  interim.rot[4] = -INFINITY;
  const std::string not_finite = "\nError: calibration result is not a finite number - OTP data not written\n\n";
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(write_otp_data(path, otp), 0); }), not_finite);
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(write_interim_data(path, interim), 0); }), not_finite);
  const struct {
    std::string path, message;
    std::function<void()> limit;  // applied in the child process that writes
  } cases[] = {
      {absent, "Failed to open OTP file " + absent + " for writing\n", [] {}},
      {"/dev/full", "Failed to write OTP file /dev/full\n", [] {}},  // written in place, never renamed over
      // A 100-byte file size limit makes the 470-byte write fail half way.
      {path, "Failed to write OTP file " + path + "\n",
       [] {
         ::signal(SIGXFSZ, SIG_IGN);
         const rlimit limit{100, 100};
         if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::exit(2);
       }},
      // Permissions do not bind root: drop to an unprivileged user first.
      {path, "Failed to open OTP file " + path + " for writing\n",
       [&] {
         fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
         if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::exit(2);
       }},
  };
  for (const auto& c : cases) {
    // The child exits 0 when the write failed with the message.
    EXPECT_EXIT(
        {
          c.limit();
          int result = -1;
          const std::string text =
              capture_stdout([&] { result = write_otp_data(c.path, numbered_record<zorvel_otp_data>()); });
          std::exit(result == 0 && text == c.message ? 0 : 1);
        },
        testing::ExitedWithCode(0), "")
        << c.message;
  }
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(read_file(path), kPrevious);
  EXPECT_EQ(entries(locked), 1u);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

}  // namespace
}  // namespace zorvel::test
