// The design readers: Verilog and SDF constructs on small hand-written
// files, registers from timing checks, .bench netlists, the shared ISCAS
// circuits against a longest-path computation of their own, garbage in,
// and the command line (direct analysis and through morva-import).
#include "Support.h"

#include <Importer.h>
#include <Message.h>
#include <Morva/Domain.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace {

using Support::Outcome;
using Support::TempDir;

const std::string kShared = MORVA_BENCHMARK_DATA;

struct ExpectedEdge {
  std::string source;
  std::string target;
  Morva::Purpose::Code purpose;
  int minimum;
  int maximum;
};

class ImportTest : public Support::AnalyzerFixture {
 protected:
  // Reads the files and builds them into the analyzer.
  void import(const std::vector<std::string>& files,
              const MorvaImport::ImportOptions& options = {}) {
    MorvaImport::Importer importer(options);
    for (const std::string& file : files) importer.read(file, MorvaImport::detectKind(file));
    importer.build();
  }

  static std::size_t countEdges() {
    std::size_t count = 0;
    for (Morva::Pole* pole : Morva::analyzer->getMainPoles())
      count += pole->getOutgoingEdgeSet().size();
    return count;
  }

  // The edges, and with `complete` no other.
  static void expectEdges(const std::vector<ExpectedEdge>& edges, bool complete = true) {
    for (const ExpectedEdge& expected : edges) {
      SCOPED_TRACE(expected.source + " -> " + expected.target);
      Morva::Pole* source = Morva::analyzer->getMainPole(expected.source);
      const bool control = expected.purpose == Morva::Purpose::SetupHold ||
                           expected.purpose == Morva::Purpose::RecoveryRemoval;
      Morva::Pole* target = control ? Morva::analyzer->getDualPole(expected.target)
                                    : Morva::analyzer->getMainPole(expected.target);
      ASSERT_TRUE(source && target);
      const Morva::Edge* edge = source->getOutgoingEdge(target);
      ASSERT_TRUE(edge);
      EXPECT_EQ(edge->getPurpose().getCode(), expected.purpose);
      EXPECT_EQ(edge->getMinimumDelay().getValue(), expected.minimum);
      EXPECT_EQ(edge->getMaximumDelay().getValue(), expected.maximum);
    }
    EXPECT_EQ(countEdges(), complete ? edges.size() : countEdges());
  }

  // The analysis's longest and shortest route delays: the route of the
  // worst slack of each subdomain, the one route kept.
  static std::pair<int, int> getWorstDelays() {
    Morva::analyzer->createDomains();
    Morva::analyzer->achieveConstrainedPaths();
    Morva::analyzer->launch(Morva::analyzer->getDomains(), false, false, true, true, 1,
                            Morva::Delay::getMaximum(), Morva::Delay::getMaximum());
    int longest = 0, shortest = 1 << 30;
    for (Morva::Domain* domain : Morva::analyzer->getDomains())
      for (Morva::Subdomain* subdomain : domain->getSubdomains()) {
        for (Morva::Route* route : subdomain->getLongestRouteSet())
          longest = std::max(longest, route->getDataDelay().getValue());
        for (Morva::Route* route : subdomain->getShortestRouteSet())
          shortest = std::min(shortest, route->getDataDelay().getValue());
      }
    return {longest, shortest};
  }
};

const char* kHierarchy = R"(// hierarchy, buses, assigns, constants, escaped names
module sub (a, y);
  input a;
  output y;
  INV u (.A(a), .Y(y));
endmodule

module top (in, out, \esc[0] );
  input [1:0] in;
  output [1:0] out;
  output \esc[0] ;
  wire n;
  sub s1 (in[1], n);
  AND2 g (.A(n), .B(1'b1), .Y(out[1]));
  assign out[0] = in[0];
  assign \esc[0] = n;
endmodule
)";

const char* kHierarchyDelays = R"((DELAYFILE (SDFVERSION "3.0") (DIVIDER /) (TIMESCALE 10ps)
 (CELL (CELLTYPE "INV") (INSTANCE s1/u) (DELAY (ABSOLUTE (IOPATH A Y (1:2:3) (4:5:6)))))
 (CELL (CELLTYPE "AND2") (INSTANCE g)
  (DELAY (ABSOLUTE (COND A (IOPATH B Y (2))) (IOPATH (posedge A) Y (::7) (-1::)) (PORT A (1:1:2))
                   (DEVICE Y (3)))
         (INCREMENT (IOPATH A Y (1)))))
 (CELL (CELLTYPE "top") (INSTANCE)
  (DELAY (ABSOLUTE (NETDELAY n (0.2:0.3:0.4)) (INTERCONNECT s1/u/Y g/A (0.5:1:1.5)))))
)
)";

