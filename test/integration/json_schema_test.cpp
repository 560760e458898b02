// BASE.json and BASE.compare.json of real runs held to their schemas in doc/schema/ by
// python3-jsonschema: a single run of every test, a repeated run (samples and evidence), a
// core-profile run whose values carry GL errors, a run in which every test failed (its
// rates zero), and the gate over all of them. A file broken in a field fails and names it.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

// Runs the validator on the files; returns its exit status and its lines in 'out'.
int validate(const std::string& schema, const std::vector<std::string>& files, std::string& out) {
  std::string command = "python3 '" CORVALIS_VALIDATE_JSON "' '" CORVALIS_SCHEMA_DIR "/" + schema +
                        ".schema.json'";
  for (const std::string& file : files) command += " '" + file + "'";
  return shellCommand(command + " 2>&1", &out);
}

TEST(JsonSchemas, RealRunsAndTheirGateFollowTheirSchemas) {
  const std::map<std::string, std::string> noDriver = {{"LIBGL_DRIVERS_PATH", "/nonexistent"},
                                                       {"GALLIUM_DRIVER", "nonexistent"},
                                                       {"EGL_PLATFORM", "surfaceless"}};
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int status;
  } runs[] = {
      {"single", {}, {}, 0},
      {"repeat", {"--tests", "fillrate,texcache,tiling", "--repeat", "2"}, {}, 0},
      {"core", {"--tests", "fillrate,tiling"}, {{"MESA_GL_VERSION_OVERRIDE", "3.1FC"}}, 0},
      {"failed", {"--tests", "readback,texcache,tiling"}, noDriver, 3},
  };
  const std::string folder = makeTempFolder();
  std::vector<std::string> reports, documents;
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    std::vector<std::string> args = {"-64x48", "--output", run.name};
    args.insert(args.end(), run.args.begin(), run.args.end());
    const RunResult r = runCorvalis(args, run.env, folder);
    EXPECT_EQ(r.exitStatus, run.status) << r.err;
    reports.push_back(folder + "/" + run.name + ".txt");
    documents.push_back(folder + "/" + run.name + ".json");
  }
  std::string out;
  EXPECT_EQ(validate("corvalis-run", documents, out), 0) << out;
  // What the runs were made to show is there to be validated.
  const nlohmann::json repeat = nlohmann::json::parse(readBytes(documents[1]));
  EXPECT_TRUE(repeat.contains("evidence")) << out;
  EXPECT_TRUE(contains(readBytes(documents[3]), "\"text\": \"no window\"")) << out;

  // The gate of the later runs against the first: slower, changed and failed values, keys
  // of only some runs, notes; and a run against itself, which passes.
  std::vector<std::string> args = {"--compare"};
  args.insert(args.end(), reports.begin(), reports.end());
  args.insert(args.end(), {"--fail-on-regression", "5", "--output", "fail"});
  RunResult r = runCorvalis(args, {}, folder);
  EXPECT_EQ(r.exitStatus, 4) << r.out << r.err;
  r = runCorvalis({"--compare", reports[1], reports[1], "--fail-on-regression", "5", "--output",
                   "pass"}, {}, folder);
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  out.clear();
  EXPECT_EQ(validate("corvalis-compare", {folder + "/fail.compare.json", folder + "/pass.compare.json"},
                     out), 0) << out;

  // A run's file with a rate that is no number and without its format version fails,
  // and each field is named.
  nlohmann::json broken = nlohmann::json::parse(readBytes(documents[0]));
  broken["values"]["Fillrate:32:Col"]["value"] = "fast";
  broken.erase("formatVersion");
  ASSERT_TRUE(corvalis::testing::writeBytes(folder + "/broken.json", broken.dump(2)));
  out.clear();
  EXPECT_EQ(validate("corvalis-run", {folder + "/broken.json"}, out), 1) << out;
  EXPECT_TRUE(contains(out, "/values/Fillrate:32:Col/value: 'fast' is not of type 'number'")) << out;
  EXPECT_TRUE(contains(out, "'formatVersion' is a required property")) << out;
}

}  // namespace
