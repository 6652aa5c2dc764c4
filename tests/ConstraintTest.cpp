#include <Morva/DPath.h>
#include <Morva/Domain.h>
#include <Morva/DomainMask.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Orvek/Debug.h>

#include "Support.h"

#include <algorithm>
#include <map>
#include <set>

using namespace Morva;
using Support::pin;
using Support::port;
using Support::view;

namespace {

class ConstraintTest : public Support::AnalyzerFixture {
 protected:
  void TearDown() override {
    Orvek::setDebug(false);
    AnalyzerFixture::TearDown();
  }

  static Edge* arc(Pole* from, Pole* to) { return Edge::createIOPath(from, to); }
  static Poles none() { return view({}); }
  static std::set<unsigned long> bits(const Mask& mask) {
    std::set<unsigned long> result;
    for (unsigned long bit = 1; bit <= mask.getTape().getBitCount(); ++bit)
      if (mask.getTape()[bit - 1]) result.insert(bit);
    return result;
  }

  Support::ConsoleCapture _console;
};

TEST_F(ConstraintTest, PathsAreNumberedByKindThenCreation) {
  Pole* source = pin("s");
  source->setMode(Mode(Mode::Rising));
  Pole* target = port("t");
  Edge* edge = arc(source, target);
  MPath* multicycle = MPath::create(view({source}), none(), view({target}), 2);
  DPath* minimum = DPath::createMinimum(view({source}), none(), view({target}), Delay(5));
  DPath* maximum = DPath::createMaximum(view({source}), none(), view({target}), Delay(50));
  FPath* falsePath = FPath::create(view({source}), none(), view({target}));
  FPath* second = FPath::create(view({source}), none(), view({target}));

  analyzer->prolog();
  EXPECT_EQ(falsePath->getMask(), Mask::getBasic(1));
  EXPECT_EQ(second->getMask(), Mask::getBasic(2));
  EXPECT_EQ(maximum->getMask(), Mask::getBasic(3));
  EXPECT_EQ(minimum->getMask(), Mask::getBasic(4));
  EXPECT_EQ(multicycle->getMask(), Mask::getBasic(5));
  EXPECT_EQ(bits(analyzer->getFalsePathMask()), (std::set<unsigned long>{1, 2}));
  EXPECT_EQ(bits(analyzer->getMaxdelayPathMask()), (std::set<unsigned long>{3}));
  EXPECT_EQ(bits(analyzer->getMindelayPathMask()), (std::set<unsigned long>{4}));
  EXPECT_EQ(bits(analyzer->getMulticyclePathMask()), (std::set<unsigned long>{5}));
  // Numbering alone sensitises nothing.
  EXPECT_EQ(edge->getMask(), Mask(0));
  EXPECT_FALSE(analyzer->cpathsAchieved());

  analyzer->scanConstrainedPaths();
  EXPECT_EQ(bits(edge->getMask()), (std::set<unsigned long>{1, 2, 3, 4, 5}));
  EXPECT_EQ(bits(target->getClosingMask()), (std::set<unsigned long>{1, 2, 3, 4, 5}));

  // Each kind goes with its mask, and the analysis must be done again.
  for (void (Analyzer::*resetPaths)() :
       {&Analyzer::resetFalsePaths, &Analyzer::resetMaxdelayPaths, &Analyzer::resetMindelayPaths,
        &Analyzer::resetMulticyclePaths}) {
    analyzer->reset();
    EXPECT_FALSE(analyzer->needReset());
    (analyzer->*resetPaths)();
    EXPECT_TRUE(analyzer->needReset());
  }
  EXPECT_EQ(analyzer->getFalsePathMask(), Mask(0));
  EXPECT_EQ(analyzer->getMindelayPathMask(), Mask(0));
  EXPECT_TRUE(analyzer->getCPaths().isEmpty());
  EXPECT_EQ(analyzer->getMulticyclePathMask(), Mask(0));
}

TEST_F(ConstraintTest, SingleGroupFalsePathsCutTheirPolesInPathOrder) {
  Pole* source = pin("s");
  source->setMode(Mode(Mode::Rising));
  Pole* middle = pin("m");
  Pole* target = port("t");
  Edge* in = arc(source, middle);
  Edge* out = arc(middle, target);
  // Walked before the cut: it still finds its path.
  FPath* before = FPath::create(view({source}), none(), view({target}));
  FPath::create(none(), view({middle}), none());
  // Walked after it: the cut hides its path.
  DPath* after = DPath::createMaximum(view({source}), none(), view({target}), Delay(9));

  analyzer->achieveConstrainedPaths();
  EXPECT_FALSE(in->isActive());
  EXPECT_FALSE(out->isActive());
  EXPECT_EQ(before->getMask(), Mask::getBasic(1));
  EXPECT_EQ(after->getMask(), Mask::getBasic(3));
  EXPECT_EQ(bits(in->getMask()), std::set<unsigned long>{1});
  EXPECT_EQ(bits(target->getClosingMask()), std::set<unsigned long>{1});
  EXPECT_EQ(bits(source->getOpeningMask()), std::set<unsigned long>{1});

  // Later achievements reuse the work; a reset brings the edges back.
  analyzer->reset();
  EXPECT_TRUE(in->isActive());
  EXPECT_TRUE(out->isActive());
  EXPECT_EQ(in->getMask(), Mask(0));
  EXPECT_EQ(source->getOpeningMask(), Mask(0));
}

TEST_F(ConstraintTest, LoopsMetByTheConstraintWalkAreReportedInDebugModeOnly) {
  Pole* source = pin("s");
  source->setMode(Mode(Mode::Rising));
  Pole* a = pin("a");
  Pole* b = pin("b");
  Pole* target = port("t");
  arc(source, a);
  arc(a, b);
  arc(b, a);
  arc(b, target);
  FPath::create(view({source}), none(), view({target}));
  analyzer->achieveConstrainedPaths();
  EXPECT_EQ(_console.text(), "");

  analyzer->reset();
  Orvek::setDebug(true);
  analyzer->achieveConstrainedPaths();
  EXPECT_EQ(_console.text(),
            "Warning: 1 combinatorial loop detected during false paths analysis.\n");
  for (Edge* edge : analyzer->getEdges())
    EXPECT_EQ(edge->getMask() == Mask(0), edge->getSource() == b && edge->getTarget() == a);
}

// Edges from separate initial poles to separate terminal poles.
std::vector<Edge*> parallelEdges(unsigned count) {
  std::vector<Edge*> edges;
  for (unsigned index = 0; index < count; ++index)
    edges.push_back(Edge::createIOPath(Pole::createMain("from" + std::to_string(index)),
                                       Pole::createMain("to" + std::to_string(index))));
  return edges;
}

TEST_F(ConstraintTest, TheRatioLimitKeepsTheMostCriticalEdges) {
  std::vector<Edge*> edges = parallelEdges(10);
  const int slacks[] = {70, 10, 90, 40, 20, 100, 60, 30, 80, 50};
  for (unsigned index = 0; index < 10; ++index) edges[index]->setSlack(Delay(slacks[index]));
  analyzer->tagWeights(0.5f);
  // The fifth smallest slack, 50, is the limit.
  for (unsigned index = 0; index < 10; ++index)
    EXPECT_EQ(edges[index]->getWeight(), slacks[index] <= 50 ? 1u : 0u) << slacks[index];

  // Equal slacks are kept once but each is an edge: the four most critical
  // edges are the three at 10 and the one at 20.
  for (Edge* edge : edges) edge->setWeight(0);
  const int repeated[] = {10, 10, 10, 40, 20, 100, 60, 30, 80, 50};
  for (unsigned index = 0; index < 10; ++index) edges[index]->setSlack(Delay(repeated[index]));
  analyzer->tagWeights(0.4f);
  for (unsigned index = 0; index < 10; ++index)
    EXPECT_EQ(edges[index]->getWeight(), repeated[index] <= 20 ? 1u : 0u) << repeated[index];

  // Edges without a slack never count; a zero ratio stands for all edges.
  for (Edge* edge : edges) edge->setWeight(0);
  edges[5]->setSlack(Delay::getUndefined());
  analyzer->tagWeights(0.0f);
  for (unsigned index = 0; index < 10; ++index)
    EXPECT_EQ(edges[index]->getWeight(), index == 5 ? 0u : 1u);
}

TEST_F(ConstraintTest, TwentyProductsAreRankedBySampledDeciles) {
  // Output k is reached from k inputs: the 210 feeders have product 1 and
  // the last edge of output k has product k, 230 values in all: step 25.
  std::vector<Edge*> lasts;
  for (int k = 1; k <= 20; ++k) {
    Pole* join = pin("join" + std::to_string(k));
    for (int index = 0; index < k; ++index)
      arc(pin("in" + std::to_string(k) + "_" + std::to_string(index)), join);
    lasts.push_back(arc(join, pin("out" + std::to_string(k))));
  }
  for (Edge* edge : analyzer->getEdges()) edge->setSlack(Delay(0));
  analyzer->tagWeights(Delay(0));
  // Sorted products: 211 ones then 2 .. 20; the samples at 0, 25, ..., 200
  // are 1, the one at 225 is 16; 21 closes: ranks [1, 16) and [16, 21).
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(lasts[k - 1]->getWeight(), k < 16 ? 1u : 2u) << k;
}

TEST_F(ConstraintTest, ColouringNumbersTheDomainsInOrder) {
  Pole* clkB = port("clkB");
  Pole* clkA = port("clkA");
  const Support::Register a = Support::flop("a");
  const Support::Register b = Support::flop("b");
  Edge::createInterconnect(clkA, a.clock);
  Edge::createInterconnect(clkB, b.clock);
  Edge* cross = Edge::createInterconnect(a.output, b.data);
  Edge* self = Edge::createInterconnect(a.output, a.data);
  // Two branches from a's output join before b's data pin: the second
  // meets the join explored already and takes its colour from there.
  Pole* left = pin("left");
  Pole* right = pin("right");
  Pole* join = pin("join");
  Edge::createInterconnect(a.output, left);
  Edge::createInterconnect(a.output, right);
  Edge::createInterconnect(left, join);
  Edge* late = Edge::createInterconnect(right, join);
  Edge::createInterconnect(join, b.data);
  analyzer->createDomains();
  analyzer->colourizeEdges();
  Domain* pure = analyzer->getDomain(clkA, clkA);
  Domain* across = analyzer->getDomain(clkA, clkB);
  ASSERT_EQ(analyzer->getDomains().getCount(), 2u);
  EXPECT_EQ(pure->getMask(), DomainMask::getBasic(1));
  EXPECT_EQ(across->getMask(), DomainMask::getBasic(2));
  EXPECT_EQ(cross->getDomainMask(), DomainMask::getBasic(2));
  EXPECT_EQ(self->getDomainMask(), DomainMask::getBasic(1));
  EXPECT_EQ(late->getDomainMask(), DomainMask::getBasic(2));
  // The register's clock-to-output arc lies on both.
  EXPECT_EQ(a.clock->getOutgoingEdge(a.output)->getDomainMask(),
            DomainMask::getBasic(1) | DomainMask::getBasic(2));
}

// ---- Literal recursive forms of the walks, the reference of the scans -------

struct ConstraintReference {
  std::set<Pole*> marked;
  std::vector<Pole*> loopStack;
  std::set<Pole*> known;
  std::vector<Edge*> edgeStack;
  std::set<Edge*> found;
  std::set<Edge*> cut;
  bool hit = false;
  unsigned long loops = 0;

