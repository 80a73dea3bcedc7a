#include "tests/cli/schema_check.h"

namespace kalvex::cli::testing {

namespace {

using nlohmann::json;

bool HasType(const json& value, const std::string& type) {
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "string") return value.is_string();
  if (type == "integer") return value.is_number_integer();
  if (type == "number") return value.is_number();
  if (type == "boolean") return value.is_boolean();
  if (type == "null") return value.is_null();
  return false;
}

class Checker {
 public:
  explicit Checker(const json& root) : m_root(root) {}

  void Check(const json& value, const json& schema, const std::string& where) {
    if (schema.contains("$ref")) {
      const std::string ref = schema["$ref"];
      // Only "#/$defs/name" occurs.
      Check(value, m_root["$defs"][ref.substr(ref.rfind('/') + 1)], where);
      return;
    }
    if (schema.contains("type")) {
      const json& type = schema["type"];
      bool matches = false;
      if (type.is_string()) matches = HasType(value, type);
      for (const json& each : type.is_array() ? type : json::array()) matches |= HasType(value, each);
      if (!matches) return Fail(where, "not of type " + type.dump());
    }
    if (schema.contains("const") && value != schema["const"])
      return Fail(where, "not " + schema["const"].dump());
    if (schema.contains("enum")) {
      bool listed = false;
      for (const json& option : schema["enum"]) listed |= value == option;
      if (!listed) return Fail(where, value.dump() + " not one of " + schema["enum"].dump());
    }
    if (value.is_object()) CheckObject(value, schema, where);
    if (value.is_array() && schema.contains("items")) {
      for (size_t i = 0; i < value.size(); ++i)
        Check(value[i], schema["items"], where + "/" + std::to_string(i));
    }
  }

  std::vector<std::string> violations;

 private:
  void CheckObject(const json& value, const json& schema, const std::string& where) {
    for (const json& name : schema.value("required", json::array())) {
      if (!value.contains(name.get<std::string>())) Fail(where, "lacks " + name.dump());
    }
    const json properties = schema.value("properties", json::object());
    for (const auto& [name, member] : value.items()) {
      if (properties.contains(name))
        Check(member, properties[name], where + "/" + name);
      else if (schema.value("additionalProperties", true) == false)
        Fail(where, "has " + name + ", which is not documented");
    }
  }

  void Fail(const std::string& where, const std::string& what) {
    violations.push_back((where.empty() ? "/" : where) + ": " + what);
  }

  const json& m_root;
};

}  // namespace

std::vector<std::string> SchemaViolations(const nlohmann::json& value,
                                          const nlohmann::json& schema) {
  Checker checker(schema);
  checker.Check(value, schema, "");
  return checker.violations;
}

}  // namespace kalvex::cli::testing
