// The configuration reader: file checks, line handling, normalisation and
// the numeric conversions, grouped by behaviour.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <cmath>
#include <limits>

#include "config/config_reader.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

// The line rules on their own: every key is kept.
zorvel_config_reader load(const std::string& content) {
  const scratch_dir dir;
  write_file(dir.file("c.cfg"), content);
  zorvel_config_reader reader(dir.file("c.cfg"), every_config_key);
  zorvel_parse_result result;
  EXPECT_TRUE(reader.load(result) && result.status == 1 && result.messages.empty()) << result.messages;
  // Text from memory follows the same rules.
  const auto same = zorvel_config_reader::from_text(content, "", every_config_key);
  EXPECT_EQ(same.key_count(), reader.key_count());
  return reader;
}

// Missing files and directories are reported by the entry tests.
TEST(ReaderTest, APathThatCannotBeQueriedHasMode0) {
  const scratch_dir dir;
  write_file(dir.file("plain"), "x=1\n");
  const std::string below_file = dir.file("plain") + "/x.cfg";
  zorvel_parse_result result;
  EXPECT_FALSE(zorvel_config_reader(below_file).load(result));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.messages, "Invalid file mode 0 for config file " + below_file + "\n");
}

TEST(ReaderTest, WhichLinesAreKeptAndHowKeysAndValuesAreNormalised) {
  const std::string fits = "a=" + std::string(1020, '7');  // 1022 characters: the limit
  const std::string over = "b=" + std::string(1021, '7');
  const char nul_lines[] = "n=5\0=junk\nz\0=3\n";
  const auto reader = load("MAIN_Native_Width = 4 000\n\tKey\v\f=\tA b\r\nname=a=b\n"
                           "UTF=\xC3\x84 x\xFF AZ@[`{\nimg =  Captures/Main L.BMP \r\n"
                           "heading\nbare=\ncrlf=\r\nspace= \n#key=1\n=v\nk=1\nK = 2\n" + fits +
                           "\r\n" + over + "\n" + "c=" + std::string(100000, '7') + "\n" +
                           std::string(nul_lines, sizeof nul_lines - 1) + over + "\nlast=9");
  EXPECT_EQ(reader.get("main_native_width"), "4000");
  EXPECT_EQ(reader.get("key"), "ab");
  EXPECT_EQ(reader.get("name"), "a=b");
  EXPECT_EQ(reader.get("utf"), "\xC3\x84x\xFF" "az@[`{");  // only ASCII capitals change
  EXPECT_EQ(reader.get("img"), "captures/mainl.bmp");
  EXPECT_EQ(reader.get_path("img"), "Captures/Main L.BMP");
  EXPECT_EQ(reader.get_path("absent"), "");
  EXPECT_FALSE(reader.find("heading") || reader.find("bare") || reader.find("crlf"));
  EXPECT_TRUE(reader.find("space") && reader.get("space").empty());  // stored with an empty value
  EXPECT_EQ(reader.get("#key"), "1");  // no comment syntax
  EXPECT_EQ(reader.get(""), "v");
  EXPECT_EQ(reader.get("k"), "2");  // the last line of a key wins
  EXPECT_EQ(reader.get("a"), std::string(1020, '7'));
  EXPECT_FALSE(reader.find("b") || reader.find("c"));  // longer lines are dropped whole
  EXPECT_EQ(reader.get("n"), "5");  // a NUL ends the line
  EXPECT_FALSE(reader.find("z"));
  EXPECT_EQ(reader.get("last"), "9");  // no final line feed
  EXPECT_EQ(reader.key_count(), 12u);
}