  bool isLooping(Pole* pole) const {
    return std::find(loopStack.begin(), loopStack.end(), pole) != loopStack.end();
  }
  void collect() {
    known.insert(loopStack.begin(), loopStack.end());
    found.insert(edgeStack.begin(), edgeStack.end());
  }
  void step(Pole* pole, const PoleSet& starts) {
    if (marked.count(pole) && known.count(pole)) {
      collect();
      return;
    }
    marked.insert(pole);
    loopStack.push_back(pole);
    if (starts.count(pole)) {
      hit = true;
      collect();
    } else {
      for (Edge* edge : pole->getIncomingEdges()) {
        if (!edge->isActive() || cut.count(edge)) continue;
        edgeStack.push_back(edge);
        if (isLooping(edge->getSource()))
          ++loops;
        else
          step(edge->getSource(), starts);
        edgeStack.pop_back();
      }
    }
    loopStack.pop_back();
  }
  void walk(const PoleSet& roots, const PoleSet& starts) {
    for (Pole* root : roots) step(root, starts);
  }

  // Per edge, the path numbers it is sensitised with; per pole, opened and
  // closed path numbers.
  std::map<Edge*, std::set<unsigned long>> edgeBits;
  std::map<Pole*, std::set<unsigned long>> opening, closing;

