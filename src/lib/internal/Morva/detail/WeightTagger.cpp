#include <Morva/detail/DepthFirst.h>
#include <Morva/detail/WeightTagger.h>

#include <cassert>

#include <algorithm>
#include <iterator>
#include <limits>
#include <set>
#include <vector>

namespace Morva {

namespace {

// Calls `visit` on every edge, in the order of the analyzer's edges.
template <class Visit>
void forEachEdge(const Analyzer& analyzer, Visit visit) {
  for (Pole* pole : analyzer.getPoles())
    for (Edge* edge : pole->getOutgoingEdgeSet()) visit(edge);
}

bool isCritical(const Edge* edge, const Delay& limit) {
  const Delay slack = edge->getSlack();
  return slack != Delay::getUndefined() && static_cast<int>(slack) <= static_cast<int>(limit);
}

void addCount(PathCountMap& counts, Pole* from, Pole* pole) {
  auto found = counts.find(from);
  if (found != counts.end()) counts[pole] += found->second;
}

}  // namespace

Delay WeightTagger::getLimit(float ratio) const {
  unsigned long edges = 0;
  forEachEdge(_analyzer, [&edges](Edge*) { ++edges; });
  // Truncated toward zero; a ratio that gives no edge (zero, negative or
  // not a number) stands for all of them.
  const float product = static_cast<float>(edges) * ratio;
  unsigned long wanted = 0;
  if (product >= static_cast<float>(std::numeric_limits<unsigned long>::max()))
    wanted = std::numeric_limits<unsigned long>::max();
  else if (product >= 1.0f)
    wanted = static_cast<unsigned long>(product);
  if (wanted == 0) wanted = edges;

  Delay limit = Delay::getMaximum();
  std::set<Delay> slacks;
  unsigned long taken = 0;
  forEachEdge(_analyzer, [&](Edge* edge) {
    const Delay slack = edge->getSlack();
    if (slack == Delay::getUndefined() || !(slack < limit)) return;
    slacks.insert(slack);
    if (taken < wanted)
      ++taken;
    else
      slacks.erase(std::prev(slacks.end()));
    if (taken != 0 && taken == wanted) limit = *slacks.rbegin();
  });
  if (taken >= 1 && taken <= wanted) limit = *slacks.rbegin();
  return limit;
}

void WeightTagger::tag(const Delay& limit) {
  PathCountMap forward;
  PathCountMap backward;
  countForward(limit, forward);
  countBackward(limit, backward);

  std::vector<unsigned long> products;
  unsigned long largest = 0;
  for (const auto& [pole, count] : forward) {
    for (Edge* edge : pole->getOutgoingEdgeSet()) {
      if (!isCritical(edge, limit)) continue;
      auto found = backward.find(edge->getTarget());
      if (found == backward.end()) continue;
      const unsigned long product = count * found->second;
      edge->setWeight(product);
      products.push_back(product);
      largest = std::max(largest, product);
    }
  }
  std::sort(products.begin(), products.end());

  // Sampled deciles of the products, closed above the largest one.
  const unsigned long step = products.size() > 9 ? products.size() / 9 : 1;
  std::set<unsigned long> breakpoints;
  for (unsigned long index = 0; index < products.size(); index += step)
    breakpoints.insert(products[index]);
  breakpoints.insert(largest + 1);

  // Rank n is the n-th interval [a, b) of consecutive breakpoints.
  forEachEdge(_analyzer, [&breakpoints](Edge* edge) {
    const unsigned long weight = edge->getWeight();
    if (weight == 0) return;
    const auto above = breakpoints.upper_bound(weight);
    if (above == breakpoints.begin() || above == breakpoints.end()) return;
    edge->setWeight(static_cast<unsigned long>(std::distance(breakpoints.begin(), above)));
  });
}

void WeightTagger::countForward(const Delay& limit, PathCountMap& counts) {
  count<true>(limit, counts);
}

void WeightTagger::countBackward(const Delay& limit, PathCountMap& counts) {
  count<false>(limit, counts);
}

template <bool forward>
void WeightTagger::count(const Delay& limit, PathCountMap& counts) {
  _analyzer.loopOpen();
  const auto isStart = [](const Pole* pole) {
    return forward ? pole->isTerminal() : pole->isInitial();
  };
  for (Pole* pole : _analyzer.selectPoles(isStart)) walk<forward>(pole, limit, counts);
  assert(isLoopStackEmpty(_analyzer));
  _analyzer.loopClose();
  _analyzer.unmark();
}

namespace {

// Forward counts walk incoming edges back to initial poles; backward counts
// walk outgoing edges on to terminal poles. Loop-closing edges are skipped.
template <bool forward>
class CountWalk {
 public:
  struct FrameData {};

  CountWalk(Analyzer& analyzer, const Delay& limit, PathCountMap& counts)
      : _analyzer(analyzer), _limit(limit), _counts(counts) {}

  bool enter(Pole* pole, Edge*, FrameData&) {
    _analyzer.loopPush(pole);
    if (!(forward ? pole->isInitial() : pole->isTerminal())) return true;
    _counts[pole] = 1;
    _analyzer.loopPop();
    pole->mark();
    return false;
  }
  static const EdgeSet& getEdges(Pole* pole) {
    return forward ? pole->getIncomingEdgeSet() : pole->getOutgoingEdgeSet();
  }
  static Pole* getFar(Edge* edge) { return forward ? edge->getSource() : edge->getTarget(); }
  bool isFollowed(const Edge* edge, const Pole*) const {
    return edge->isActive() && isCritical(edge, _limit);
  }
  bool isOnPath(Pole* pole) const { return _analyzer.isLooping(pole); }
  static void closeLoop() {}
  static bool isNew(const Pole* pole) { return !pole->isMarked(); }
  void join(Pole* far, Pole* pole) { addCount(_counts, far, pole); }
  void leave(Pole* pole, FrameData&) {
    _analyzer.loopPop();
    pole->mark();
  }

 private:
  Analyzer& _analyzer;
  const Delay& _limit;
  PathCountMap& _counts;
};

}  // namespace

template <bool forward>
void WeightTagger::walk(Pole* start, const Delay& limit, PathCountMap& counts) {
  if (start->isMarked()) return;
  CountWalk<forward> policy(_analyzer, limit, counts);
  DepthFirst<CountWalk<forward>>(policy).run(start);
}

}  // namespace Morva