// A file is read at most once and up to a size limit; of its lines only the
// keys a parser reads are kept, and every load repeats the first outcome.
TEST(ReaderTest, SizeLimitKnownKeysAndRepeatedLoads) {
  const scratch_dir dir;
  const std::string known = "MAIN_native_width=4000\nenable_debug_mode=1\nresult_json_file=r.json\n";
  const std::string filler = "unknown_key=1\n";
  const std::string at_limit = known + std::string(kMaxConfigFileBytes - known.size() - filler.size(), '#') +
                               "\n" + filler.substr(1);
  const std::string too_large = "Config file " + dir.file("c.cfg") + " is larger than 1048576 bytes\n";
  const struct {
    std::string content;
    std::string messages;
    size_t keys;
  } cases[] = {{at_limit, "", 3}, {at_limit + "\n", too_large, 0}, {known + filler, "", 3}};
  for (const auto& c : cases) {
    write_file(dir.file("c.cfg"), c.content);
    zorvel_config_reader reader(dir.file("c.cfg"));
    for (int load = 0; load < 2; ++load) {
      if (load == 1) write_file(dir.file("c.cfg"), "");  // never read again
      zorvel_parse_result result;
      EXPECT_EQ(reader.load(result), c.messages.empty());
      EXPECT_EQ(result.messages, c.messages);
      EXPECT_EQ(reader.key_count(), c.keys);
    }
    EXPECT_EQ(c.keys == 0 ? "" : reader.get("main_native_width"), c.keys == 0 ? "" : "4000");
  }
  EXPECT_EQ(at_limit.size(), kMaxConfigFileBytes);

  // An 88 MB file is refused by its size alone, without reading it.
  write_file(dir.file("c.cfg"), known);
  std::filesystem::resize_file(dir.file("c.cfg"), std::uintmax_t{88} << 20);
  const auto start = std::chrono::steady_clock::now();
  zorvel_parse_result result;
  EXPECT_FALSE(zorvel_config_reader(dir.file("c.cfg")).load(result));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(result.messages, too_large);
}

// What each parser stores for text: a rejected integer keeps the 5 it had, a
// rejected float or double what it read.
double as_int(const char* text, bool& ok) { int32_t v = 5; ok = parse_int(text, v); return v; }
double as_byte(const char* text, bool& ok) { uint8_t v = 5; ok = parse_byte(text, v); return v; }
double as_float(const char* text, bool& ok) { float v = 5; ok = parse_float(text, v); return static_cast<double>(v); }
double as_double(const char* text, bool& ok) { double v = 5; ok = parse_double(text, v); return v; }

void expect_conversions() {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const struct {
    double (*parser)(const char*, bool&);
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {as_int, "12abc", true, 12}, {as_int, "abc", true, 0}, {as_int, "", true, 0}, {as_int, "-5", false, 5},
      {as_int, "2147483647", true, 2147483647}, {as_int, "2147483648", false, 5},
      {as_int, "99999999999999999999", false, 5}, {as_byte, "255", true, 255}, {as_byte, "256", false, 5},
      {as_byte, "-1", false, 5}, {as_byte, "0x10", true, 0},  // base 10: the leading 0 only
      // "0.1" is rounded from the double 0.1; 1e39 is beyond float but within double.
      {as_float, "0.1", true, static_cast<double>(0.1f)}, {as_float, "3.5kg", true, 3.5}, {as_float, "1e999", false, inf},
      {as_float, "1e39", true, inf}, {as_float, "-inf", true, -inf}, {as_float, "nan", false, nan},
      {as_float, "-NaN(12)", false, nan}, {as_double, "nan", false, nan}, {as_double, "", true, 0},
      {as_double, "1e39", true, 1e39}, {as_double, "-1e999", false, -inf}, {as_double, "0.125", true, 0.125},
      // Past the largest float, rounding is to nearest even: from half an ulp
      // (2^103) above it the value is infinite.
      {as_float, "3.4028235677973366e38", true, inf}, {as_float, "-3.4028235677973366e38", true, -inf},
      {as_float, "3.40282356779724e38", true, static_cast<double>(std::numeric_limits<float>::max())},
  };
  for (const auto& c : cases) {
    bool ok = !c.ok;
    errno = ERANGE;  // as a caller's code may leave it
    const double value = c.parser(c.text, ok);
    EXPECT_EQ(ok, c.ok) << c.text;
    EXPECT_TRUE(value == c.value || (std::isnan(value) && std::isnan(c.value))) << c.text << " " << value;
  }
}

TEST(ConversionTest, AcceptedTextAndStoredValueAlsoUnderACommaLocale) {
  expect_conversions();
  const comma_numeric_locale comma;
  // The de_DE source comes with Debian's locales package.
  if (!comma.available()) GTEST_SKIP() << "localedef could not build the de_DE locale";
  expect_conversions();
}

}  // namespace
}  // namespace zorvel::test
