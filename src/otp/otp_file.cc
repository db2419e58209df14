// Reading and writing the OTP and interim data files.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "common/file_open.h"
#include "common/unique_file.h"
#include "otp/file_replace.h"
#include "otp/otp_codec.h"
#include "otp/otp_record.h"

namespace zorvel {
namespace {

constexpr char kOpenForReadingMessage[] = "Failed to open OTP file %s for reading\n";
constexpr char kOpenForWritingMessage[] = "Failed to open OTP file %s for writing\n";
constexpr char kWriteFailedMessage[] = "Failed to write OTP file %s\n";
constexpr char kDirectoryMessage[] = "Failed to read OTP file %s: it is a directory\n";
constexpr char kInterimGivenMessage[] =
    "OTP file %s holds an interim record (2577 bytes), not a calibration record\n";
constexpr char kNotFiniteMessage[] =
    "\nError: calibration result is not a finite number - OTP data not written\n\n";

// Up to `size` bytes from the start of the file: fewer when the file is
// shorter or a read fails, which the decoder reports as truncation. False
// (after printing why) when the file does not open, is a directory, or has
// exactly the length of the other kind of record.
bool read_prefix(const std::string& path, size_t size, size_t other_record_size,
                 const char* other_record_message, std::vector<uint8_t>& bytes) {
  unique_file file(open_file(path, "rb"));
  if (!file) {
    std::printf(kOpenForReadingMessage, path.c_str());
    return false;
  }
  struct stat status;
  if (::fstat(::fileno(file.get()), &status) == 0) {
    if ((status.st_mode & S_IFMT) == S_IFDIR) {
      std::printf(kDirectoryMessage, path.c_str());
      return false;
    }
    if (other_record_message && (status.st_mode & S_IFMT) == S_IFREG &&
        status.st_size == static_cast<off_t>(other_record_size)) {
      std::printf(other_record_message, path.c_str());
      return false;
    }
  }
  bytes.resize(size);
  bytes.resize(std::fread(bytes.data(), 1, size, file.get()));
  return true;
}

int store(const std::string& path, const std::vector<uint8_t>& bytes) {
  switch (replace_file(path, bytes.data(), bytes.size())) {
    case replace_status::ok:
      return 1;
    case replace_status::cannot_create:
      std::printf(kOpenForWritingMessage, path.c_str());
      return 0;
    case replace_status::write_failed:
      break;
  }
  std::printf(kWriteFailedMessage, path.c_str());
  return 0;
}

}  // namespace

int read_otp_data(const std::string& path, zorvel_otp_data& out) {
  out = zorvel_otp_data{};
  std::vector<uint8_t> bytes;
  if (!read_prefix(path, kOtpFileSize, kInterimFileSize, kInterimGivenMessage, bytes)) return 0;
  if (!decode_otp_data(bytes.data(), bytes.size(), path, out)) return 0;
  print_otp_summary(stdout, out);
  return 1;
}

int write_otp_data(const std::string& path, const zorvel_otp_data& record) {
  if (!all_finite(record)) {
    std::printf("%s", kNotFiniteMessage);
    return 0;
  }
  return store(path, encode_otp_data(record));
}

int read_interim_data(const std::string& path, zorvel_otp_interim_data& out) {
  out = zorvel_otp_interim_data{};
  std::vector<uint8_t> bytes;
  // A calibration record in its place is already short: "truncated".
  if (!read_prefix(path, kInterimFileSize, 0, nullptr, bytes)) return 0;
  return decode_interim_data(bytes.data(), bytes.size(), path, out);
}

int write_interim_data(const std::string& path, const zorvel_otp_interim_data& record) {
  if (!all_finite(record)) {
    std::printf("%s", kNotFiniteMessage);
    return 0;
  }
  return store(path, encode_interim_data(record));
}

}  // namespace zorvel
