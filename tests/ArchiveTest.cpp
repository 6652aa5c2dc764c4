#include <Morva/Archive.h>
#include <Morva/DPath.h>
#include <Morva/MPath.h>

#include "Support.h"

#include <cstdint>
#include <map>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Morva::analyzer;
using Morva::Archive;
using Morva::Pole;

// Every test gets a fresh analyzer, a captured console and a scratch folder
// for the archives it writes.
class ArchiveTest : public Support::AnalyzerFixture {
 protected:
  std::string write(const std::string& name, const std::string& text) const {
    return _directory.writeFile(name, text);
  }

  void load(const std::string& text) { Archive(write("design.morva", text)).load(); }

  std::string output() const { return _console.text(); }
  bool printed(const std::string& text) const { return output().find(text) != std::string::npos; }
  int count(const std::string& text) const {
    int found = 0;
    const std::string all = output();
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++found;
    return found;
  }

  // The message a load of `record` (on line 2) stops with, or "accepted".
  std::string message(const std::string& record) const {
    try {
      Archive(write("record.morva", "# one record\n" + record + "\n")).load();
    } catch (const Orvek::InvalidRequest& failure) {
      return failure.getMessage();
    }
    return "accepted";
  }

  static Pole* main(const std::string& name) { return analyzer->getMainPole(name); }
  static Pole* dual(const std::string& name) { return analyzer->getDualPole(name); }

  Support::ConsoleCapture _console;
  Support::TempDir _directory{"morva-archive"};
};

std::string getNames(const Morva::PoleSet& poles) {
  std::string names;
  for (Pole* pole : poles) names += " " + pole->getName() + (pole->isDual() ? "'" : "");
  return names;
}

// Three registers clocked by one port, with an input and an output port;
// used by the tests of the records that need an existing design.
const std::string kDesign =
    "POLE clk None Primary\n"
    "POLE in None Primary\n"
    "POLE out None Primary\n"
    "POLE r1/CK Rising None\n"
    "POLE r1/D None None\n"
    "POLE r1/Q None None\n"
    "POLE r2/CK Falling None\n"
    "POLE r2/D None None\n"
    "EDGE clk r1/CK Interconnect 10 20\n"
    "EDGE clk r2/CK Interconnect 10 20\n"
    "EDGE in r1/D Interconnect 5 7\n"
    "EDGE r1/D r1/CK SetupHold 30 40\n"
    "EDGE r1/CK r1/Q IOPath 100 120\n"
    "EDGE r1/Q r2/D Interconnect 3 4\n"
    "EDGE r2/D r2/CK SetupHold 25 35\n"
    "EDGE r1/Q out Interconnect 6 8\n";

TEST_F(ArchiveTest, PoleRecords) {
  load(
      "POLE a Rising Primary # the clock port\n"
      "POLE b None Primary\n"
      "POLE \t c   None\tNone \t  \n"
      "POLE d None ClockSource shown more\n"
      "POLE e None None short\n"
      "POLE f Rising\n"
      "POLE g Sideways Unknown\n");
  ASSERT_NE(main("a"), nullptr);
  EXPECT_EQ(main("a")->getMode().getCode(), Morva::Mode::Rising);
  EXPECT_EQ(main("a")->getType().getCode(), Morva::Type::Primary);
  ASSERT_NE(dual("a"), nullptr);
  EXPECT_EQ(dual("a")->getMode().getCode(), Morva::Mode::None);
  EXPECT_TRUE(dual("a")->isDual());
  EXPECT_EQ(main("a")->getDual(), dual("a"));

  // Not a clock pole: no dual pole.
  ASSERT_NE(main("b"), nullptr);
  EXPECT_EQ(dual("b"), nullptr);
  // Tabs, runs of blanks and trailing blanks only separate words.
  ASSERT_NE(main("c"), nullptr);
  EXPECT_EQ(main("c")->getType().getCode(), Morva::Type::None);
  // Six words: reported, then built without a report name.
  EXPECT_TRUE(printed("Error: Syntax error (line 4)\n"));
  ASSERT_NE(main("d"), nullptr);
  EXPECT_EQ(main("d")->getType().getCode(), Morva::Type::ClockSource);
  EXPECT_EQ(main("d")->getReportName(), "d");
  // Five words: the fifth is the report name.
  ASSERT_NE(main("e"), nullptr);
  EXPECT_EQ(main("e")->getReportName(), "short");
  // Too few words: reported and skipped, the load goes on.
  EXPECT_TRUE(printed("Error: Syntax error (line 6)\n"));
  EXPECT_EQ(main("f"), nullptr);
  // Unknown names give the defaults without a message.
  ASSERT_NE(main("g"), nullptr);
  EXPECT_EQ(main("g")->getMode().getCode(), Morva::Mode::None);
  EXPECT_EQ(main("g")->getType().getCode(), Morva::Type::None);
  EXPECT_EQ(count("Error: "), 2);
  EXPECT_EQ(analyzer->getMainPoleRegistry().size(), 6U);
  EXPECT_EQ(analyzer->getDualPoleRegistry().size(), 1U);
}

