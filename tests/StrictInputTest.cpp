#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Orvek/Console.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>
#include <nlohmann/json.hpp>
#include "Support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Support::contains;
using Support::Outcome;
using Support::readFile;

// ---- The loader's listener --------------------------------------------------------

struct Note {
  std::uint64_t line;
  std::string kind;
  bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Note& note) {
  return out << note.line << ":" << note.kind;
}

class Recorder : public Morva::ArchiveListener {
 public:
  void rejected(std::uint64_t line, const std::string& kind, const std::string&) override {
    notes.push_back({line, "rejected " + kind});
  }
  void misread(std::uint64_t line, const std::string& kind, const std::string&) override {
    notes.push_back({line, "misread " + kind});
  }
  void stopped(std::uint64_t line, const std::string& text) override {
    notes.push_back({line, "stopped " + text});
  }
  std::vector<Note> notes;
};

class StrictInputTest : public Support::AnalyzerFixture {
 protected:
  std::string write(const std::string& name, const std::string& text) const {
    return _directory.writeFile(name, text);
  }
  Support::TempDir _directory{"morva-strict"};
};

const std::string kPorts = "POLE clk None Primary\nPOLE a None Primary\nPOLE b None Primary\n";

TEST_F(StrictInputTest, ListenerHearsEveryRejectedAndMisreadLine) {
  const std::string longComment = "#" + std::string(3000, 'x') + "\n";
  const struct {
    std::string text;
    std::vector<Note> notes;
  } cases[] = {
      {"POLE a Risng Primary\nPOLE b None Primry\n", {{1, "misread mode"}, {2, "misread type"}}},
      {kPorts + "EDGE a b SetupHld 1 2\nEDGE a b Interconnect 1.5 99999999999\n",
       {{4, "misread purpose"}, {5, "misread delay"}, {5, "misread delay"}}},
      {kPorts +
           "FALSE_PATH -from a ghost -to b\nSET_INPUT_DELAY -clock clk -max 3 -port a nobody\n",
       {{4, "misread unknown-name"}, {5, "misread unknown-name"}}},
      {kPorts + "CREATE_CLOCK clk -name c -period 0\n", {{4, "misread period"}}},
      {kPorts + "CREATE_CLOCK clk -name c -period -5\n", {{4, "misread period"}}},
      {"POLE a None Primary\r\nPOLE b None None\r\n",
       {{1, "misread carriage-return"}, {1, "misread type"}, {2, "misread type"}}},
      // The rest of a long comment is read as a record of its own.
      {longComment + "POLE a None Primary\n",
       {{2, "misread long-line"}, {2, "rejected unrecognized"}}},
      {"NOTHING\nPOLE a\n", {{1, "rejected unrecognized"}, {2, "rejected syntax"}}},
      {kPorts + "EDGE ghost b Interconnect 1 2\n",
       {{4, "rejected unknown-pole"}, {4, "stopped EDGE ghost b Interconnect 1 2"}}},
      {kPorts + "MULTICYCLE_PATH 1 -from a -to b\n",
       {{4, "rejected cycle-count"}, {4, "stopped MULTICYCLE_PATH 1 -from a -to b"}}},
      {"POLE a None Primary\n\nCREATE_CLOCK a -period 5\n",
       {{3, "rejected syntax"}, {3, "stopped CREATE_CLOCK a -period 5"}}},
      // Correct lines are heard of only when a load fails.
      {kPorts + "CREATE_CLOCK clk -name c -period 10 -rising 0 -falling 5\n", {}},
  };
  for (const auto& entry : cases) {
    const std::string file = write("design.morva", entry.text);
    // What the console shows does not depend on listening.
    std::string quiet;
    std::string heard;
    Recorder recorder;
    for (const bool listening : {false, true}) {
      Morva::analyzer->destroy();
      Morva::Analyzer::create();
      Support::ConsoleCapture console;
      Morva::Archive archive(file);
      if (listening) archive.setListener(&recorder);
      try {
        archive.load();
      } catch (...) {
      }
      // The loader's own messages; timers and the failure dump change from
      // load to load.
      std::istringstream lines(console.text());
      std::string& messages = listening ? heard : quiet;
      for (std::string line; std::getline(lines, line);)
        if (line.find("Error: ") != std::string::npos ||
            line.find("Warning: ") != std::string::npos)
          messages += line + "\n";
    }
    EXPECT_EQ(recorder.notes, entry.notes) << entry.text;
    EXPECT_EQ(heard, quiet) << entry.text;
  }
}

