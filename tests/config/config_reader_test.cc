// The configuration reader: file checks, line handling, normalisation and
// the numeric conversions, grouped by behaviour.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>

#include "config/config_reader.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

class ReaderTest : public ::testing::Test {
 protected:
  // Loads content through a fresh reader; the result is kept in result_.
  zorvel_config_reader load(const std::string& content) {
    const std::string path = dir_.file("c.cfg");
    write_file(path, content);
    zorvel_config_reader reader(path);
    result_ = {};
    EXPECT_TRUE(reader.load(result_));
    EXPECT_EQ(result_.status, 1);
    EXPECT_EQ(result_.messages, "");
    return reader;
  }
  scratch_dir dir_;
  zorvel_parse_result result_;
};

TEST_F(ReaderTest, FileChecksReportOneLine) {
  zorvel_parse_result missing;
  EXPECT_FALSE(zorvel_config_reader(dir_.file("none.cfg")).load(missing));
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.messages, "Could not find config file " + dir_.file("none.cfg") + "\n");

  zorvel_parse_result empty_path;
  EXPECT_FALSE(zorvel_config_reader("").load(empty_path));
  EXPECT_EQ(empty_path.messages, "Could not find config file \n");

  const std::string sub = dir_.file("sub");
  std::filesystem::create_directory(sub);
  std::filesystem::permissions(sub, std::filesystem::perms(0700));
  zorvel_parse_result directory;
  EXPECT_FALSE(zorvel_config_reader(sub).load(directory));
  EXPECT_EQ(directory.messages, "Invalid file mode 16832 for config file " + sub + "\n");

  // A query failing for another reason than a missing file: mode 0.
  write_file(dir_.file("plain"), "x=1\n");
  const std::string below_file = dir_.file("plain") + "/x.cfg";
  zorvel_parse_result not_dir;
  EXPECT_FALSE(zorvel_config_reader(below_file).load(not_dir));
  EXPECT_EQ(not_dir.messages, "Invalid file mode 0 for config file " + below_file + "\n");
}

TEST_F(ReaderTest, KeysAndValuesAreNormalised) {
  const auto reader = load("MAIN_Native_Width = 4 000\n\tKey\v\f=\tA b\r\n"
                           "name=a=b\nUTF=\xC3\x84 x\xFF\n");
  EXPECT_EQ(reader.get("main_native_width"), "4000");
  EXPECT_EQ(reader.get("key"), "ab");
  EXPECT_EQ(reader.get("name"), "a=b");
  EXPECT_EQ(reader.get("utf"), "\xC3\x84x\xFF");  // high bytes pass unchanged
  EXPECT_EQ(normalise_config_text(" A\tZ\n@[`{ "), "az@[`{");
}

TEST_F(ReaderTest, PathsAreAlsoKeptAsWritten) {
  const auto reader = load("img =  Captures/Main L.BMP \r\nshort=x\n");
  EXPECT_EQ(reader.get("img"), "captures/mainl.bmp");
  EXPECT_EQ(reader.get_path("img"), "Captures/Main L.BMP");
  EXPECT_EQ(reader.get_path("short"), "x");
  EXPECT_EQ(reader.get_path("absent"), "");
  EXPECT_EQ(trim_config_text("\t a b \r"), "a b");
}

TEST_F(ReaderTest, LinesWithoutValueOrEqualsAreDiscarded) {
  const auto reader = load("heading\nbare=\ncrlf=\r\nspace= \n#key=1\n=v\nlast=9");
  EXPECT_FALSE(reader.find("heading"));
  EXPECT_FALSE(reader.find("bare"));
  EXPECT_FALSE(reader.find("crlf"));
  EXPECT_TRUE(reader.find("space"));  // stored with an empty value
  EXPECT_EQ(reader.get("space"), "");
  EXPECT_EQ(reader.get("#key"), "1");  // no comment syntax
  EXPECT_EQ(reader.get(""), "v");
  EXPECT_EQ(reader.get("last"), "9");  // no final line feed
  EXPECT_EQ(reader.get("absent"), "");
}

TEST_F(ReaderTest, LastLineOfAKeyWinsAndNulEndsTheLine) {
  const char raw[] = "k=1\nK = 2\nn=5\0=junk\nz\0=3\n";
  const auto reader = load(std::string(raw, sizeof raw - 1));
  EXPECT_EQ(reader.get("k"), "2");
  EXPECT_EQ(reader.get("n"), "5");
  EXPECT_FALSE(reader.find("z"));
  EXPECT_EQ(reader.values().size(), 2u);
}

TEST_F(ReaderTest, LineLimitIs1022CharactersAndLongerLinesAreDroppedWhole) {
  const std::string fits = "a=" + std::string(1020, '7');  // 1022 characters
  const std::string over = "b=" + std::string(1021, '7');  // 1023 characters
  const std::string huge = "c=" + std::string(100000, '7');
  const auto reader = load(fits + "\r\n" + over + "\n" + huge + "\nd=1\n" + over);
  EXPECT_EQ(reader.get("a"), std::string(1020, '7'));
  EXPECT_FALSE(reader.find("b"));
  EXPECT_FALSE(reader.find("c"));
  EXPECT_EQ(reader.get("d"), "1");
  EXPECT_EQ(reader.values().size(), 2u);
}