TEST_F(ArchiveTest, EdgeRecords) {
  load(kDesign +
       "EDGE r1/Q r2/D IOPath 1.5 9\n"      // line 17: a second edge between the same poles
       "EDGE in r2/D Interconnect 1\n"      // line 18: too few words
       "EDGE in r2/D Interconnect 1 2 3\n"  // line 19: one too many
       "EDGE in r2/CK RecoveryRemoval 11 12\n");
  // Timing checks end at the dual pole, other edges at the main pole.
  Morva::Edge* check = main("r1/D")->getOutgoingEdge(dual("r1/CK"));
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(check->isSetupHold());
  EXPECT_EQ(int(check->getMinimumDelay()), 30);
  EXPECT_EQ(int(check->getMaximumDelay()), 40);
  EXPECT_EQ(main("r1/D")->getOutgoingEdge(main("r1/CK")), nullptr);
  Morva::Edge* wire = main("clk")->getOutgoingEdge(main("r1/CK"));
  ASSERT_NE(wire, nullptr);
  EXPECT_TRUE(wire->isInterconnect());
  EXPECT_EQ(main("clk")->getOutgoingEdge(dual("r1/CK")), nullptr);
  Morva::Edge* recovery = main("in")->getOutgoingEdge(dual("r2/CK"));
  ASSERT_NE(recovery, nullptr);
  EXPECT_TRUE(recovery->isRecoveryRemoval());

  // A delay that is no integer is undefined, without a message.
  bool found = false;
  for (Morva::Edge* edge : main("r1/Q")->getOutgoingEdgeSet()) {
    if (!edge->isIOPath()) continue;
    found = true;
    EXPECT_EQ(edge->getMinimumDelay(), Morva::Delay::getUndefined());
    EXPECT_EQ(int(edge->getMaximumDelay()), 9);
  }
  EXPECT_TRUE(found);

  EXPECT_TRUE(printed("Error: Syntax error (line 18)\n"));
  EXPECT_TRUE(printed("Error: Syntax error (line 19)\n"));
  EXPECT_EQ(count("Error: "), 2);
  // The line with seven words is still built from its first six.
  Morva::Edge* extra = main("in")->getOutgoingEdge(main("r2/D"));
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(int(extra->getMaximumDelay()), 2);
}

