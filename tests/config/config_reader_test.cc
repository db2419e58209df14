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

constexpr double kInf = std::numeric_limits<double>::infinity();

class ReaderTest : public ::testing::Test {
 protected:
  zorvel_config_reader load(const std::string& content) {
    write_file(dir_.file("c.cfg"), content);
    zorvel_config_reader reader(dir_.file("c.cfg"));
    zorvel_parse_result result;
    EXPECT_TRUE(reader.load(result));
    EXPECT_EQ(result.status * 1000 + static_cast<int>(result.messages.size()), 1000);
    return reader;
  }
  std::string refusal(const std::string& path) {
    zorvel_parse_result result;
    EXPECT_FALSE(zorvel_config_reader(path).load(result));
    EXPECT_EQ(result.status, 0);
    return result.messages;
  }
  scratch_dir dir_;
};

TEST_F(ReaderTest, FileChecksReportOneLine) {
  EXPECT_EQ(refusal(dir_.file("none.cfg")), "Could not find config file " + dir_.file("none.cfg") + "\n");
  EXPECT_EQ(refusal(""), "Could not find config file \n");
  const std::string sub = dir_.file("sub");
  std::filesystem::create_directory(sub);
  std::filesystem::permissions(sub, std::filesystem::perms(0700));
  EXPECT_EQ(refusal(sub), "Invalid file mode 16832 for config file " + sub + "\n");
  // A query failing for another reason than a missing file: mode 0.
  write_file(dir_.file("plain"), "x=1\n");
  const std::string below_file = dir_.file("plain") + "/x.cfg";
  EXPECT_EQ(refusal(below_file), "Invalid file mode 0 for config file " + below_file + "\n");
}

TEST_F(ReaderTest, KeysAndValuesAreNormalisedAndPathsAlsoKeptAsWritten) {
  const auto reader = load("MAIN_Native_Width = 4 000\n\tKey\v\f=\tA b\r\nname=a=b\n"
                           "UTF=\xC3\x84 x\xFF\nimg =  Captures/Main L.BMP \r\n");
  EXPECT_EQ(reader.get("main_native_width"), "4000");
  EXPECT_EQ(reader.get("key"), "ab");
  EXPECT_EQ(reader.get("name"), "a=b");
  EXPECT_EQ(reader.get("utf"), "\xC3\x84x\xFF");  // high bytes pass unchanged
  EXPECT_EQ(reader.get("img"), "captures/mainl.bmp");
  EXPECT_EQ(reader.get_path("img"), "Captures/Main L.BMP");
  EXPECT_EQ(reader.get_path("absent"), "");
  EXPECT_EQ(normalise_config_text(" A\tZ\n@[`{ "), "az@[`{");
  EXPECT_EQ(trim_config_text("\t a b \r"), "a b");
}

TEST_F(ReaderTest, WhichLinesAreKept) {
  const std::string fits = "a=" + std::string(1020, '7');  // 1022 characters: the limit
  const std::string over = "b=" + std::string(1021, '7');
  const char nul_lines[] = "n=5\0=junk\nz\0=3\n";
  const auto reader = load("heading\nbare=\ncrlf=\r\nspace= \n#key=1\n=v\nk=1\nK = 2\n" + fits +
                           "\r\n" + over + "\n" + "c=" + std::string(100000, '7') + "\n" +
                           std::string(nul_lines, sizeof nul_lines - 1) + over + "\nlast=9");
  EXPECT_FALSE(reader.find("heading") || reader.find("bare") || reader.find("crlf"));
  EXPECT_TRUE(reader.find("space"));  // stored with an empty value
  EXPECT_EQ(reader.get("space"), "");
  EXPECT_EQ(reader.get("#key"), "1");  // no comment syntax
  EXPECT_EQ(reader.get(""), "v");
  EXPECT_EQ(reader.get("k"), "2");  // the last line of a key wins
  EXPECT_EQ(reader.get("a"), std::string(1020, '7'));
  EXPECT_FALSE(reader.find("b") || reader.find("c"));  // longer lines are dropped whole
  EXPECT_EQ(reader.get("n"), "5");  // a NUL ends the line
  EXPECT_FALSE(reader.find("z"));
  EXPECT_EQ(reader.get("last"), "9");  // no final line feed
  EXPECT_EQ(reader.values().size(), 7u);
}