TEST_F(ImportTest, VerilogAndSdfConstructs) {
  const TempDir folder("import");
  const std::string netlist = folder.writeFile("top.v", kHierarchy);
  const std::string delays = folder.writeFile("top.sdf", kHierarchyDelays);
  Support::ConsoleCapture console;
  import({netlist, delays});
  using P = Morva::Purpose;
  // 10ps units; (::7) and (-1::) take their one field for both bounds;
  // entries on one arc (PORT, DEVICE, NETDELAY, INTERCONNECT) keep the worst
  // of each bound; the increment adds 10ps to both; the constant input B
  // has no wire.
  expectEdges({{"s1/u/A", "s1/u/Y", P::IOPath, 10, 60},
               {"g/A", "g/Y", P::IOPath, 0, 80},
               {"g/B", "g/Y", P::IOPath, 20, 30},
               {"s1/u/Y", "g/A", P::Interconnect, 2, 20},
               {"s1/u/Y", "esc[0]", P::Interconnect, 2, 4},
               {"in[1]", "s1/u/A", P::Interconnect, 0, 0},
               {"in[0]", "out[0]", P::Interconnect, 0, 0},
               {"g/Y", "out[1]", P::Interconnect, 0, 0}});
  for (const char* port : {"in[1]", "in[0]", "out[1]", "out[0]", "esc[0]"})
    EXPECT_EQ(Morva::analyzer->getMainPole(port)->getType().getCode(), Morva::Type::Primary)
        << port;
  EXPECT_EQ(Morva::analyzer->getMainPoleRegistry().size(), 10u);

  // The typical corner takes the middle fields: (2, 5) in units of 10ps.
  Morva::analyzer->destroy();
  Morva::Analyzer::create();
  MorvaImport::ImportOptions typical;
  typical.corner = MorvaImport::Corner::Typical;
  import({netlist, delays}, typical);
  const Morva::Edge* edge = Morva::analyzer->getMainPole("s1/u/A")->getOutgoingEdge(
      Morva::analyzer->getMainPole("s1/u/Y"));
  EXPECT_EQ(edge->getMinimumDelay().getValue(), 20);
  EXPECT_EQ(edge->getMaximumDelay().getValue(), 50);
}

// The netlist of examples/import: two registers and an inverter.
const std::string kRegisters = std::string(MORVA_EXAMPLES) + "/import/pipe.v";

const char* kRegisterDelays = R"((DELAYFILE (TIMESCALE 1ps)
 (CELL (CELLTYPE "DFFR") (INSTANCE *)
  (DELAY (ABSOLUTE (IOPATH (negedge CK) Q (100:120:140))))
  (TIMINGCHECK (SETUPHOLD D (negedge CK) (30) (-5)) (RECREM RN (negedge CK) (40) (10))
               (WIDTH (negedge CK) (50)) (WIDTH (posedge CK) (50)) (PERIOD CK (300))))
 (CELL (CELLTYPE "INV") (INSTANCE u1) (DELAY (ABSOLUTE (IOPATH A Y (50:55:60)))))
)
)";