// Past 65,536 poles the reader looks records up ahead of reading them, in
// a registry that grows meanwhile (past 98,304 poles): every edge must
// still join the poles its line names, checks at the dual side, each list
// in the order of the lines.
TEST_F(ArchiveTest, EdgesReadAheadJoinTheirListsInLineOrder) {
  constexpr int kPoles = 100000;
  constexpr int kRegisters = 64;
  std::string text;
  for (int index = 0; index < kRegisters; ++index)
    text += "POLE r" + std::to_string(index) + " Rising None\n";
  for (int index = 0; index < kPoles; ++index)
    text += "POLE p" + std::to_string(index) + " None None\n";
  // Far-apart poles, as a netlist written from a real design names them,
  // and a pole declared among the edges. The minimum delays grow line by
  // line.
  std::vector<std::pair<std::string, std::string>> lines;
  std::uint32_t state = 1;
  const auto next = [&state](int range) {
    state = state * 1664525U + 1013904223U;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(range));
  };
  for (int index = 0; index < 3000; ++index) {
    const bool check = index % 5 == 0;
    std::string source = "p" + std::to_string(next(kPoles));
    std::string target =
        check ? "r" + std::to_string(next(kRegisters)) : "p" + std::to_string(next(kPoles));
    if (index == 1000) {
      text += "POLE late None None\n";
      source = "late";
    }
    if (source == target) continue;
    lines.emplace_back(source, target);
    text += "EDGE " + source + " " + target + (check ? " SetupHold " : " Interconnect ") +
            std::to_string(index) + " " + std::to_string(index + 1) + "\n";
  }
  load(text);
  EXPECT_EQ(count("Error: "), 0);
  std::map<Pole*, std::vector<Morva::Edge*>> outgoing;
  std::map<Pole*, std::vector<Morva::Edge*>> incoming;
  int minimum = -1;
  for (const auto& [sourceName, targetName] : lines) {
    Pole* source = main(sourceName);
    Pole* target = targetName[0] == 'r' ? dual(targetName) : main(targetName);
    ASSERT_NE(source, nullptr) << sourceName;
    ASSERT_NE(target, nullptr) << targetName;
    // The source's next edge is this line's.
    const auto& list = source->getOutgoingEdgeSet();
    const std::size_t known = outgoing[source].size();
    ASSERT_GT(list.size(), known) << sourceName;
    Morva::Edge* edge = *std::next(list.begin(), static_cast<std::ptrdiff_t>(known));
    outgoing[source].push_back(edge);
    EXPECT_EQ(edge->getTarget(), target);
    EXPECT_GT(int(edge->getMinimumDelay()), minimum);
    minimum = int(edge->getMinimumDelay());
    incoming[target].push_back(edge);
  }
  for (const auto& [pole, edges] : incoming) {
    std::vector<Morva::Edge*> listed;
    for (Morva::Edge* edge : pole->getIncomingEdgeSet()) listed.push_back(edge);
    EXPECT_EQ(listed, edges) << pole->getName();
  }
  for (const auto& [pole, edges] : outgoing)
    EXPECT_EQ(pole->getOutgoingEdgeSet().size(), edges.size()) << pole->getName();
}

TEST_F(ArchiveTest, ClockRecords) {
  load(kDesign +
       "CREATE_CLOCK clk main -period 1000 -rising 0 -falling 500\n"  // line 17
       "POLE gen None None\n"
       "CREATE_CLOCK gen -falling 40 -name g1 -period 90 -name g2 -rising 10\n"
       "CREATE_CLOCK in slow -period 2000\n"  // line 20: five words
       "CREATE_CLOCK\n");                     // line 21: the keyword alone
  Pole* clk = main("clk");
  ASSERT_TRUE(analyzer->hasWave(clk));
  const Morva::Wave& wave = analyzer->getWave(clk);
  EXPECT_EQ(wave.getName(), "main");
  EXPECT_EQ(int(wave.getPeriod()), 1000);
  EXPECT_EQ(int(wave.getRising()), 0);
  EXPECT_EQ(int(wave.getFalling()), 500);
  // A primary port keeps its type and is found by its own and its clock name.
  EXPECT_EQ(clk->getType().getCode(), Morva::Type::Primary);
  EXPECT_EQ(analyzer->getClockRoot("main"), clk);
  EXPECT_EQ(analyzer->getClockRoot("clk"), clk);
  EXPECT_EQ(clk->getReportName(), "main");

  // Options in any order; the last value of an option wins; a pole of type
  // None becomes a clock source.
  Pole* gen = main("gen");
  const Morva::Wave& generated = analyzer->getWave(gen);
  EXPECT_EQ(generated.getName(), "g2");
  EXPECT_EQ(int(generated.getPeriod()), 90);
  EXPECT_EQ(int(generated.getRising()), 10);
  EXPECT_EQ(int(generated.getFalling()), 40);
  EXPECT_EQ(gen->getType().getCode(), Morva::Type::ClockSource);
  EXPECT_EQ(analyzer->getClockRoot("g1"), nullptr);

  EXPECT_TRUE(printed("Error: Syntax error (line 20)\n"));
  EXPECT_EQ(analyzer->getWave(main("in")).getName(), "slow");
  EXPECT_TRUE(printed("Error: Syntax error (line 21)\n"));
  EXPECT_EQ(count("Error: "), 2);
  EXPECT_EQ(analyzer->getClockNameMap().size(), 3U);
}