// ---- The command line ------------------------------------------------------------

std::size_t countLines(const std::string& text) {
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines;
}

std::string getGzip(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size())) + 32;
  std::string packed(size, '\0');
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  stream.avail_out = static_cast<uInt>(size);
  deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

const std::string kPipeline = std::string(MORVA_EXAMPLES) + "/pipeline.morva";

class StrictCommandTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) const {
    return _directory.writeFile(name, text);
  }
  std::string place(const std::string& name) const { return (_directory.path() / name).string(); }

  // Runs the tool through the shell: `arguments` may redirect its input.
  Outcome run(const std::string& arguments) const {
    return Support::runShell(
        "cd '" + _directory.path().string() + "' && { '" + MORVA_TOOL + "' " + arguments + "; }",
        _directory.path());
  }

  Support::TempDir _directory{"morva-strict-command"};
};

TEST_F(StrictCommandTest, BadInputFailsWithItsPlace) {
  std::string pipeline = readFile(kPipeline);
  pipeline.replace(pipeline.find("SetupHold 15 60"), 9, "SetupHld");
  write("misspelt.morva", pipeline);
  std::string noise(200000, '\0');
  std::uint32_t seed = 1;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245U + 12345U) >> 24);
  write("noise.bin", noise);
  write("broken.gz", getGzip(readFile(kPipeline)).substr(0, 200) + std::string(300, 'z'));
  write("clock.morva", "POLE clk None Primary\nCREATE_CLOCK clk -period 5\n");
  write("late.morva", "POLE clk None Primary\nEDGE clk nowhere Interconnect 1 2\n");
  fs::create_directory(_directory.path() / "folder");
  ASSERT_EQ(mkfifo(place("fifo").c_str(), 0600), 0);

  const struct {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"misspelt.morva", 2,
       "misspelt.morva:71: Unknown purpose \"SetupHld\", read as Interconnect\n"},
      {"misspelt.morva", 2, "misspelt.morva: 0 lines rejected, 1 line misread\n"},
      {"--lenient misspelt.morva", 0, "misspelt.morva:71: Unknown purpose"},
      {"noise.bin", 2, "morva: noise.bin: binary data (NUL bytes), not a timing archive\n"},
      {"broken.gz", 2, "morva: broken.gz: unreadable gzip stream"},
      {"missing.morva", 2, "morva: missing.morva: no such file\n"},
      {"folder", 2, "morva: folder: is a directory, not an archive\n"},
      {"fifo", 2, "morva: fifo: not a regular file (a FIFO)\n"},
      {"clock.morva", 2, "morva: clock.morva:2: Null name! (at lib/Morva/Analyzer:createClock:"},
      {"clock.morva", 2, " in \"CREATE_CLOCK clk -period 5\"\n"},
      {"late.morva", 2, "late.morva:2: Null target: no pole named nowhere\n"},
      {"- < noise.bin", 2, "morva: standard input: binary data"},
  };
  for (const auto& entry : cases) {
    const Outcome outcome = run("-q --no-routes " + entry.arguments);
    EXPECT_EQ(outcome.status, entry.status) << entry.arguments << "\n" << outcome.err;
    EXPECT_TRUE(contains(outcome.err, entry.message)) << entry.arguments << "\n" << outcome.err;
  }
  // Binary input stops at once: one message, nothing on standard output.
  const Outcome noisy = run("noise.bin");
  EXPECT_EQ(countLines(noisy.err), 1U) << noisy.err;
  EXPECT_EQ(noisy.out, "");
}

TEST_F(StrictCommandTest, FloodsAreCountedNotPrinted) {
  std::string text;
  for (int line = 0; line < 20000; ++line) text += "BOGUS record\nPOLE lonely\n";
  const std::string file = write("flood.morva.gz", getGzip(text));
  ASSERT_LT(fs::file_size(file), 100000U);
  const Outcome outcome = run("--no-routes --json - flood.morva.gz");
  EXPECT_EQ(outcome.status, 2);
  // 20 of each kind, two counts and one summary line, beside the console's
  // own few lines (on standard error with the JSON on standard output).
  std::istringstream lines(outcome.err);
  std::size_t shown = 0;
  for (std::string line; std::getline(lines, line);) shown += line.starts_with("flood.morva.gz");
  EXPECT_EQ(shown, 43U) << outcome.err;
  EXPECT_LT(countLines(outcome.err), 50U) << outcome.err;
  EXPECT_TRUE(
      contains(outcome.err, "flood.morva.gz: 19980 more \"unrecognized\" messages not shown\n"));
  EXPECT_TRUE(contains(outcome.err, "flood.morva.gz: 40000 lines rejected, 0 lines misread\n"));
  EXPECT_FALSE(contains(outcome.err, "Error:"));
  const json input = json::parse(outcome.out).at("input");
  EXPECT_EQ(input, json::parse(R"([{"archive": "flood.morva.gz", "rejected": 40000, "misread": 0,
                                    "kinds": {"syntax": 20000, "unrecognized": 20000}}])"));
}