TEST_F(ImportTest, TimingChecksMakeRegisters) {
  const TempDir folder("import");
  const std::string delays = folder.writeFile("pipe.sdf", kRegisterDelays);
  Support::ConsoleCapture console;
  import({kRegisters, delays});
  for (const char* clock : {"r1/CK", "r2/CK"}) {
    EXPECT_EQ(Morva::analyzer->getMainPole(clock)->getMode().getCode(), Morva::Mode::Falling)
        << clock;
    EXPECT_TRUE(Morva::analyzer->getDualPole(clock)) << clock;
  }
  using P = Morva::Purpose;
  expectEdges({{"r1/CK", "r1/Q", P::IOPath, 100, 140},
               {"r2/CK", "r2/Q", P::IOPath, 100, 140},
               {"r1/D", "r1/CK", P::SetupHold, -5, 30},
               {"r2/D", "r2/CK", P::SetupHold, -5, 30},
               {"r1/RN", "r1/CK", P::RecoveryRemoval, 10, 40},
               {"r2/RN", "r2/CK", P::RecoveryRemoval, 10, 40},
               {"u1/A", "u1/Y", P::IOPath, 50, 60},
               {"clk", "r1/CK", P::Interconnect, 0, 0},
               {"clk", "r2/CK", P::Interconnect, 0, 0},
               {"rn", "r1/RN", P::Interconnect, 0, 0},
               {"rn", "r2/RN", P::Interconnect, 0, 0},
               {"d", "r1/D", P::Interconnect, 0, 0},
               {"r1/Q", "u1/A", P::Interconnect, 0, 0},
               {"u1/Y", "r2/D", P::Interconnect, 0, 0},
               {"r2/Q", "q", P::Interconnect, 0, 0}});
  EXPECT_NE(console.text().find(delays + ":5: 2 WIDTH entries ignored"), std::string::npos)
      << console.text();
  EXPECT_NE(console.text().find(delays + ":5: 1 PERIOD entries ignored"), std::string::npos)
      << console.text();

  // Clocked on the falling edge at 500ps of a 1ns period: r1 to r2 leaves
  // at 500 + 140 + 60 = 700 against 1500 - 30 (setup slack 770), and at
  // 500 + 100 + 50 = 650 against 500 - 5 (hold slack 155).
  Morva::analyzer->createClock(Morva::analyzer->getMainPole("clk"), "clk", 1000, 0, 500);
  Morva::analyzer->createDomains();
  Morva::analyzer->achieveConstrainedPaths();
  Morva::analyzer->launch(Morva::analyzer->getDomains(), false, false, true, true, 10,
                          Morva::Delay::getMaximum(), Morva::Delay::getMaximum());
  bool found = false;
  for (Morva::Domain* domain : Morva::analyzer->getDomains())
    for (Morva::Subdomain* subdomain : domain->getSubdomains())
      for (Morva::Route* route : subdomain->getLongestRouteSet())
        if (route->getSource()->getName() == "r1/CK" && route->getTarget()->getName() == "r2/CK") {
          found = true;
          EXPECT_EQ(route->getSlack().getValue(), 770);
          for (Morva::Route* hold : subdomain->getShortestRouteSet())
            if (hold->getSource()->getName() == "r1/CK") {
              EXPECT_EQ(hold->getSlack().getValue(), 155);
            }
        }
  EXPECT_TRUE(found);
}

TEST_F(ImportTest, BenchS27ByHand) {
  const std::string file = kShared + "/iscas89/s27.bench";
  MorvaImport::ImportOptions options;
  options.bench.model = MorvaImport::BenchOptions::Model::Fanout;
  options.bench.period = 4000;
  import({file}, options);
  Morva::Pole* clock = Morva::analyzer->getMainPole("clock");
  ASSERT_TRUE(clock && Morva::analyzer->hasWave(clock));
  EXPECT_EQ(Morva::analyzer->getWave(clock).getPeriod().getValue(), 4000);
  // 4 inputs, 1 output, the clock; 3 flip-flops of 3 pins; 10 gates
  // (2 with one input, 8 with two: 18 input pins, 10 outputs).
  EXPECT_EQ(Morva::analyzer->getMainPoleRegistry().size(), 6u + 9u + 28u);
  using P = Morva::Purpose;
  // G11 drives G17, G10 and G6: 100 + 2 * 25 under the fanout model; G14
  // drives G8 and G10.
  expectEdges({{"G11/A1", "G11/Y", P::IOPath, 150, 150},
               {"G14/A0", "G14/Y", P::IOPath, 125, 125},
               {"G5/CK", "G5/Q", P::IOPath, 100, 100},
               {"G10/Y", "G5/D", P::Interconnect, 0, 0},
               {"G5/D", "G5/CK", P::SetupHold, 0, 0},
               {"clock", "G7/CK", P::Interconnect, 0, 0},
               {"G0", "G14/A0", P::Interconnect, 0, 0},
               {"G17/Y", "G17", P::Interconnect, 0, 0}},
              false);
  EXPECT_EQ(Morva::analyzer->getMainPole("G5/CK")->getMode().getCode(), Morva::Mode::Rising);
}

