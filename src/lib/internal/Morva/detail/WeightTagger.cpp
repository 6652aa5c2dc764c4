#include <Morva/detail/WeightTagger.h>

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

struct Frame {
  Pole* pole;
  EdgeSet::const_iterator next;
  EdgeSet::const_iterator end;
  Pole* pending;
};

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
  for (Pole* pole : _analyzer.getPoles())
    if (forward ? pole->isTerminal() : pole->isInitial()) walk<forward>(pole, limit, counts);
  _analyzer.loopClose();
  _analyzer.unmark();
}

// Forward counts walk incoming edges back to initial poles; backward counts
// walk outgoing edges on to terminal poles. Loop-closing edges are skipped.
template <bool forward>
void WeightTagger::walk(Pole* start, const Delay& limit, PathCountMap& counts) {
  if (start->isMarked()) return;
  std::vector<Frame> stack;
  auto enter = [&](Pole* pole) {
    _analyzer.loopPush(pole);
    if (forward ? pole->isInitial() : pole->isTerminal()) {
      counts[pole] = 1;
      _analyzer.loopPop();
      pole->mark();
      return false;
    }
    const EdgeSet& edges = forward ? pole->getIncomingEdgeSet() : pole->getOutgoingEdgeSet();
    stack.push_back({pole, edges.begin(), edges.end(), nullptr});
    return true;
  };
  if (!enter(start)) return;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.pending) {
      addCount(counts, frame.pending, frame.pole);
      frame.pending = nullptr;
    }
    bool descended = false;
    while (frame.next != frame.end) {
      Edge* edge = *frame.next++;
      if (!edge->isActive() || !isCritical(edge, limit)) continue;
      Pole* other = forward ? edge->getSource() : edge->getTarget();
      if (_analyzer.isLooping(other)) continue;
      if (!other->isMarked()) {
        frame.pending = other;
        // `frame` is not used once a new frame is stacked.
        if (enter(other)) {
          descended = true;
          break;
        }
        frame.pending = nullptr;
      }
      addCount(counts, other, frame.pole);
    }
    if (descended) continue;
    Pole* pole = frame.pole;
    stack.pop_back();
    _analyzer.loopPop();
    pole->mark();
  }
}

}  // namespace Morva
