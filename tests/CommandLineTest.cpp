#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const fs::path& path) {
  std::ifstream input(path, std::ios::binary);
  std::ostringstream text;
  text << input.rdbuf();
  return text.str();
}

// Runs the morva tool with the given arguments in a scratch folder.
class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    _directory = fs::temp_directory_path() /
                 ("morva-command-" + std::to_string(getpid()) + "-" + test->name());
    fs::create_directories(_directory);
  }

  void TearDown() override { fs::remove_all(_directory); }

  std::string write(const std::string& name, const std::string& text) const {
    const fs::path path = _directory / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  Outcome run(const std::string& arguments) const {
    const fs::path out = _directory / "stdout.txt";
    const fs::path err = _directory / "stderr.txt";
    const std::string command = std::string("'") + MORVA_TOOL + "' " + arguments + " >'" +
                                out.string() + "' 2>'" + err.string() + "' </dev/null";
    Outcome result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    return result;
  }

  fs::path _directory;
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The output without the timer lines, whose durations change from run to
// run.
std::string withoutTimes(const std::string& text) {
  std::istringstream lines(text);
  std::string result;
  for (std::string line; std::getline(lines, line);)
    if (!contains(line, "Loading archive")) result += line + "\n";
  return result;
}

const std::string kPoles =
    "POLE clk None Primary\n"
    "POLE d None Primary\n"
    "POLE q None Primary\n"
    "POLE ff/CK Rising None\n"
    "POLE ff/D None None\n"
    "POLE ff/Q None None\n";

const std::string kEdges =
    "EDGE clk ff/CK Interconnect 10 20\n"
    "EDGE d ff/D Interconnect 5 6\n"
    "EDGE ff/D ff/CK SetupHold 7 8\n"
    "EDGE ff/CK ff/Q IOPath 50 60\n"
    "EDGE ff/Q q Interconnect 5 6\n"
    "CREATE_CLOCK clk -name sys -period 4000 -rising 0 -falling 2000\n"
    "SET_INPUT_DELAY -clock clk -max 700 -port d\n"
    "FALSE_PATH -from d -to ff/D\n"
    "MULTICYCLE_PATH 2 -from ff/CK -to ff/CK\n";

TEST_F(CommandLineTest, SummaryOfArchivesLoadedIntoOneAnalyzer) {
  // The second archive names poles that only the first declares.
  const std::string poles = write("poles.morva", kPoles);
  const std::string edges = write("edges.morva", kEdges);
  const Outcome result = run("'" + poles + "' '" + edges + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(contains(result.out, "Loading archive " + poles + "\n"));
  EXPECT_TRUE(contains(result.out, "Loading archive " + edges + "\n"));
  EXPECT_TRUE(contains(result.out, "| Main poles            | 6 |"));
  EXPECT_TRUE(contains(result.out, "| Dual poles            | 1 |"));
  EXPECT_TRUE(contains(result.out, "| SetupHold edges       | 1 |"));
  EXPECT_TRUE(contains(result.out, "| Interconnect edges    | 3 |"));
  EXPECT_TRUE(contains(result.out, "| sys   | clk  | 4.000ns |    0ps | 2.000ns | 250.000MHz |"));
  EXPECT_TRUE(contains(result.out, "| d    | input | sys   | Rising |     0ps |   700ps |"));
  EXPECT_TRUE(contains(result.out, "| False paths         | 1 |"));
  EXPECT_TRUE(contains(result.out, "| Multicycle paths    | 1 |"));
  EXPECT_TRUE(contains(result.out, "Clock groups: none"));
  // Details only with --stats.
  EXPECT_FALSE(contains(result.out, "Graph statistics"));
  EXPECT_FALSE(contains(result.out, "multicycle 2"));

  const Outcome detailed = run("--stats '" + poles + "' '" + edges + "'");
  EXPECT_EQ(detailed.status, 0);
  EXPECT_TRUE(contains(detailed.out, "Graph statistics"));
  EXPECT_TRUE(contains(detailed.out, "| multicycle 2 | ff/CK |         | ff/CK (dual) |"));
  EXPECT_TRUE(contains(detailed.out, "| Registers on rising edges     | 1 |"));
}

TEST_F(CommandLineTest, HelpVersionAndUsageErrors) {
  const Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(contains(help.out, "--stats"));
  EXPECT_TRUE(contains(help.out, "ARCHIVE"));
  EXPECT_TRUE(contains(help.out, "Exit status"));

  const Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(contains(version.out, "morva 1."));

  const Outcome none = run("");
  EXPECT_EQ(none.status, 1);
  EXPECT_FALSE(none.err.empty());
  EXPECT_FALSE(contains(none.out, "Summary"));

  const Outcome unknown = run("--frobnicate x.morva");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_FALSE(unknown.err.empty());
}

TEST_F(CommandLineTest, LoadFailuresExitWithStatusTwo) {
  const std::string good = write("good.morva", kPoles);
  const std::string bad = write("bad.morva", "CREATE_CLOCK clk -period 5\n");
  const Outcome failed = run("'" + good + "' '" + bad + "'");
  EXPECT_EQ(failed.status, 2);
  EXPECT_TRUE(
      contains(failed.err, "morva: " + bad + ": Null name! (at lib/Morva/Analyzer:createClock:"))
      << failed.err;
  EXPECT_TRUE(contains(failed.out, "Loading archive failed in "));
  EXPECT_FALSE(contains(failed.out, "Summary"));

  const std::string missing = (_directory / "missing.morva").string();
  const Outcome absent = run("'" + missing + "'");
  EXPECT_EQ(absent.status, 2);
  EXPECT_TRUE(
      contains(absent.err, "morva: " + missing + ": Invalid archive (at lib/Morva/Archive:load:"));
  EXPECT_EQ(absent.out, "");

  const Outcome folder = run("'" + _directory.string() + "'");
  EXPECT_EQ(folder.status, 2);
  EXPECT_TRUE(contains(folder.err, "Invalid archive"));

  // Console errors alone do not fail the load.
  const Outcome warned = run("'" + write("odd.morva", "POLE a\nNOTHING here\n") + "'");
  EXPECT_EQ(warned.status, 0);
  EXPECT_TRUE(contains(warned.out, "Error: Syntax error (line 1)"));
  EXPECT_TRUE(contains(warned.out, "Error: Unrecognized token NOTHING (line 2)"));
  EXPECT_TRUE(contains(warned.out, "Summary"));
}

TEST_F(CommandLineTest, CompressedExampleGivesTheSameSummary) {
  const fs::path examples = MORVA_EXAMPLES;
  const Outcome plain = run("--stats '" + (examples / "pipeline.morva").string() + "'");
  const Outcome packed = run("--stats '" + (examples / "pipeline.morva.gz").string() + "'");
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(packed.status, 0);
  EXPECT_TRUE(contains(plain.out, "Summary"));
  EXPECT_EQ(withoutTimes(plain.out), withoutTimes(packed.out));
}

}  // namespace
