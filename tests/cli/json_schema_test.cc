// Every result kalvex-cli writes has the documented form: one run of each
// outcome that a test can bring about, each checked against the schema that
// docs/json.md describes, and the checker itself held to a few wrong values.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/cli/schema_check.h"

namespace kalvex::cli::testing {
namespace {

using nlohmann::json;

json Schema() { return json::parse(ReadFile(KALVEX_SOURCE_DIR "/docs/result.schema.json")); }

std::string Violations(const json& value) {
  std::string all;
  for (const std::string& v : SchemaViolations(value, Schema())) all += v + "\n";
  return all;
}

TEST(JsonSchemaTest, EveryOutcomeHasTheDocumentedForm) {
  TempDir dir, results;
  auto run = [&](std::vector<std::string> args, const ProcessOptions& options = {}) {
    const std::string path = results.File("r.json");
    std::remove(path.c_str());
    args.insert(args.end(), {"--json", path});
    const CliRun done = RunCli(args, options);
    return json::parse(ReadFile(path));
  };

  const json ok = run({"test", dir.path(), "--size", "2"});
  EXPECT_EQ(ok["outcome"], "ok");
  EXPECT_EQ(ok["schema_version"], 2);
  EXPECT_EQ(ok["command"], "test");
  EXPECT_EQ(ok["target"], dir.path());
  EXPECT_EQ(ok["passes"].size(), 1u);
  EXPECT_EQ(Violations(ok), "");

  // One sector overwritten with zeros: faulty, in the pass and in the whole.
  WriteWord(dir.File("1.kvx"), kMiB + 8, 0);
  const json faulty = run({"verify", dir.path()});
  EXPECT_EQ(faulty["outcome"], "faulty");
  EXPECT_EQ(faulty["passes"][0]["sectors"]["slightly_changed"].get<int>() +
                faulty["passes"][0]["sectors"]["corrupted"].get<int>(),
            1);
  EXPECT_EQ(faulty["passes"][0]["first_error"], faulty["first_error"]);
  EXPECT_EQ(Violations(faulty), "");

  const json refused = run({"test", dir.path(), "--size", "1"});
  EXPECT_EQ(refused["outcome"], "refused");
  EXPECT_EQ(Violations(refused), "");

  TempDir other;
  ProcessOptions limited;
  limited.file_size_limit = kMiB + kMiB / 2;
  const json error = run({"test", other.path(), "--size", "3"}, limited);
  EXPECT_EQ(error["outcome"], "error");
  EXPECT_EQ(error["error_detail"]["kind"], "write");
  EXPECT_EQ(Violations(error), "");
}

TEST(JsonSchemaTest, TheCheckerFindsWhatDoesNotConform) {
  const json schema = Schema();
  json value = {{"schema_version", 2},   {"program_version", "1"}, {"command", "test"},
                {"target", "/t"},        {"started_at", "x"},      {"finished_at", "y"},
                {"outcome", "refused"}, {"error", "no"}};
  EXPECT_EQ(Violations(value), "");
  value["outcome"] = "fine";
  value["surprise"] = 1;
  value["sectors"] = {{"ok", "many"}};
  value.erase("target");
  const std::vector<std::string> found = SchemaViolations(value, schema);
  // outcome, surprise, target, and in sectors a string for a count and four missing
  EXPECT_EQ(found.size(), 8u) << Violations(value);
}

}  // namespace
}  // namespace kalvex::cli::testing
