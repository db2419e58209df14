// A validator for the part of JSON Schema the shipped result schema uses:
// type (one or a list), enum, required, properties, additionalProperties
// false, items, min/maxItems, minimum, maximum, min/maxLength and local
// "#/$defs/..." references. Anything else in a schema is an error here, so the
// schema cannot grow a keyword the tests silently ignore.
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace zorvel::test {

class json_schema_check {
 public:
  using json = nlohmann::json;
  explicit json_schema_check(json schema) : root_(std::move(schema)) {}

  // One line per problem, each naming the JSON pointer of the value.
  std::vector<std::string> errors(const json& value) {
    problems_.clear();
    check(root_, value, "");
    return problems_;
  }

 private:
  static bool has_type(const json& v, const std::string& t) {
    return t == "object" ? v.is_object() : t == "array" ? v.is_array() : t == "string" ? v.is_string()
         : t == "boolean" ? v.is_boolean() : t == "null" ? v.is_null() : t == "integer" ? v.is_number_integer()
         : t == "number" && v.is_number();
  }

  void fail(const std::string& at, const std::string& what) { problems_.push_back((at.empty() ? "/" : at) + ": " + what); }

  // Whether v breaks the bound `key` of s, read as the given measure of v.
  static bool breaks(const json& s, const char* key, double measure, bool is_min) {
    return s.contains(key) && (is_min ? measure < s[key].get<double>() : measure > s[key].get<double>());
  }

  void check(const json& s, const json& v, const std::string& at) {
    static const std::set<std::string> kKnown = {
        "$schema", "$id", "$defs", "$ref", "title", "description", "type", "enum", "required",
        "properties", "additionalProperties", "items", "minItems", "maxItems", "minimum",
        "maximum", "minLength", "maxLength"};
    for (const auto& [key, unused] : s.items()) {
      if (!kKnown.count(key)) fail(at, "schema keyword " + key + " is not supported here");
    }
    if (s.contains("$ref")) {
      const std::string ref = s["$ref"], name = ref.substr(std::min(ref.size(), size_t{8}));
      if (ref.rfind("#/$defs/", 0) != 0 || !root_["$defs"].contains(name)) return fail(at, "unresolved reference " + ref);
      check(root_["$defs"][name], v, at);
    }
    if (s.contains("type")) {
      const json types = s["type"].is_array() ? s["type"] : json::array({s["type"]});
      bool any = false;
      for (const auto& t : types) any = any || has_type(v, t);
      if (!any) return fail(at, "type " + std::string(v.type_name()) + " not in " + s["type"].dump());
    }
    if (s.contains("enum") && std::find(s["enum"].begin(), s["enum"].end(), v) == s["enum"].end()) {
      fail(at, v.dump() + " not in " + s["enum"].dump());
    }
    const double n = v.is_number() ? v.get<double>() : v.is_string() ? double(v.get<std::string>().size()) : double(v.size());
    if (v.is_number() && (breaks(s, "minimum", n, true) || breaks(s, "maximum", n, false))) fail(at, "out of range");
    if (v.is_string() && (breaks(s, "minLength", n, true) || breaks(s, "maxLength", n, false))) fail(at, "bad length");
    if (v.is_array()) {
      if (breaks(s, "minItems", n, true) || breaks(s, "maxItems", n, false)) fail(at, "bad item count");
      for (size_t i = 0; s.contains("items") && i < v.size(); ++i) check(s["items"], v[i], at + "/" + std::to_string(i));
    }
    if (!v.is_object()) return;
    for (const auto& key : s.value("required", json::array())) {
      if (!v.contains(key.get<std::string>())) fail(at, "missing " + key.get<std::string>());
    }
    const json props = s.value("properties", json::object());
    for (const auto& [key, item] : v.items()) {
      if (props.contains(key)) {
        check(props[key], item, at + "/" + key);
      } else if (s.contains("additionalProperties") && s["additionalProperties"] == false) {
        fail(at, "unexpected member " + key);
      }
    }
  }

  json root_;
  std::vector<std::string> problems_;
};

// The result schema the project ships, read from the source tree.
inline json_schema_check shipped_result_schema() {
  return json_schema_check(nlohmann::json::parse(read_file(std::string(ZORVEL_SOURCE_DIR) + "/share/zorvel/run-result.schema.json")));
}

}  // namespace zorvel::test