TEST_F(ReaderTest, RequireReportsOnlyTheFirstMissingKeyUnlessExempt) {
  const auto reader = load("a=1\nc=3\n");
  const char* const table[] = {"a", "distortion_adj_x", "distortion_scale_y", "b", "d"};
  zorvel_parse_result exempt;
  EXPECT_FALSE(reader.require(table, 5, key_exemption::distortion_keys, exempt));
  EXPECT_EQ(exempt.messages, "Could not find mandatory parameter b in config file\n");
  zorvel_parse_result strict;
  EXPECT_FALSE(reader.require(table, 5, key_exemption::none, strict));
  EXPECT_EQ(strict.messages, "Could not find mandatory parameter distortion_adj_x in config file\n");
  zorvel_parse_result first_only;
  EXPECT_TRUE(reader.require(table, 1, key_exemption::none, first_only));
  EXPECT_EQ(first_only.status, 1);
}

TEST(ConversionTest, IntegersTakeTheLeadingNumberAndRejectNegativeOrOutOfRange) {
  int32_t i = 7;
  EXPECT_TRUE(parse_int("12abc", i));
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(parse_int("abc", i));
  EXPECT_EQ(i, 0);
  EXPECT_TRUE(parse_int("", i));
  EXPECT_EQ(i, 0);
  EXPECT_TRUE(parse_int("2147483647", i));
  EXPECT_EQ(i, 2147483647);
  i = 5;
  EXPECT_FALSE(parse_int("2147483648", i));
  EXPECT_FALSE(parse_int("-5", i));
  EXPECT_FALSE(parse_int("99999999999999999999", i));
  EXPECT_EQ(i, 5);  // rejected integers are not stored

  uint8_t b = 9;
  EXPECT_TRUE(parse_byte("255", b));
  EXPECT_EQ(b, 255);
  EXPECT_FALSE(parse_byte("256", b));
  EXPECT_FALSE(parse_byte("300", b));
  EXPECT_FALSE(parse_byte("-1", b));
  EXPECT_EQ(b, 255);
  EXPECT_TRUE(parse_byte("0x10", b));  // base 10: the leading 0 only
  EXPECT_EQ(b, 0);
}

TEST(ConversionTest, FloatsRejectRangeErrorsAndNanButKeepInfinity) {
  float f = 0.0f;
  EXPECT_TRUE(parse_float("0.1", f));
  EXPECT_EQ(f, 0.1f);  // rounded from the double 0.1, not parsed as float
  EXPECT_FALSE(parse_float("1e999", f));
  EXPECT_TRUE(std::isinf(f));  // stored before the test
  EXPECT_TRUE(parse_float("1e39", f));  // beyond float, within double
  EXPECT_EQ(f, std::numeric_limits<float>::infinity());
  EXPECT_TRUE(parse_float("-inf", f));
  EXPECT_EQ(f, -std::numeric_limits<float>::infinity());
  EXPECT_FALSE(parse_float("nan", f));
  EXPECT_FALSE(parse_float("-NaN(12)", f));
  EXPECT_TRUE(parse_float("3.5kg", f));
  EXPECT_EQ(f, 3.5f);

  double d = 0.0;
  EXPECT_TRUE(parse_double("1e39", d));
  EXPECT_EQ(d, 1e39);
  EXPECT_FALSE(parse_double("-1e999", d));
  EXPECT_EQ(d, -std::numeric_limits<double>::infinity());
  EXPECT_FALSE(parse_double("nan", d));
  EXPECT_TRUE(parse_double("", d));
  EXPECT_EQ(d, 0.0);
}

TEST(ConversionTest, NarrowingRoundsLikeTheHardwareAtTheFloatLimit) {
  const double max = std::numeric_limits<float>::max();
  const double half_ulp = std::ldexp(1.0, 103);
  EXPECT_EQ(narrow_to_float(max + half_ulp / 2), std::numeric_limits<float>::max());
  EXPECT_EQ(narrow_to_float(max + half_ulp), std::numeric_limits<float>::infinity());
  EXPECT_EQ(narrow_to_float(-(max + half_ulp)), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(narrow_to_float(1.0 / 3.0), 1.0f / 3.0f);
}

TEST(ConversionTest, OnlyTheValuesOwnConversionCanRejectIt) {
  errno = ERANGE;  // left over from the caller's code
  int32_t i = 0;
  float f = 0.0f;
  EXPECT_TRUE(parse_int("3", i));
  errno = ERANGE;
  EXPECT_TRUE(parse_float("3", f));
}

TEST(ConversionTest, DecimalPointIgnoresTheHostLocale) {
  float f = 0.0f;
  double d = 0.0;
  bool float_ok = false, double_ok = false;
  {
    const comma_numeric_locale comma;
    if (!comma.available()) GTEST_SKIP() << "comma locale not available";
    float_ok = parse_float("2.5", f);
    double_ok = parse_double("0.125", d);
  }
  EXPECT_TRUE(float_ok);
  EXPECT_EQ(f, 2.5f);
  EXPECT_TRUE(double_ok);
  EXPECT_EQ(d, 0.125);
}

}  // namespace
}  // namespace zorvel::test