TEST_F(ReaderTest, RequireReportsOnlyTheFirstMissingKeyUnlessExempt) {
  const auto reader = load("a=1\nc=3\n");
  const char* const table[] = {"a", "distortion_adj_x", "distortion_scale_y", "b", "d"};
  zorvel_parse_result exempt, strict, first_only;
  EXPECT_FALSE(reader.require(table, 5, key_exemption::distortion_keys, exempt));
  EXPECT_EQ(exempt.messages, "Could not find mandatory parameter b in config file\n");
  EXPECT_FALSE(reader.require(table, 5, key_exemption::none, strict));
  EXPECT_EQ(strict.messages, "Could not find mandatory parameter distortion_adj_x in config file\n");
  EXPECT_TRUE(reader.require(table, 1, key_exemption::none, first_only));
  EXPECT_EQ(first_only.status, 1);
}

// A conversion of text: accepted or not, and the value stored (a rejected
// integer stores nothing, a rejected float or double stores its value).
struct conversion {
  const char* text;
  bool ok;
  double value;
};

TEST(ConversionTest, IntegersTakeTheLeadingNumberAndRejectNegativeOrOutOfRange) {
  for (const conversion& c : {conversion{"12abc", true, 12}, {"abc", true, 0}, {"", true, 0},
                              {"2147483647", true, 2147483647}, {"2147483648", false, 5},
                              {"-5", false, 5}, {"99999999999999999999", false, 5}}) {
    int32_t i = 5;
    EXPECT_EQ(parse_int(c.text, i), c.ok) << c.text;
    EXPECT_EQ(i, c.value) << c.text;
  }
  for (const conversion& c : {conversion{"255", true, 255}, {"256", false, 9}, {"-1", false, 9},
                              {"0x10", true, 0}}) {  // base 10: the leading 0 only
    uint8_t b = 9;
    EXPECT_EQ(parse_byte(c.text, b), c.ok) << c.text;
    EXPECT_EQ(b, c.value) << c.text;
  }
}

TEST(ConversionTest, FloatsRejectRangeErrorsAndNanButKeepInfinity) {
  // "0.1" is rounded from the double 0.1; 1e39 is beyond float but within double.
  for (const conversion& c : {conversion{"0.1", true, 0.1f}, {"1e999", false, kInf},
                              {"1e39", true, kInf}, {"-inf", true, -kInf}, {"3.5kg", true, 3.5}}) {
    float f = 0.0f;
    EXPECT_EQ(parse_float(c.text, f), c.ok) << c.text;
    EXPECT_EQ(f, static_cast<float>(c.value)) << c.text;
  }
  for (const conversion& c : {conversion{"1e39", true, 1e39}, {"-1e999", false, -kInf}, {"", true, 0}}) {
    double d = 7.0;
    EXPECT_EQ(parse_double(c.text, d), c.ok) << c.text;
    EXPECT_EQ(d, c.value) << c.text;
  }
  float f = 0.0f;
  double d = 0.0;
  EXPECT_FALSE(parse_float("nan", f) || parse_float("-NaN(12)", f) || parse_double("nan", d));
}

TEST(ConversionTest, NarrowingRoundsLikeTheHardwareAtTheFloatLimit) {
  const double max = std::numeric_limits<float>::max();
  const double half_ulp = std::ldexp(1.0, 103);
  EXPECT_EQ(narrow_to_float(max + half_ulp / 2), std::numeric_limits<float>::max());
  EXPECT_EQ(narrow_to_float(max + half_ulp), std::numeric_limits<float>::infinity());
  EXPECT_EQ(narrow_to_float(-(max + half_ulp)), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(narrow_to_float(1.0 / 3.0), 1.0f / 3.0f);
}

TEST(ConversionTest, NeitherACallersErrnoNorTheHostLocaleChangesAValue) {
  int32_t i = 0;
  float f = 0.0f;
  double d = 0.0;
  errno = ERANGE;  // left over from the caller's code
  EXPECT_TRUE(parse_int("3", i));
  errno = ERANGE;
  EXPECT_TRUE(parse_float("3", f));
  const comma_numeric_locale comma;
  // The de_DE source comes with Debian's locales package.
  if (!comma.available()) GTEST_SKIP() << "localedef could not build the de_DE locale";
  EXPECT_TRUE(parse_float("2.5", f));
  EXPECT_EQ(f, 2.5f);
  EXPECT_TRUE(parse_double("0.125", d));
  EXPECT_EQ(d, 0.125);
}

}  // namespace
}  // namespace zorvel::test