// An independent reading of a shared circuit: connections from the
// netlist's `.PIN(NET)` lists, arcs from the SDF's IOPATH and INTERCONNECT
// lines; then the longest (maximum fields) and shortest (minimum fields)
// port-to-port delays by relaxation in topological order.
std::pair<int, int> getReferenceDelays(const std::string& name) {
  std::ifstream verilog(kShared + "/iscas85-sdf/" + name + "_synth.v");
  std::ifstream sdf(kShared + "/iscas85-sdf/" + name + "_synth.sdf");
  std::map<std::string, std::vector<std::pair<std::string, std::string>>>
      pinsOfNet;  // net: (instance, pin)
  std::set<std::string> inputs, outputs;
  for (std::string statement; std::getline(verilog, statement, ';');) {
    std::replace_if(
        statement.begin(), statement.end(), [](char c) { return c == '\n' || c == ','; }, ' ');
    std::istringstream words(statement);
    std::string first, second;
    words >> first >> second;
    if (first == "input" || first == "output") {
      for (std::string port = second; !port.empty(); port.clear(), words >> port)
        (first == "input" ? inputs : outputs).insert(port);
    } else if (statement.find(".") != std::string::npos) {
      for (std::size_t dot = statement.find('.'); dot != std::string::npos;
           dot = statement.find('.', dot + 1)) {
        const std::size_t open = statement.find('(', dot), close = statement.find(')', dot);
        pinsOfNet[Support::trim(statement.substr(open + 1, close - open - 1))].emplace_back(
            second, Support::trim(statement.substr(dot + 1, open - dot - 1)));
      }
    }
  }
  struct Arc {
    std::string to;
    double minimum, maximum;
  };
  std::map<std::string, std::vector<Arc>> arcs;
  std::set<std::string> outputPins;
  std::map<std::pair<std::string, std::string>, std::pair<double, double>> wires;
  std::string instance;
  for (std::string line; std::getline(sdf, line);) {
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '(' || c == ')'; }, ' ');
    std::istringstream words(line);
    std::string keyword, from, to;
    words >> keyword;
    if (keyword == "INSTANCE") words >> instance;
    if (keyword != "IOPATH" && keyword != "INTERCONNECT") continue;
    words >> from >> to;
    if (from == "posedge" || from == "negedge") from = to, words >> to;
    if (keyword == "IOPATH") from = instance + "/" + from, to = instance + "/" + to;
    double low = 1e9, high = -1e9;
    for (std::string triple; words >> triple;) {
      double a = 0, b = 0, c = 0;
      EXPECT_EQ(std::sscanf(triple.c_str(), "%lf:%lf:%lf", &a, &b, &c), 3) << triple;
      low = std::min(low, std::round(a * 1000));
      high = std::max(high, std::round(c * 1000));
    }
    if (keyword == "IOPATH") {
      outputPins.insert(to);
      arcs[from].push_back({to, low, high});
    } else {
      wires[{from, to}] = {low, high};
    }
  }
  // Nets: from the driver (an input port or an output pin) to every load.
  for (const auto& [net, pins] : pinsOfNet) {
    std::vector<std::string> loads, drivers;
    if (inputs.count(net)) drivers.push_back(net);
    if (outputs.count(net)) loads.push_back(net);
    for (const auto& [cell, pin] : pins)
      (outputPins.count(cell + "/" + pin) ? drivers : loads).push_back(cell + "/" + pin);
    for (const std::string& driver : drivers)
      for (const std::string& load : loads) {
        const auto given = wires.find({driver, load});
        const auto delay = given == wires.end() ? std::make_pair(0.0, 0.0) : given->second;
        arcs[driver].push_back({load, delay.first, delay.second});
      }
  }
  std::map<std::string, int> incoming;
  for (const auto& [from, list] : arcs)
    for (const Arc& arc : list) ++incoming[arc.to];
  std::map<std::string, std::pair<double, double>> arrival;
  std::vector<std::string> ready(inputs.begin(), inputs.end());
  for (const std::string& input : inputs) arrival[input] = {0, 0};
  while (!ready.empty()) {
    const std::string pin = ready.back();
    ready.pop_back();
    for (const Arc& arc : arcs[pin]) {
      auto [low, high] = arrival[pin];
      auto& next = arrival.try_emplace(arc.to, 1e18, -1e18).first->second;
      next.first = std::min(next.first, low + arc.minimum);
      next.second = std::max(next.second, high + arc.maximum);
      if (--incoming[arc.to] == 0) ready.push_back(arc.to);
    }
  }
  double longest = 0, shortest = 1e18;
  for (const std::string& output : outputs) {
    longest = std::max(longest, arrival[output].second);
    shortest = std::min(shortest, arrival[output].first);
  }
  return {static_cast<int>(longest), static_cast<int>(shortest)};
}

