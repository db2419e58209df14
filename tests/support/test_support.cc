#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zorvel::test {

std::string capture_stdout(const std::function<void()>& fn) {
  std::fflush(stdout);
  std::FILE* sink = std::tmpfile();
  if (!sink) throw std::runtime_error("tmpfile failed");
  const int saved = ::dup(STDOUT_FILENO);
  ::dup2(::fileno(sink), STDOUT_FILENO);
  try {
    fn();
  } catch (...) {
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::fclose(sink);
    throw;
  }
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  std::string text;
  std::rewind(sink);
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, sink)) > 0) text.append(buffer, got);
  std::fclose(sink);
  return text;
}

std::string capture_file(const std::function<void(std::FILE*)>& fn) {
  std::FILE* sink = std::tmpfile();
  if (!sink) throw std::runtime_error("tmpfile failed");
  try {
    fn(sink);
  } catch (...) {
    std::fclose(sink);
    throw;
  }
  std::string text;
  std::rewind(sink);
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, sink)) > 0) text.append(buffer, got);
  std::fclose(sink);
  return text;
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
  for (;;) {
    auto candidate = base / ("zorvel-test-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      break;
    }
  }
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace zorvel::test
