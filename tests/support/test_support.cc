#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace zorvel::test {
namespace {

using temp_file = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

temp_file make_temp_file() {
  temp_file sink(std::tmpfile(), &std::fclose);
  if (!sink) throw std::runtime_error("tmpfile failed");
  return sink;
}

std::string read_back(std::FILE* sink) {
  std::string text;
  std::rewind(sink);
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, sink)) > 0;) text.append(buffer, got);
  return text;
}

}  // namespace

std::string capture_stdout(const std::function<void()>& fn) {
  std::fflush(stdout);
  const temp_file sink = make_temp_file();
  const int saved = ::dup(STDOUT_FILENO);
  ::dup2(::fileno(sink.get()), STDOUT_FILENO);
  const auto restore = [&] {
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
  };
  try {
    fn();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return read_back(sink.get());
}

std::string capture_file(const std::function<void(std::FILE*)>& fn) {
  const temp_file sink = make_temp_file();
  fn(sink.get());
  return read_back(sink.get());
}

comma_numeric_locale::comma_numeric_locale() {
  const std::string build =
      "localedef -i de_DE -f UTF-8 '" + dir_.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) return;
  ::setenv("LOCPATH", dir_.path().c_str(), 1);
  locpath_set_ = true;
  saved_ = std::setlocale(LC_NUMERIC, nullptr);
  active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

comma_numeric_locale::~comma_numeric_locale() {
  if (active_) std::setlocale(LC_NUMERIC, saved_.c_str());
  if (locpath_set_) ::unsetenv("LOCPATH");
}

scratch_dir::scratch_dir(bool enter) {
  static std::atomic<unsigned> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  do {
    path_ = base / ("zorvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  } while (!std::filesystem::create_directory(path_));
  if (enter) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
    entered_ = true;
  }
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  if (entered_) std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace zorvel::test
