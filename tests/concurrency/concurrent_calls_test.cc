// The library keeps no state between or across calls: two calibrations of
// different modules running at once on two threads write the same records
// as when each runs alone. Built with ZORVEL_TSAN=ON, ThreadSanitizer also
// checks that the two calls share no memory.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <latch>
#include <thread>

#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

TEST(ConcurrentCalls, TwoCalibrationsAtOnceWriteTheRecordsOfSingleRuns) {
  const std::array<simulated_module, 2> modules{simulated_module("good"), simulated_module("portrait")};
  std::array<std::string, 2> alone;
  for (size_t i = 0; i < modules.size(); ++i) {
    ASSERT_EQ(modules[i].error(), "");
    ASSERT_EQ(modules[i].run("calibration.cfg").result, 1);
    alone[i] = read_file(modules[i].file("calibration.otp"));
    ASSERT_EQ(alone[i].size(), 470u);
    std::filesystem::remove(modules[i].file("calibration.otp"));
  }

  // Both threads print to the one standard output; only the records count.
  std::array<int32_t, 2> results{-1, -1};
  capture_stdout([&] {
    std::latch start(2);
    const auto call = [&](size_t i) {
      start.arrive_and_wait();
      results[i] = calibrate(modules[i].file("calibration.cfg").c_str(), 0);
    };
    std::thread other(call, 1);
    call(0);
    other.join();
  });
  for (size_t i = 0; i < modules.size(); ++i) {
    EXPECT_EQ(results[i], 1) << i;
    EXPECT_EQ(read_file(modules[i].file("calibration.otp")), alone[i]) << i;
  }
}

}  // namespace
}  // namespace zorvel::test