  void run() {
    unsigned long number = 0;
    for (CPath* path : analyzer->getCPaths()) {
      ++number;
      if (path->isInsulated()) {
        if (dynamic_cast<FPath*>(path))
          for (Pole* pole : path->getPoles()) {
            for (Edge* edge : pole->getIncomingEdges()) cut.insert(edge);
            for (Edge* edge : pole->getOutgoingEdges()) cut.insert(edge);
          }
        continue;
      }
      marked.clear();
      known.clear();
      found.clear();
      hit = false;
      if (path->getBridgeSet().empty()) {
        walk(path->getTargetSet(), path->getSourceSet());
      } else {
        walk(path->getTargetSet(), path->getBridgeSet());
        if (hit) {
          marked.clear();
          known.clear();
          hit = false;
          walk(path->getBridgeSet(), path->getSourceSet());
        }
      }
      if (!hit) continue;
      for (Pole* pole : path->getSourceSet()) opening[pole].insert(number);
      for (Pole* pole : path->getTargetSet()) closing[pole].insert(number);
      for (Edge* edge : found) edgeBits[edge].insert(number);
    }
  }
};

struct CountReference {
  bool forward;
  Delay limit;
  std::set<Pole*> marked;
  std::vector<Pole*> stack;
  PathCountMap counts;

