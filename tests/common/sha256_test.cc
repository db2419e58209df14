// SHA-256 against the published vectors and messages whose padding ends
// exactly at, or just past, a 64-byte block; and the failure-message tap,
// which must print exactly what printf prints.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/run_messages.h"
#include "common/sha256.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

std::string digest(const std::string& text) {
  return sha256_hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Sha256, KnownVectorsAndBlockEdges) {
  const struct {
    std::string message;
    const char* hex;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) EXPECT_EQ(digest(c.message), c.hex) << c.message.size() << " bytes";
}

TEST(RunMessages, PrintLikePrintfAndKeepTheFirstMessageOnOneLine) {
  clear_failure_message();
  const std::string text = capture_stdout([] {
    report_failure("\nError: %s = %u - valid values are %d..%d\n\n", "main.x", 70000u, 1, 65535);
    report_failure("\nError in FULL L + Flat calibration\n\n");
  });
  EXPECT_EQ(text,
            "\nError: main.x = 70000 - valid values are 1..65535\n\n"
            "\nError in FULL L + Flat calibration\n\n");
  EXPECT_EQ(first_failure_message(), "Error: main.x = 70000 - valid values are 1..65535");
  clear_failure_message();
  EXPECT_EQ(first_failure_message(), "");
  capture_stdout([] { report_failure("\n"); });  // nothing to keep
  EXPECT_EQ(first_failure_message(), "");
}

}  // namespace
}  // namespace zorvel::test
