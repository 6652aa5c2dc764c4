// The generator's designs (as the library loads them), the flat-array
// baseline and the measured subprocesses of the stage benchmark.

#include "DesignWriter.h"
#include "FlatGraph.h"
#include "Subprocess.h"

#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/Subdomain.h>
#include <Orvek/Console.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using MorvaBench::FlatGraph;

// The whole graph of the analyzer as arcs, poles numbered in map order.
std::vector<FlatGraph::Arc> getArcs(std::size_t& poleCount) {
  std::unordered_map<const Morva::Pole*, std::uint32_t> numbers;
  std::vector<const Morva::Pole*> poles;
  for (const Morva::Pole* pole : Morva::analyzer->getPoles()) {
    numbers[pole] = static_cast<std::uint32_t>(poles.size());
    poles.push_back(pole);
  }
  std::vector<FlatGraph::Arc> arcs;
  for (const Morva::Pole* pole : poles)
    for (const Morva::Edge* edge : pole->getOutgoingEdgeSet())
      arcs.push_back({numbers[edge->getSource()], numbers[edge->getTarget()],
                      static_cast<std::int32_t>(edge->getMinimumDelay()),
                      static_cast<std::int32_t>(edge->getMaximumDelay())});
  poleCount = poles.size();
  return arcs;
}

TEST(DesignWriter, DesignsLoadWithTheirStructure) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("morva-design-test-" + std::to_string(getpid()) + ".morva.gz");
  struct Case {
    unsigned clocks, depth, fanin;
    bool loops;
  };
  for (const Case& test :
       {Case{1, 10, 2, false}, Case{2, 4, 3, true}, Case{3, 1, 1, false}, Case{4, 12, 2, true}}) {
    SCOPED_TRACE("clocks " + std::to_string(test.clocks) + ", depth " + std::to_string(test.depth) +
                 ", fanin " + std::to_string(test.fanin) + (test.loops ? ", loops" : ""));
    MorvaBench::DesignOptions options;
    options.edges = 6000;
    options.seed = 42;
    options.clocks = test.clocks;
    options.depth = test.depth;
    options.fanin = test.fanin;
    options.loops = test.loops;
    const MorvaBench::DesignCounts counts =
        MorvaBench::DesignWriter(options).writeFile(file.string(), true);
    EXPECT_LT(counts.fileBytes, counts.textBytes);
    EXPECT_NEAR(static_cast<double>(counts.edges), 6000.0, 300.0);

    std::ostringstream console;
    Orvek::console.setOutput(console);
    Morva::Analyzer::create();
    Morva::Archive(file.string()).load();
    EXPECT_EQ(console.str().find("Error:"), std::string::npos) << console.str();

    // What the counts say was written is what the library holds: every
    // register adds its capture point as a dual pole.
    std::size_t poleCount = 0;
    const std::vector<FlatGraph::Arc> arcs = getArcs(poleCount);
    EXPECT_EQ(arcs.size(), counts.edges);
    EXPECT_EQ(poleCount, counts.poles + counts.registers);
    EXPECT_EQ(Morva::analyzer->getWaveMap().size(), test.clocks);

    // Nothing dangles: the only ends are output ports and capture points.
    // Only clock roots and input ports start paths.
    for (const Morva::Pole* pole : Morva::analyzer->getPoles()) {
      if (pole->isTerminal()) {
        EXPECT_TRUE(pole->isOutput() || pole->isDual()) << pole->getName();
      }
      const auto& inputs = pole->getIncomingEdgeSet();
      if (inputs.begin() == inputs.end()) {
        EXPECT_TRUE(pole->isInput() || pole->getType().getCode() == Morva::Type::ClockSource)
            << pole->getName();
      }
    }
    // Loops exactly when asked for.
    const FlatGraph graph(poleCount, arcs);
    EXPECT_EQ(graph.getDroppedCount() > 0, test.loops);

    // Every clock times paths to itself, on the rising edge at least.
    Morva::analyzer->createDomains();
    for (unsigned clock = 0; clock < test.clocks; ++clock) {
      const std::string name = "clk" + std::to_string(clock);
      const Morva::Domain* domain = Morva::analyzer->getDomain(name, name);
      ASSERT_NE(domain, nullptr) << name;
      EXPECT_NE(
          domain->getSubdomain(Morva::Mode(Morva::Mode::Rising), Morva::Mode(Morva::Mode::Rising)),
          nullptr)
          << name;
    }
    Morva::analyzer->achieveConstrainedPaths();
    Morva::analyzer->launch(Morva::analyzer->getDomains(), false, false, true, true, 5,
                            Morva::Delay::getMaximum(), Morva::Delay::getMaximum());
    EXPECT_EQ(console.str().find("Error:"), std::string::npos) << console.str();
    Morva::analyzer->destroy();
  }
  std::filesystem::remove(file);
}