class SharedCircuitTest : public ImportTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SharedCircuitTest, WorstDelaysMatchAnIndependentLongestPath) {
  const std::string name = GetParam();
  const std::string base = kShared + "/iscas85-sdf/" + name + "_synth";
  Support::ConsoleCapture console;
  import({base + ".v", base + ".sdf"});
  const std::pair<int, int> reference = getReferenceDelays(name);
  EXPECT_GT(reference.first, 0);
  EXPECT_EQ(getWorstDelays(), reference);
}

INSTANTIATE_TEST_SUITE_P(Iscas85, SharedCircuitTest,
                         ::testing::Values("c17", "c432", "c880", "c6288", "c7552"));

TEST_F(ImportTest, PositionalConnectionsFollowThePinOrder) {
  const TempDir folder("import");
  const std::string netlist = folder.writeFile(
      "p.v",
      "module p (a, y);\n input a;\n output y;\n INV u1 (a, n);\n INV u2 (n, y);\nendmodule\n");
  const std::string delays = folder.writeFile(
      "p.sdf",
      "(DELAYFILE (TIMESCALE 1ps)\n (CELL (CELLTYPE \"INV\") (INSTANCE *) (DELAY (ABSOLUTE "
      "(IOPATH A Y (5))))))");
  MorvaImport::ImportOptions options;
  options.pinOrderFile = folder.writeFile("pins", "# cell pins\nINV A Y  # input first\n");
  import({netlist, delays}, options);
  using P = Morva::Purpose;
  expectEdges({{"a", "u1/A", P::Interconnect, 0, 0},
               {"u1/A", "u1/Y", P::IOPath, 5, 5},
               {"u1/Y", "u2/A", P::Interconnect, 0, 0},
               {"u2/A", "u2/Y", P::IOPath, 5, 5},
               {"u2/Y", "y", P::Interconnect, 0, 0}});
  const std::pair<const char*, std::string> faults[] = {
      {"", netlist + ":4: positional connections to cell INV need its pin order (--pin-order)"},
      {"INV A\n", netlist + ":4: too many connections to cell INV: its pin order has 1 pins"},
      {"INV A Y\n\nINV Y A\n", folder.path().string() + "/pins:3: cell INV given twice"},
      {"INV A A\n", folder.path().string() + "/pins:1: pin \"A\" of INV given twice"},
  };
  for (const auto& [order, message] : faults) {
    Morva::analyzer->destroy();
    Morva::Analyzer::create();
    options.pinOrderFile = *order ? folder.writeFile("pins", order) : "";
    try {
      import({netlist, delays}, options);
      ADD_FAILURE() << order << ": no error";
    } catch (const MorvaImport::ReadError& error) {
      EXPECT_EQ(error.getRecord().str(), message);
    }
  }
}

struct Garbage {
  const char* name;
  const char* text;
  std::size_t line;
  const char* message;
};