  bool critical(const Edge* edge) const {
    return edge->isActive() && edge->getSlack() != Delay::getUndefined() &&
           edge->getSlack().getValue() <= limit.getValue();
  }
  void step(Pole* pole) {
    if (marked.count(pole)) return;
    stack.push_back(pole);
    if (forward ? pole->isInitial() : pole->isTerminal()) {
      counts[pole] = 1;
    } else {
      for (Edge* edge : forward ? pole->getIncomingEdges() : pole->getOutgoingEdges()) {
        if (!critical(edge)) continue;
        Pole* other = forward ? edge->getSource() : edge->getTarget();
        if (std::find(stack.begin(), stack.end(), other) != stack.end()) continue;
        step(other);
        if (counts.count(other)) counts[pole] += counts[other];
      }
    }
    stack.pop_back();
    marked.insert(pole);
  }
  PathCountMap run() {
    for (Pole* pole : analyzer->getPoles())
      if (forward ? pole->isTerminal() : pole->isInitial()) step(pole);
    return counts;
  }
};

// The weights that tagging with `limit` gives, from the reference counts.
std::map<Edge*, unsigned long> referenceWeights(const Delay& limit) {
  PathCountMap forward = CountReference{true, limit, {}, {}, {}}.run();
  PathCountMap backward = CountReference{false, limit, {}, {}, {}}.run();
  std::map<Edge*, unsigned long> weights;
  for (Edge* edge : analyzer->getEdges()) weights[edge] = edge->getWeight();
  std::vector<unsigned long> products;
  unsigned long largest = 0;
  for (const auto& [pole, count] : forward)
    for (Edge* edge : pole->getOutgoingEdges()) {
      if (edge->getSlack() == Delay::getUndefined() ||
          edge->getSlack().getValue() > limit.getValue() || !backward.count(edge->getTarget()))
        continue;
      weights[edge] = count * backward[edge->getTarget()];
      products.push_back(weights[edge]);
      largest = std::max(largest, weights[edge]);
    }
  std::sort(products.begin(), products.end());
  const std::size_t step = products.size() > 9 ? products.size() / 9 : 1;
  std::set<unsigned long> breakpoints;
  for (std::size_t index = 0; index < products.size(); ++index)
    if (index % step == 0) breakpoints.insert(products[index]);
  breakpoints.insert(largest + 1);
  const std::vector<unsigned long> points(breakpoints.begin(), breakpoints.end());
  for (auto& [edge, weight] : weights) {
    if (weight == 0) continue;
    for (std::size_t pair = 1; pair < points.size(); ++pair)
      if (points[pair - 1] <= weight && weight < points[pair]) {
        weight = pair;
        break;
      }
  }
  return weights;
}

// Random slacks over a random design, then random constrained paths of
// every kind over its poles.
void addRandomConstraints(std::mt19937& random) {
  auto below = [&random](int bound) {
    return std::uniform_int_distribution<int>(0, bound - 1)(random);
  };
  const std::vector<Pole*> poles = Support::toVector(analyzer->getPoles());
  const int size = static_cast<int>(poles.size());
  for (Edge* edge : analyzer->getEdges()) {
    if (below(12) == 0) edge->disactivate();
    edge->setSlack(below(6) == 0 ? Delay::getUndefined() : Delay(below(40) - 10));
  }
  auto pickGroup = [&](int most, bool (Pole::*accept)() const) {
    std::vector<Pole*> chosen;
    const int count = below(most + 1);
    for (int index = 0; index < count * 3 && static_cast<int>(chosen.size()) < count; ++index) {
      Pole* pole = poles[below(size)];
      if ((!accept || (pole->*accept)()) &&
          std::find(chosen.begin(), chosen.end(), pole) == chosen.end())
        chosen.push_back(pole);
    }
    return chosen;
  };
  for (int index = 0; index < 7; ++index) {
    const int kind = below(4);
    if (kind == 0 || kind == 3) {
      std::vector<Pole*> sources = pickGroup(2, nullptr);
      std::vector<Pole*> bridges = below(3) == 0 ? pickGroup(2, nullptr) : std::vector<Pole*>{};
      std::vector<Pole*> targets = below(6) == 0 ? std::vector<Pole*>{} : pickGroup(2, nullptr);
      if (sources.empty() && bridges.empty() && targets.empty()) continue;
      if (kind == 0)
        FPath::create(view(sources), view(bridges), view(targets));
      else if (!sources.empty() && !targets.empty())
        MPath::create(view(sources), view(bridges), view(targets), 2);
    } else {
      std::vector<Pole*> sources = pickGroup(2, &Pole::isInitial);
      std::vector<Pole*> targets = pickGroup(2, &Pole::isTerminal);
      std::vector<Pole*> bridges = below(3) == 0 ? pickGroup(1, nullptr) : std::vector<Pole*>{};
      if (sources.empty() || targets.empty()) continue;
      if (kind == 1)
        DPath::createMaximum(view(sources), view(bridges), view(targets), Delay(100));
      else
        DPath::createMinimum(view(sources), view(bridges), view(targets), Delay(1));
    }
  }
}

unsigned long reportedLoops(const std::string& text) {
  const auto end = text.find(" combinatorial loop");
  if (end == std::string::npos) return 0;
  const auto start = text.rfind("Warning: ", end) + 9;
  return std::stoul(text.substr(start, end - start));
}

TEST_F(ConstraintTest, WalksMatchTheirRecursiveDefinitionOnRandomGraphs) {
  unsigned long sensitised = 0, validated = 0, loops = 0, cut = 0, weighted = 0;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Support::RandomDesign design(seed, 2 + seed % 5, 4 + seed % 20, seed % 3 != 0);
    addRandomConstraints(design.random);

    ConstraintReference constraints;
    constraints.run();
    std::set<Edge*> active;
    for (Edge* edge : analyzer->getEdges())
      if (edge->isActive()) active.insert(edge);
    Orvek::setDebug(true);
    _console.clear();
    analyzer->achieveConstrainedPaths();
    Orvek::setDebug(false);
    EXPECT_EQ(reportedLoops(_console.text()), constraints.loops);
    loops += constraints.loops;
    for (Edge* edge : analyzer->getEdges()) {
      EXPECT_EQ(bits(edge->getMask()), constraints.edgeBits[edge]) << edge->getName();
      EXPECT_EQ(edge->isActive(), active.count(edge) && !constraints.cut.count(edge));
      sensitised += constraints.edgeBits[edge].size();
      cut += !edge->isActive();
    }
    for (Pole* pole : analyzer->getPoles()) {
      EXPECT_EQ(bits(pole->getOpeningMask()), constraints.opening[pole]) << pole->getName();
      EXPECT_EQ(bits(pole->getClosingMask()), constraints.closing[pole]) << pole->getName();
      validated += constraints.opening[pole].size();
    }

    for (int limit : {-5, 5, 30}) {
      PathCountMap forward;
      analyzer->forwardScan(Delay(limit), forward);
      EXPECT_EQ(forward, (CountReference{true, Delay(limit), {}, {}, {}}.run()));
      PathCountMap backward;
      analyzer->backwardScan(Delay(limit), backward);
      EXPECT_EQ(backward, (CountReference{false, Delay(limit), {}, {}, {}}.run()));
    }
    const std::map<Edge*, unsigned long> expected = referenceWeights(Delay(5));
    analyzer->tagWeights(Delay(5));
    for (Edge* edge : analyzer->getEdges()) {
      EXPECT_EQ(edge->getWeight(), expected.at(edge)) << edge->getName();
      weighted += edge->getWeight() != 0;
    }
    analyzer->destroy();
    Analyzer::create();
  }
  EXPECT_GT(sensitised, 100u);
  EXPECT_GT(validated, 20u);
  EXPECT_GT(loops, 20u);
  EXPECT_GT(cut, 20u);
  EXPECT_GT(weighted, 100u);
}

TEST_F(ConstraintTest, ALadderOfDiamondsIsWalkedOncePerPole) {
  // A ladder of 64 diamonds whose start is out of reach: walking every path
  // again would take 2^64 steps.
  Pole* start = pin("start");
  start->setMode(Mode(Mode::Rising));
  Pole* island = pin("island");
  Edge* stray = arc(start, island);
  Pole* bottom = pin("d0");
  for (int level = 1; level <= 64; ++level) {
    Pole* left = pin("l" + std::to_string(level));
    Pole* right = pin("r" + std::to_string(level));
    Pole* top = pin("d" + std::to_string(level));
    arc(bottom, left);
    arc(bottom, right);
    arc(left, top);
    arc(right, top);
    bottom = top;
  }
  FPath::create(view({start}), none(), view({bottom}));
  analyzer->achieveConstrainedPaths();
  EXPECT_EQ(stray->getMask(), Mask(0));
  EXPECT_EQ(bottom->getClosingMask(), Mask(0));
}

}  // namespace