TEST_F(ArchiveTest, PathRecords) {
  load(kDesign +
       "FALSE_PATH -from in -through r1/D nothing -to r2/CK\n"  // line 17
       "FALSE_PATH -through r1/Q\n"
       "MULTICYCLE_PATH 3 -from r1/CK -to r2/CK r2/D\n"
       "MAXIMUM_DELAY_PATH 800 -from in -to out\n"  // line 20
       "MINIMUM_DELAY_PATH -50 r1/CK -to r2/CK r2/CK\n"
       "MULTICYCLE_PATH -2 -from r1/CK -to r2/CK\n"  // line 22: negative count
       "MULTICYCLE_PATH\n"                           // line 23
       "MAXIMUM_DELAY_PATH\n"                        // line 24
       "FALSE_PATH r1/Q\n");                         // line 25: two words
  ASSERT_EQ(analyzer->getFalsePaths().getCount(), 3UL);
  Morva::FPath* first = analyzer->getFalsePaths().getFirst();
  EXPECT_EQ(getNames(first->getSourceSet()), " in");
  EXPECT_EQ(getNames(first->getBridgeSet()), " r1/D");
  // False path targets stay as written, even a clock pole.
  EXPECT_EQ(getNames(first->getTargetSet()), " r2/CK");
  EXPECT_TRUE(analyzer->getFalsePaths().getLast()->isInsulated());
  EXPECT_EQ(getNames(analyzer->getFalsePaths().getLast()->getSourceSet()), " r1/Q");

  ASSERT_EQ(analyzer->getMulticyclePaths().getCount(), 1UL);
  Morva::MPath* multicycle = analyzer->getMulticyclePaths().getFirst();
  EXPECT_EQ(multicycle->getCycleCount(), 3UL);
  EXPECT_EQ(getNames(multicycle->getSourceSet()), " r1/CK");
  // A clock pole target becomes its data side; a name given twice counts once.
  EXPECT_EQ(getNames(multicycle->getTargetSet()), " r2/CK' r2/D");

  ASSERT_EQ(analyzer->getMaxdelayPaths().getCount(), 1UL);
  EXPECT_EQ(int(analyzer->getMaxdelayPaths().getFirst()->getDelay()), 800);
  ASSERT_EQ(analyzer->getMindelayPaths().getCount(), 1UL);
  Morva::DPath* minimum = analyzer->getMindelayPaths().getFirst();
  EXPECT_EQ(int(minimum->getDelay()), -50);
  EXPECT_EQ(getNames(minimum->getSourceSet()), " r1/CK");
  EXPECT_EQ(getNames(minimum->getTargetSet()), " r2/CK'");

  EXPECT_TRUE(printed("Error: Invalid cycle count (line 22)\n"));
  EXPECT_TRUE(printed("Error: Syntax error (line 23)\n"));
  EXPECT_TRUE(printed("Error: Syntax error (line 24)\n"));
  EXPECT_TRUE(printed("Error: Syntax error (line 25)\n"));
  EXPECT_EQ(count("Error: "), 4);
  EXPECT_FALSE(printed("Loading archive failed"));
  // The load's own messages sit one step in, under its heading.
  EXPECT_TRUE(printed("\n  Loading archive succeed in "));
}