TEST_F(ImportTest, GarbageGivesFileAndLine) {
  const TempDir folder("import");
  const Garbage cases[] = {
      {"open.v", "module m (a);\n input a;\n INV u (.A(a)\nendmodule\n", 4,
       "expected \")\", found \"endmodule\""},
      {"range.v", "module m;\n wire [3:x] w;\nendmodule\n", 2, "expected an integer, found \"x\""},
      {"comment.v", "\n/* never closed\nmodule m;", 2, "comment or attribute not closed"},
      {"behaviour.v", "module m;\n always @(x) y = x;\nendmodule\n", 2,
       "behavioural Verilog is not read; give a gate-level netlist, found \"always\""},
      {"triple.sdf",
       "(DELAYFILE\n(CELL (CELLTYPE \"A\") (INSTANCE u)\n (DELAY (ABSOLUTE (IOPATH A Y "
       "(1:2:3:4))))))",
       3, "bad delay value \"1:2:3:4\""},
      {"scale.sdf", "(DELAYFILE (TIMESCALE 3ns))", 1, "bad time scale \"3ns\""},
      {"unclosed.sdf", "(DELAYFILE\n(CELL\n", 2, "\"(\" not closed"},
      {"word.sdf",
       "(DELAYFILE\n (CELL (CELLTYPE \"A\") (INSTANCE u) (DELAY (ABSOLUTE (WIRE a b (1))))))", 2,
       "unexpected \"WIRE\""},
      {"gate.bench", "INPUT(a)\nb = FOO(a)\n", 2, "unknown gate \"FOO\""},
      {"driven.bench", "INPUT(a)\nOUTPUT(c)\n", 2, "output \"c\" is never driven"},
      {"twice.bench", "INPUT(a)\nb = NOT(a)\nb = BUF(a)\n", 3, "signal \"b\" defined twice"},
  };
  for (const Garbage& garbage : cases) {
    const std::string file = folder.writeFile(garbage.name, garbage.text);
    try {
      MorvaImport::Importer importer({});
      importer.read(file, MorvaImport::detectKind(file));
      ADD_FAILURE() << garbage.name << ": no error";
    } catch (const MorvaImport::ReadError& error) {
      EXPECT_EQ(error.getRecord().str(),
                file + ":" + std::to_string(garbage.line) + ": " + garbage.message);
    }
  }
}

// The command line: exit status and message of bad input, and the same
// reports from the design files and from the archive morva-import writes.
using ImportCommandTest = Support::CommandFixture;

TEST_F(ImportCommandTest, DirectAndThroughAnArchiveAgree) {
  const auto morva = [this](const std::string& arguments) { return run(MORVA_TOOL, arguments); };
  const auto import = [this](const std::string& arguments) {
    return run(MORVA_IMPORT_TOOL, arguments).status;
  };
  const std::string bad = write("bad.v", "module m (a);\n input a\nendmodule\n");
  const Outcome failed = morva("-q " + bad);
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(failed.err, "morva: " + bad + ":3: expected \";\", found \"endmodule\"\n");
  const std::string sdc = write("c.sdc", "create_clock -period 1 clk\n");
  const Outcome alone = morva("-q " + sdc);
  EXPECT_EQ(alone.status, 2);
  EXPECT_EQ(alone.err, "morva: " + sdc +
                           ": SDC constraints need a design: a Verilog netlist with its SDF, a "
                           ".bench netlist or an archive\n");

  const std::string base = kShared + "/iscas85-sdf/c880_synth";
  ASSERT_EQ(import(base + ".v " + base + ".sdf -o c880.morva.gz"), 0);
  const Outcome direct = morva("-q " + base + ".v " + base + ".sdf");
  ASSERT_EQ(direct.status, 0);
  EXPECT_GT(direct.out.size(), 1000u);
  EXPECT_EQ(direct.out, morva("-q c880.morva.gz").out);

  // The registers of examples/import with their clock archive: the slacks
  // worked out in docs/import.md (setup 760ps, hold 163ps), by both routes.
  const std::string example = std::string(MORVA_EXAMPLES) + "/import/";
  ASSERT_EQ(import(example + "pipe.v " + example + "pipe.sdf -o pipe.morva"), 0);
  const Outcome designs =
      morva("-q -c " + example + "pipe.v " + example + "pipe.sdf " + example + "clock.morva");
  ASSERT_EQ(designs.status, 0);
  // The direct run also warns about the SDF's WIDTH check, first.
  const std::string warning =
      "Warning: " + example +
      "pipe.sdf:11: 1 WIDTH entries ignored (not part of the timing model)\n";
  ASSERT_EQ(designs.out.substr(0, warning.size()), warning);
  EXPECT_EQ(designs.out.substr(warning.size()),
            morva("-q -c pipe.morva " + example + "clock.morva").out);
  EXPECT_TRUE(Support::contains(
      designs.out, "| 760ps | 210ps |  0ps |      3 | LONGEST-ROUTE[r1/CK...r2/CK] |"));
  EXPECT_TRUE(Support::contains(
      designs.out, "| 163ps | 158ps |  0ps |      3 | SHORTEST-ROUTE[r1/CK...r2/CK] |"));
}

}  // namespace