// Arrival and required times against a plain relaxation over every arc
// until nothing changes (a DAG, so it ends), on random graphs; a cycle
// loses exactly the arc that closes it.
TEST(FlatGraph, PropagatesLikeRelaxationAndDropsLoopClosers) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const std::size_t poles = 2 + random() % 60;
    // Arcs from a lower to a higher number in a shuffled numbering: a DAG
    // whose topological order is not the numbering.
    std::vector<std::uint32_t> rank(poles);
    for (std::uint32_t index = 0; index < poles; ++index) rank[index] = index;
    std::shuffle(rank.begin(), rank.end(), random);
    std::vector<FlatGraph::Arc> arcs;
    for (std::size_t arc = 0, count = random() % (3 * poles); arc < count; ++arc) {
      std::uint32_t a = random() % poles, b = random() % poles;
      if (a == b) continue;
      if (a > b) std::swap(a, b);
      const std::int32_t minimum = static_cast<std::int32_t>(random() % 50);
      arcs.push_back(
          {rank[a], rank[b], minimum, minimum + static_cast<std::int32_t>(random() % 50)});
    }
    FlatGraph graph(poles, arcs);
    ASSERT_EQ(graph.getDroppedCount(), 0U);
    ASSERT_EQ(graph.getArcCount(), arcs.size());

    constexpr std::int32_t high = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t low = std::numeric_limits<std::int32_t>::min();
    std::vector<bool> hasInput(poles, false), hasOutput(poles, false);
    for (const auto& arc : arcs) {
      hasInput[arc.target] = true;
      hasOutput[arc.source] = true;
    }
    std::vector<std::int32_t> early(poles), late(poles), earlyRequired(poles), lateRequired(poles);
    for (std::size_t pole = 0; pole < poles; ++pole) {
      early[pole] = hasInput[pole] ? high : 0;
      late[pole] = hasInput[pole] ? low : 0;
      lateRequired[pole] = hasOutput[pole] ? high : 1000;
      earlyRequired[pole] = hasOutput[pole] ? low : 0;
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (const auto& arc : arcs) {
        const auto relax = [&changed](std::int32_t& value, std::int32_t candidate, bool lower) {
          if (lower ? candidate < value : candidate > value) {
            value = candidate;
            changed = true;
          }
        };
        if (early[arc.source] != high)
          relax(early[arc.target], early[arc.source] + arc.minimum, true);
        if (late[arc.source] != low) relax(late[arc.target], late[arc.source] + arc.maximum, false);
        if (lateRequired[arc.target] != high)
          relax(lateRequired[arc.source], lateRequired[arc.target] - arc.maximum, true);
        if (earlyRequired[arc.target] != low)
          relax(earlyRequired[arc.source], earlyRequired[arc.target] - arc.minimum, false);
      }
    }
    std::int64_t arrivals = 0, slacks = 0;
    for (std::size_t pole = 0; pole < poles; ++pole) {
      arrivals += late[pole] - early[pole];
      slacks += std::min(lateRequired[pole] - late[pole], early[pole] - earlyRequired[pole]);
    }
    EXPECT_EQ(graph.propagateForward(), arrivals);
    EXPECT_EQ(graph.propagateBackward(1000), slacks);
  }

  // A chain 0 -> 1 -> 2 -> 3 closed by 3 -> 1 and a self-contained
  // two-pole cycle 4 <-> 5 fed by 0: one arc of each cycle goes.
  const std::vector<FlatGraph::Arc> arcs{{0, 1, 1, 2}, {1, 2, 1, 2}, {2, 3, 1, 2}, {3, 1, 1, 2},
                                         {0, 4, 1, 2}, {4, 5, 1, 2}, {5, 4, 1, 2}};
  FlatGraph graph(6, arcs);
  EXPECT_EQ(graph.getDroppedCount(), 2U);
  EXPECT_EQ(graph.getArcCount(), 5U);
  // Arrivals (late - early): 1: 1, 2: 2, 3: 3, 4: 1, 5: 2, whichever arc
  // of the 4-5 cycle was dropped.
  EXPECT_EQ(graph.propagateForward(), 9);
}

// Exit statuses and output come through; the peak memory is the program's
// own, not that of this process, made large on purpose before the run.
TEST(Subprocess, MeasuresTheProgramNotItsParent) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path();
  const std::string out = (directory / ("morva-measured-" + std::to_string(getpid()))).string();
  const std::string err = out + ".err";

  const MorvaBench::Measured failing = MorvaBench::runMeasured(
      {"/bin/sh", "-c", "echo said; echo complained >&2; exit 3"}, out, err);
  EXPECT_EQ(failing.status, 3);
  const auto read = [](const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(read(out), "said\n");
  EXPECT_EQ(read(err), "complained\n");

  const MorvaBench::Measured sleeping = MorvaBench::runMeasured({"/bin/sleep", "0.2"}, out, err);
  EXPECT_EQ(sleeping.status, 0);
  EXPECT_GE(sleeping.seconds, 0.2);
  EXPECT_LT(sleeping.seconds, 5.0);

  // 512 MiB resident here; a small program stays far below it.
  std::vector<char> ballast(512UL << 20);
  std::memset(ballast.data(), 1, ballast.size());
  const MorvaBench::Measured small = MorvaBench::runMeasured({"/bin/true"}, out, err);
  EXPECT_EQ(small.status, 0);
  EXPECT_GT(small.peakBytes, 0);
  EXPECT_LT(small.peakBytes, 64L << 20);
  EXPECT_EQ(ballast[ballast.size() / 2], 1);

  EXPECT_EQ(MorvaBench::runMeasured({"/nonexistent/program"}, out, err).status, 127);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
}

}  // namespace

int main(int argc, char** argv) {
  if (MorvaBench::isLauncher(argc, argv)) return MorvaBench::runLauncher(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