TEST_F(ArchiveTest, ClockGroupRecords) {
  const std::string clocks = kDesign +
                             "POLE pll None ClockSource\n"
                             "POLE osc None None\n"
                             "CREATE_CLOCK clk fast -period 1000 -rising 0 -falling 500\n"
                             "CREATE_CLOCK osc slow -period 3000 -rising 0 -falling 1500\n";
  load(clocks +
       "CREATE_CLOCK_GROUPS -group fast -group slow pll\n"  // line 21
       "CREATE_CLOCK_GROUPS -exclusive -asynchronous -group osc -group clk unknown\n");
  // Exclusive unless told otherwise; the smaller group gives the keys.
  const auto& exclusive = analyzer->getExclusivePoleSetMap();
  ASSERT_EQ(exclusive.size(), 1U);
  EXPECT_EQ(exclusive.begin()->first, main("clk"));
  EXPECT_EQ(getNames(exclusive.begin()->second), " pll osc");
  // The last of -exclusive and -asynchronous wins.
  const auto& asynchronous = analyzer->getAsynchronousPoleSetMap();
  ASSERT_EQ(asynchronous.size(), 1U);
  EXPECT_EQ(asynchronous.begin()->first, main("osc"));
  EXPECT_EQ(getNames(asynchronous.begin()->second), " clk");
  EXPECT_TRUE(printed("Warning: \"unknown\" could not be matched with a clock\n"));
  EXPECT_FALSE(printed("Error: "));

  EXPECT_EQ(message("CREATE_CLOCK_GROUPS fast -group slow -group pll"), "Null clock group count");
  EXPECT_EQ(message("CREATE_CLOCK_GROUPS -group fast -group slow -group pll"),
            "Too many clock groups");
  // A third group of unknown names only warns.
  EXPECT_EQ(message("CREATE_CLOCK_GROUPS -group fast -group slow -group gone"), "accepted");
  _console.clear();
  EXPECT_EQ(message("CREATE_CLOCK_GROUPS -group fast -group missing"), "Empty clock group(s)");
  EXPECT_TRUE(printed("Warning: \"missing\" could not be matched with a clock\n"));
  EXPECT_EQ(message("CREATE_CLOCK_GROUPS -group fast -group"), "Empty clock group(s)");
  EXPECT_TRUE(printed("Error: Syntax error (line 2)\n"));
}

TEST_F(ArchiveTest, InputAndOutputDelayRecords) {
  load(kDesign +
       "POLE in2 None Primary\n"
       "SET_INPUT_DELAY -clock clk -max 3 -port in in2\n"  // line 18
       "SET_OUTPUT_DELAY -fall -min -20 -max 150 -clock r1/D -port out ghost\n"
       "SET_INPUT_DELAY -clock clk -min 1 -port\n");  // line 20: six words, no port
  for (const char* name : {"in", "in2"}) {
    Morva::IOConstraint constraint;
    ASSERT_TRUE(analyzer->hasInputConstraint(main(name), constraint)) << name;
    EXPECT_EQ(constraint.getClockRoot(), main("clk"));
    EXPECT_EQ(constraint.getMode().getCode(), Morva::Mode::Rising);
    EXPECT_EQ(int(constraint.getMinimum()), 0);
    EXPECT_EQ(int(constraint.getMaximum()), 3);
  }
  // The clock of an IO delay is any main pole of that name.
  const Morva::IOConstraint& output = analyzer->getOutputConstraint(main("out"));
  EXPECT_EQ(output.getClockRoot(), main("r1/D"));
  EXPECT_EQ(output.getMode().getCode(), Morva::Mode::Falling);
  EXPECT_EQ(int(output.getMinimum()), -20);
  EXPECT_EQ(int(output.getMaximum()), 150);
  EXPECT_EQ(analyzer->getOutputDelays().size(), 1U);
  EXPECT_EQ(analyzer->getInputDelays().size(), 2U);
  EXPECT_TRUE(printed("Error: Syntax error (line 20)\n"));
  EXPECT_EQ(count("Error: "), 1);

  EXPECT_EQ(message("SET_INPUT_DELAY -max 3 -port in -clock nothing"), "Null clock");
  EXPECT_TRUE(printed("Error: Invalid Request (line 2)\n"));
  EXPECT_EQ(message("SET_INPUT_DELAY -clock clk -max 9 -port in"), "Input delay already exists");
  EXPECT_EQ(int(analyzer->getInputConstraint(main("in")).getMaximum()), 3);
  EXPECT_EQ(message("SET_INPUT_DELAY -clock clk -max 9 -port out"), "Not an input port");
  EXPECT_EQ(message("SET_OUTPUT_DELAY -clock clk -max 9 -port r1/Q"), "Not an output port");
  EXPECT_EQ(message("POLE out2 None Primary\nEDGE r1/Q out2 Interconnect 1 1\n"
                    "SET_OUTPUT_DELAY -clock clk -max 1.5 -port out2"),
            "Undefined IOConstraint");
}

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