TEST_F(StrictCommandTest, StandardInputReadsPlainAndCompressed) {
  write("pipeline.morva.gz", getGzip(readFile(kPipeline)));
  const Outcome file = run("-q '" + kPipeline + "'");
  ASSERT_EQ(file.status, 0) << file.err;
  for (const std::string& input :
       {"cat '" + kPipeline + "' | ", std::string("cat pipeline.morva.gz | ")}) {
    const std::string command = "cd '" + _directory.path().string() + "' && " + input + "'" +
                                MORVA_TOOL + "' -q - > piped.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << input;
    EXPECT_EQ(readFile(_directory.path() / "piped.txt"), file.out) << input;
  }
  const Outcome json = run("-q --no-routes --json - - < '" + kPipeline + "'");
  EXPECT_EQ(json::parse(json.out).at("input").at(0).at("archive"), "standard input");
}

TEST_F(StrictCommandTest, EveryExampleTagsItsSlacks) {
  for (const auto& entry : fs::directory_iterator(MORVA_EXAMPLES)) {
    if (!entry.is_regular_file()) continue;
    const Outcome outcome = run("-q --tag-slacks --weights '" + entry.path().string() + "'");
    EXPECT_EQ(outcome.status, 0) << entry.path() << "\n" << outcome.err;
    // Nothing but the notes on the rules.
    std::istringstream lines(outcome.err);
    for (std::string line; std::getline(lines, line);)
      EXPECT_TRUE(line.starts_with("note: ")) << entry.path() << ": " << line;
  }
}

TEST_F(StrictCommandTest, JsonOutputKeepsWhatIsThere) {
  const std::string arguments = " '" + kPipeline + "'";
  // A private file stays private.
  write("private.json", "old");
  ASSERT_EQ(chmod(place("private.json").c_str(), 0600), 0);
  EXPECT_EQ(run("-q --no-routes --json private.json" + arguments).status, 0);
  struct stat status {};
  ASSERT_EQ(stat(place("private.json").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600U);
  EXPECT_EQ(json::parse(readFile(place("private.json"))).at("format"), "morva-analysis");

  // A link stays a link; its target gets the document.
  fs::create_directory(_directory.path() / "real");
  fs::create_symlink("real/target.json", _directory.path() / "link.json");
  EXPECT_EQ(run("-q --no-routes --json link.json" + arguments).status, 0);
  EXPECT_TRUE(fs::is_symlink(_directory.path() / "link.json"));
  EXPECT_EQ(json::parse(readFile(place("real/target.json"))).at("format"), "morva-analysis");

  // A FIFO is written in place.
  ASSERT_EQ(mkfifo(place("fifo").c_str(), 0600), 0);
  const Outcome piped =
      run("-q --no-routes --json fifo" + arguments + " & cat fifo > read.json; wait");
  EXPECT_TRUE(fs::is_fifo(_directory.path() / "fifo"));
  EXPECT_EQ(json::parse(readFile(place("read.json"))).at("format"), "morva-analysis");

  // A missing directory fails before anything is loaded; nothing is left.
  const std::vector<std::string> before = {"fifo", "link.json", "private.json", "read.json",
                                           "real"};
  const Outcome nowhere = run("-q --json missing/result.json" + arguments);
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_EQ(nowhere.out, "");
  EXPECT_TRUE(
      contains(nowhere.err, "morva: JSON output: missing/result.json: no directory missing\n"))
      << nowhere.err;
  std::vector<std::string> after;
  for (const auto& entry : fs::directory_iterator(_directory.path()))
    if (!entry.path().filename().string().starts_with("std"))
      after.push_back(entry.path().filename());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
}

}  // namespace
