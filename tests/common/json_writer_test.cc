#include "common/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zorvel {
namespace {

using nlohmann::json;

TEST(JsonWriter, NestedDocumentParsesBackWithItsValues) {
  for (const int indent : {0, 2}) {
    json_writer w(indent);
    w.begin_object()
        .field("name", "a \"quoted\" \\ path\n\x01")
        .field("count", 3)
        .field("big", uint64_t{18446744073709551615u})
        .field("negative", int64_t{-42})
        .field("ok", false);
    w.key("empty_list").begin_array().end_array();
    w.key("empty_object").begin_object().end_object();
    w.key("rows").begin_array();
    for (int i = 0; i < 2; ++i) w.begin_object().field("i", i).end_object();
    w.end_array().end_object();

    const json want = {{"name", "a \"quoted\" \\ path\n\x01"}, {"count", 3}, {"big", uint64_t{18446744073709551615u}},
                       {"negative", -42}, {"ok", false}, {"empty_list", json::array()},
                       {"empty_object", json::object()}, {"rows", json::array({json{{"i", 0}}, json{{"i", 1}}})}};
    EXPECT_EQ(json::parse(w.text()), want);
    EXPECT_EQ(indent == 0, w.text().find('\n') == std::string::npos);
  }
}

TEST(JsonWriter, NumbersRoundTripWhateverTheLocaleAndNonFiniteBecomeNull) {
  const double doubles[] = {0.1, -1.0 / 3.0, 1e-310, 6.02214076e23, 123456789.0};
  const float floats[] = {0.1f, 1.23f, -7.5e-12f, 3.4e38f};
  json_writer w;
  {
    const test::comma_numeric_locale comma;  // a station may run with a comma decimal separator
    w.begin_array();
    for (const double d : doubles) w.value(d);
    for (const float f : floats) w.value(f);
    w.value(std::numeric_limits<double>::quiet_NaN()).value(std::numeric_limits<float>::infinity());
    w.value(-std::numeric_limits<double>::infinity()).end_array();
  }
  const json doc = json::parse(w.text());
  size_t i = 0;
  for (const double d : doubles) EXPECT_EQ(doc[i++].get<double>(), d);
  for (const float f : floats) EXPECT_EQ(doc[i++].get<float>(), f);
  // A float is written with its own shortest digits, not the double's.
  EXPECT_NE(w.text().find("1.23"), std::string::npos);
  EXPECT_EQ(w.text().find("1.2300000"), std::string::npos);
  for (; i < doc.size(); ++i) EXPECT_TRUE(doc[i].is_null());
  EXPECT_EQ(i, 12u);
}

}  // namespace
}  // namespace zorvel
