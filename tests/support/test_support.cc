#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace zorvel::test {
namespace {

// Puts standard output back on destruction, also when the captured call throws.
struct stdout_restorer {
  int saved = ::dup(STDOUT_FILENO);
  ~stdout_restorer() {
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
  }
};

}  // namespace

std::string capture_stdout(const std::function<void()>& fn) {
  return capture_file([&](std::FILE* sink) {
    std::fflush(stdout);
    const stdout_restorer restorer;
    ::dup2(::fileno(sink), STDOUT_FILENO);
    fn();
  });
}

std::string capture_file(const std::function<void(std::FILE*)>& fn) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink(std::tmpfile(), &std::fclose);
  if (!sink) throw std::runtime_error("tmpfile failed");
  fn(sink.get());
  std::rewind(sink.get());
  std::string text;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, sink.get())) > 0;) text.append(buffer, got);
  return text;
}

comma_numeric_locale::comma_numeric_locale() {
  const std::string build =
      "localedef -i de_DE -f UTF-8 '" + dir_.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) return;
  ::setenv("LOCPATH", dir_.path().c_str(), 1);
  saved_ = std::setlocale(LC_NUMERIC, nullptr);
  active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

comma_numeric_locale::~comma_numeric_locale() {
  if (active_) std::setlocale(LC_NUMERIC, saved_.c_str());
  if (!saved_.empty()) ::unsetenv("LOCPATH");  // set just before saved_
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
  }
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  if (!previous_.empty()) std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace zorvel::test
