// Helpers shared by the test suites: capturing what a call prints on standard
// output, and private scratch directories so tests can run in parallel.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/vector_isa.h"

namespace zorvel::test {

// Runs fn and returns everything it wrote to standard output (C stdio and
// file descriptor 1 alike).
std::string capture_stdout(const std::function<void()>& fn);

// Runs fn on a temporary file and returns everything it wrote there, for the
// functions that print to a FILE* argument.
std::string capture_file(const std::function<void(std::FILE*)>& fn);

// A fresh empty directory under the system temp dir, removed on destruction.
// With enter = true the process works inside it until destruction.
class scratch_dir {
 public:
  explicit scratch_dir(bool enter = false);
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;  // empty unless entered
};

// A comma-decimal LC_NUMERIC (de_DE, built privately with localedef) while in
// scope; the caller's LC_NUMERIC and LOCPATH come back on destruction.
// available() is false where the tools or the locale are missing.
class comma_numeric_locale {
 public:
  comma_numeric_locale();
  ~comma_numeric_locale();
  comma_numeric_locale(const comma_numeric_locale&) = delete;
  comma_numeric_locale& operator=(const comma_numeric_locale&) = delete;

  bool available() const { return active_; }

 private:
  scratch_dir dir_;
  std::string saved_;
  bool active_ = false;
};

// Every vector level this processor runs, baseline first: the kernels must
// give the same bytes on each.
inline std::vector<vector_isa> runnable_vector_isas() {
  std::vector<vector_isa> levels{vector_isa::baseline};
  if (best_vector_isa() != vector_isa::baseline) levels.push_back(vector_isa::avx2);
  if (best_vector_isa() == vector_isa::avx512) levels.push_back(vector_isa::avx512);
  return levels;
}

// Reads a whole file as bytes; empty when it cannot be read.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

}  // namespace zorvel::test
