// Checks a JSON value against a JSON Schema, as far as the result schema of
// kalvex-cli uses it: type (one or several), const, enum, properties,
// required, additionalProperties: false, items and local $ref. Enough to
// hold every result the program writes to its documented form.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kalvex::cli::testing {

// The places where value breaks schema ("/sectors/ok: not an integer");
// empty when it conforms.
std::vector<std::string> SchemaViolations(const nlohmann::json& value,
                                          const nlohmann::json& schema);

}  // namespace kalvex::cli::testing
