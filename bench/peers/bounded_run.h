// Repeated timing of one step in a child process, so that a step that runs
// for minutes (a chessboard finder on an image without a chart) is cut off at
// a time limit instead of stalling the whole comparison, and a step that
// crashes costs one row instead of the run. The child sends each repetition's
// duration and the first repetition's result text through a pipe; the parent
// keeps whatever arrived before the limit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zorvel::bench {

struct bounded_result {
  std::vector<double> seconds;  // one per finished repetition
  std::string payload;          // what the first repetition reported
  bool over_limit = false;      // the limit passed before the first repetition ended
  bool failed = false;          // the child died without finishing a repetition

  bool ok() const { return !seconds.empty(); }
  double median_ms() const {
    if (seconds.empty()) return 0.0;
    std::vector<double> s = seconds;
    std::sort(s.begin(), s.end());
    const size_t n = s.size();
    const double mid = n % 2 ? s[n / 2] : 0.5 * (s[n / 2 - 1] + s[n / 2]);
    return mid * 1000.0;
  }
};

struct bounded_step {
  std::function<void()> prepare;     // untimed, before every repetition (may be empty)
  std::function<std::string()> run;  // timed; returns one line of result text
};

namespace detail {

inline void write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

inline void child_main(int fd, int repetitions, const bounded_step& step) {
  // The library reports on standard output; the table must stay readable.
  const int null_fd = ::open("/dev/null", O_WRONLY);
  if (null_fd >= 0) {
    ::dup2(null_fd, 1);
    ::close(null_fd);
  }
  for (int i = 0; i < repetitions; ++i) {
    if (step.prepare) step.prepare();
    const auto start = std::chrono::steady_clock::now();
    std::string text = step.run();
    const auto end = std::chrono::steady_clock::now();
    std::fflush(stdout);
    char line[64];
    std::snprintf(line, sizeof line, "t %.9f\n",
                  std::chrono::duration<double>(end - start).count());
    write_all(fd, line);
    if (i == 0) {
      std::replace(text.begin(), text.end(), '\n', ' ');
      write_all(fd, "p " + text + "\n");
    }
  }
}

}  // namespace detail

// Runs step up to `repetitions` times within limit_seconds of wall time.
inline bounded_result run_bounded(double limit_seconds, int repetitions, const bounded_step& step) {
  bounded_result result;
  std::fflush(stdout);
  std::fflush(stderr);
  int fds[2];
  if (::pipe(fds) != 0) {
    result.failed = true;
    return result;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    result.failed = true;
    return result;
  }
  if (pid == 0) {
    ::close(fds[0]);
    detail::child_main(fds[1], repetitions, step);
    ::close(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);

  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(limit_seconds));
  std::string received;
  bool finished = false;
  char buffer[4096];
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0) break;
    if (ready == 0) continue;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) {
      finished = true;
      break;
    }
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (!finished) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);

  size_t begin = 0;
  while (begin < received.size()) {
    const size_t end = received.find('\n', begin);
    if (end == std::string::npos) break;  // a line cut off by the limit
    const std::string line = received.substr(begin, end - begin);
    if (line.rfind("t ", 0) == 0) result.seconds.push_back(std::stod(line.substr(2)));
    if (line.rfind("p ", 0) == 0) result.payload = line.substr(2);
    begin = end + 1;
  }
  if (result.seconds.empty()) {
    if (finished) {
      result.failed = true;
    } else {
      result.over_limit = true;
    }
  }
  return result;
}

}  // namespace zorvel::bench
