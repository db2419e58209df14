// A validator for the part of JSON Schema the shipped result schema uses:
// type (one or a list), enum, required, properties, additionalProperties
// false, items, min/maxItems, minimum, maximum, min/maxLength and local
// "#/$defs/..." references. Anything else in a schema is an error here, so the
// schema cannot grow a keyword the tests silently ignore.
#pragma once

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

namespace zorvel::test {

class json_schema_check {
 public:
  explicit json_schema_check(nlohmann::json schema) : root_(std::move(schema)) {}

  // One line per problem, each naming the JSON pointer of the value.
  std::vector<std::string> errors(const nlohmann::json& value) {
    problems_.clear();
    check(root_, value, "");
    return problems_;
  }

 private:
  static bool has_type(const nlohmann::json& v, const std::string& type) {
    if (type == "object") return v.is_object();
    if (type == "array") return v.is_array();
    if (type == "string") return v.is_string();
    if (type == "boolean") return v.is_boolean();
    if (type == "null") return v.is_null();
    if (type == "integer") return v.is_number_integer();
    if (type == "number") return v.is_number();
    return false;
  }

  void fail(const std::string& at, const std::string& what) {
    problems_.push_back((at.empty() ? "/" : at) + ": " + what);
  }

  void check(const nlohmann::json& s, const nlohmann::json& v, const std::string& at) {
    static const std::set<std::string> kKnown = {
        "$schema", "$id", "$defs", "$ref", "title", "description", "type", "enum", "required",
        "properties", "additionalProperties", "items", "minItems", "maxItems", "minimum",
        "maximum", "minLength", "maxLength"};
    for (const auto& [key, unused] : s.items()) {
      if (!kKnown.count(key)) fail(at, "schema keyword " + key + " is not supported here");
    }
    if (s.contains("$ref")) {
      const std::string ref = s["$ref"];
      const std::string prefix = "#/$defs/";
      if (ref.rfind(prefix, 0) != 0 || !root_["$defs"].contains(ref.substr(prefix.size()))) {
        fail(at, "unresolved reference " + ref);
        return;
      }
      check(root_["$defs"][ref.substr(prefix.size())], v, at);
    }
    if (s.contains("type")) {
      bool any = false;
      if (s["type"].is_array()) {
        for (const auto& t : s["type"]) any = any || has_type(v, t);
      } else {
        any = has_type(v, s["type"]);
      }
      if (!any) return fail(at, "type " + std::string(v.type_name()) + " not in " + s["type"].dump());
    }
    if (s.contains("enum")) {
      bool found = false;
      for (const auto& e : s["enum"]) found = found || e == v;
      if (!found) fail(at, v.dump() + " not in " + s["enum"].dump());
    }
    if (v.is_number()) {
      if (s.contains("minimum") && v.get<double>() < s["minimum"].get<double>()) fail(at, "below minimum");
      if (s.contains("maximum") && v.get<double>() > s["maximum"].get<double>()) fail(at, "above maximum");
    }
    if (v.is_string()) {
      const size_t n = v.get<std::string>().size();
      if (s.contains("minLength") && n < s["minLength"].get<size_t>()) fail(at, "too short");
      if (s.contains("maxLength") && n > s["maxLength"].get<size_t>()) fail(at, "too long");
    }
    if (v.is_array()) {
      if (s.contains("minItems") && v.size() < s["minItems"].get<size_t>()) fail(at, "too few items");
      if (s.contains("maxItems") && v.size() > s["maxItems"].get<size_t>()) fail(at, "too many items");
      if (s.contains("items")) {
        for (size_t i = 0; i < v.size(); ++i) check(s["items"], v[i], at + "/" + std::to_string(i));
      }
    }
    if (v.is_object()) {
      if (s.contains("required")) {
        for (const auto& key : s["required"]) {
          if (!v.contains(key.get<std::string>())) fail(at, "missing " + key.get<std::string>());
        }
      }
      const nlohmann::json none = nlohmann::json::object();
      const nlohmann::json& props = s.contains("properties") ? s["properties"] : none;
      for (const auto& [key, item] : v.items()) {
        if (props.contains(key)) {
          check(props[key], item, at + "/" + key);
        } else if (s.contains("additionalProperties") && s["additionalProperties"] == false) {
          fail(at, "unexpected member " + key);
        }
      }
    }
  }

  nlohmann::json root_;
  std::vector<std::string> problems_;
};

}  // namespace zorvel::test