const std::string kPorts = "POLE clk None Primary\nPOLE a None Primary\nPOLE b None Primary\n";

TEST_F(ArchiveTest, ListenerHearsEveryRejectedAndMisreadLine) {
  const std::string longComment = "#" + std::string(3000, 'x') + "\n";
  std::string edges;
  for (int count = 0; count < 10; ++count) edges += "EDGE a b Interconnect 1 2\n";
  // Records are read ahead once the design has this many poles: the cases
  // that check reading ahead come after as many filler poles, and their
  // line numbers count from the end of the filler.
  constexpr std::uint64_t kFiller = 1 << 16;
  std::string filler;
  for (std::uint64_t count = 0; count < kFiller; ++count)
    filler += "POLE f" + std::to_string(count) + " None None\n";
  const struct {
    std::string text;
    std::vector<Note> notes;
    bool ahead = false;
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
      // Records read ahead are still heard of in line order, around the
      // other records and what is told of a line's piece.
      {kPorts + "EDGE a b Interconnect 1 2\nEDGE a b SetupHld 1 2\nEDGE a b Interconnect 1 2\n" +
           "POLE c Risng Primary\nEDGE a c Interconnect x 2\nPOLE d None Nne\n",
       {{5, "misread purpose"}, {7, "misread mode"}, {8, "misread delay"}, {9, "misread type"}},
       true},
      {kPorts + "EDGE a b Interconnect 1 2\nEDGE ghost b Interconnect 1 2\n" +
           "EDGE a b Interconnect 1 2\r\n",
       {{5, "rejected unknown-pole"}, {5, "stopped EDGE ghost b Interconnect 1 2"}},
       true},
      {kPorts + "EDGE a b Interconnect 1 2\nEDGE a b Interconnect 1 x\n" + longComment +
           "EDGE a ghost Interconnect 1 2\n",
       {{5, "misread delay"},
        {7, "misread long-line"},
        {7, "rejected unrecognized"},
        {8, "rejected unknown-pole"},
        {8, "stopped EDGE a ghost Interconnect 1 2"}},
       true},
      {kPorts + edges + edges + edges + edges + "EDGE a b Interconnect 1 y\n" + edges +
           "EDGE ghost b Interconnect 1 2\n",
       {{44, "misread delay"},
        {55, "rejected unknown-pole"},
        {55, "stopped EDGE ghost b Interconnect 1 2"}},
       true},
      // Correct lines are heard of only when a load fails.
      {kPorts + "CREATE_CLOCK clk -name c -period 10 -rising 0 -falling 5\n", {}},
  };
  for (const auto& entry : cases) {
    const std::string file = write("design.morva", (entry.ahead ? filler : "") + entry.text);
    std::vector<Note> expected = entry.notes;
    if (entry.ahead)
      for (Note& note : expected) note.line += kFiller;
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
    EXPECT_EQ(recorder.notes, expected) << entry.text;
    EXPECT_EQ(heard, quiet) << entry.text;
  }
}

}  // namespace
