#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/detail/GraphImage.h>
#include <Orvek/Prefetch.h>

#include <algorithm>
#include <bit>
#include <cassert>

#include <functional>
#include <memory>
#include <queue>

namespace Morva {

namespace {

std::unique_ptr<GraphImage>& getImage() {
  static std::unique_ptr<GraphImage> image;
  return image;
}

}  // namespace

const GraphImage& GraphImage::get() {
  std::unique_ptr<GraphImage>& image = getImage();
  if (!image || image->_builtEpoch != GraphEpoch::get()) {
    // The stale image goes first, so that two never live together.
    image.reset();
    image = std::make_unique<GraphImage>();
    image->build();
    // Copying the graph must not change it.
    assert(image->_builtEpoch == GraphEpoch::get());
  }
  return *image;
}

SweepBuffers& GraphImage::getSweepBuffers() const {
  if (!_sweepBuffers) _sweepBuffers = std::make_shared<SweepBuffers>();
  return *_sweepBuffers;
}

std::shared_ptr<WalkBuffers> GraphImage::getWalkBuffers() const {
  if (!_walkBuffers) _walkBuffers = std::make_shared<WalkBuffers>();
  return _walkBuffers;
}

void GraphImage::release() {
  getImage().reset();
}

void GraphImage::releaseScratch() {
  if (const std::unique_ptr<GraphImage>& image = getImage()) {
    image->_sweepBuffers.reset();
    image->_walkBuffers.reset();
  }
}

uint32_t GraphImage::getIndex(const Pole* pole) const {
  const uint32_t number = pole->getNumber();
  return number < _indices.size() ? _indices[number] : none;
}

void GraphImage::build() {
  const std::size_t bound = Pole::getNumberBound();
  _poles = Pole::getNumberedPoles();
  _indices.assign(bound, none);
  std::size_t incoming = 0;
  std::size_t outgoing = 0;
  for (uint32_t number = 0; number < bound; ++number) {
    const Pole* pole = _poles[number];
    if (!pole) continue;
    _indices[number] = static_cast<uint32_t>(_numbers.size());
    _numbers.push_back(number);
    incoming += pole->getIncomingEdgeSet().size();
    outgoing += pole->getOutgoingEdgeSet().size();
  }
  const std::size_t size = _numbers.size();
  // The masks of the arcs that have one, by position in their array.
  ArcMasks incomingMasks;
  ArcMasks outgoingMasks;
  const auto add = [this](std::vector<Arc>& arcs, ArcMasks& masks, const Edge* edge, uint32_t far) {
    const bool clock = edge->isIOPath() || edge->isInterconnect();
    const uint32_t mask = packMaskNumber(edge->getMaskNumber());
    if (mask != 0) masks.emplace(static_cast<uint32_t>(arcs.size()), mask);
    arcs.push_back(
        Arc{_indices[far] | (clock ? Arc::clockBit : 0U) | (mask != 0 ? Arc::maskBit : 0U),
            edge->getMinimumDelay().getValue(), edge->getMaximumDelay().getValue()});
  };
  _facts.resize(size);
  _incomingRows.resize(size + 1);
  _outgoingRows.resize(size + 1);
  _incoming.reserve(incoming);
  _outgoing.reserve(outgoing);
  // The poles lie in the pools in number order, but their edges and far
  // ends do not: a few poles ahead, their first edges are fetched, then
  // their second ones, then (the lists now readable) their far ends.
  constexpr std::size_t distance = 6;
  const auto fetchFirstEdges = [this](std::size_t index) {
    const Pole* pole = _poles[_numbers[index]];
    pole->getIncomingEdgeSet().prefetchFirst();
    pole->getOutgoingEdgeSet().prefetchFirst();
  };
  const auto fetchSecondEdges = [this](std::size_t index) {
    const Pole* pole = _poles[_numbers[index]];
    pole->getIncomingEdgeSet().prefetchSecond();
    pole->getOutgoingEdgeSet().prefetchSecond();
  };
  const auto fetchFarEnds = [this](std::size_t index) {
    const Pole* pole = _poles[_numbers[index]];
    for (const Edge* edge : pole->getOutgoingEdgeSet()) Orvek::prefetch(edge->getTarget());
  };
  for (std::size_t index = 0; index < size; ++index) {
    if (index + 3 * distance < size) fetchFirstEdges(index + 3 * distance);
    if (index + 2 * distance < size) fetchSecondEdges(index + 2 * distance);
    if (index + distance < size) fetchFarEnds(index + distance);
    const Pole* pole = _poles[_numbers[index]];
    _incomingRows[index] = static_cast<uint32_t>(_incoming.size());
    _outgoingRows[index] = static_cast<uint32_t>(_outgoing.size());
    const bool masked = pole->getOpeningMaskNumber() != 0 || pole->getClosingMaskNumber() != 0;
    _facts[index] = (pole->isInitial() ? Initial : 0) | (pole->isTerminal() ? Terminal : 0) |
                    (pole->isDual() ? Dual : 0) | (pole->isInput() ? Input : 0) |
                    (pole->isOutput() ? Output : 0) | (masked ? Masked : 0);
    for (const Edge* edge : pole->getIncomingEdgeSet())
      if (edge->isActive()) add(_incoming, incomingMasks, edge, edge->getSourceNumber());
    for (const Edge* edge : pole->getOutgoingEdgeSet())
      if (edge->isActive()) add(_outgoing, outgoingMasks, edge, edge->getTarget()->getNumber());
  }
  _incomingRows[size] = static_cast<uint32_t>(_incoming.size());
  _outgoingRows[size] = static_cast<uint32_t>(_outgoing.size());
  sort(incomingMasks, outgoingMasks);
  // Keyed by index and arc now that those are final.
  for (const auto& [position, mask] : incomingMasks) _arcMasks.emplace(&_incoming[position], mask);
  for (const auto& [position, mask] : outgoingMasks) _arcMasks.emplace(&_outgoing[position], mask);
  // Only registers' data sides have a clock: the facts spare reading the
  // other poles.
  for (uint32_t index = 0; index < size; ++index) {
    if (!hasFact(index, Masked) && !hasFact(index, Dual)) continue;
    const Pole* pole = getPole(index);
    if (hasFact(index, Masked))
      _poleMasks.emplace(index, std::make_pair(packMaskNumber(pole->getOpeningMaskNumber()),
                                               packMaskNumber(pole->getClosingMaskNumber())));
    if (const Pole* clock = pole->getClock()) {
      _facts[index] |= Clocked;
      _clocks.emplace(index, getIndex(clock));
    }
  }
  _builtEpoch = GraphEpoch::get();
}

namespace {

// The values of `values` in the order `order` gives.
template <class Value>
void permute(std::vector<Value>& values, const std::vector<uint32_t>& order) {
  std::vector<Value> permuted;
  permuted.reserve(values.size());
  for (const uint32_t old : order) permuted.push_back(values[old]);
  values.swap(permuted);
}

// The rows of `arcs` in the order `order` gives, their far ends renamed by
// `rank` and their masks moved with them.
void permute(std::vector<GraphImage::Arc>& arcs, std::vector<uint32_t>& rows,
             GraphImage::ArcMasks& masks, const std::vector<uint32_t>& order,
             const std::vector<uint32_t>& rank) {
  using Arc = GraphImage::Arc;
  std::vector<Arc> permuted;
  std::vector<uint32_t> permutedRows;
  GraphImage::ArcMasks permutedMasks;
  permuted.reserve(arcs.size());
  permutedRows.reserve(rows.size());
  for (const uint32_t old : order) {
    permutedRows.push_back(static_cast<uint32_t>(permuted.size()));
    for (uint32_t position = rows[old]; position < rows[old + 1]; ++position) {
      Arc arc = arcs[position];
      if (arc.hasMask())
        permutedMasks.emplace(static_cast<uint32_t>(permuted.size()), masks.at(position));
      arc.far = rank[arc.getFar()] | (arc.far & (Arc::clockBit | Arc::maskBit));
      permuted.push_back(arc);
    }
  }
  permutedRows.push_back(static_cast<uint32_t>(permuted.size()));
  arcs.swap(permuted);
  rows.swap(permutedRows);
  masks.swap(permutedMasks);
}

}  // namespace

namespace {

// The poles ready to be placed, the smallest index out first. Most poles
// become ready after every smaller index was placed (poles are numbered
// about as they are wired): those wait as bits at or past a cursor, found
// by scanning forward; the others in a heap.
class ReadySet {
 public:
  explicit ReadySet(std::size_t size) : _bits((size + 63) / 64, 0) {}
  bool empty() const { return _count == 0; }
  void insert(uint32_t index) {
    ++_count;
    if (index < _cursor) {
      _behind.push(index);
      return;
    }
    _bits[index / 64] |= uint64_t(1) << (index % 64);
    _first = std::min(_first, index);
  }
  uint32_t pop() {
    --_count;
    if (!_behind.empty() && _behind.top() < _first) {
      const uint32_t index = _behind.top();
      _behind.pop();
      return index;
    }
    const uint32_t index = _first;
    _bits[index / 64] &= ~(uint64_t(1) << (index % 64));
    _cursor = index;
    _first = findFrom(index);
    return index;
  }

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  // The first set bit at or past `from`, or kNone.
  uint32_t findFrom(uint32_t from) const {
    std::size_t word = from / 64;
    if (word >= _bits.size()) return kNone;
    uint64_t bits = _bits[word] & (~uint64_t(0) << (from % 64));
    while (bits == 0) {
      if (++word == _bits.size()) return kNone;
      bits = _bits[word];
    }
    return static_cast<uint32_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
  }

  std::vector<uint64_t> _bits;
  std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<>> _behind;
  uint32_t _cursor = 0;
  uint32_t _first = kNone;
  std::size_t _count = 0;
};

}  // namespace

void GraphImage::sort(ArcMasks& incomingMasks, ArcMasks& outgoingMasks) {
  const auto size = static_cast<uint32_t>(_numbers.size());
  // Kahn's algorithm: a pole is placed once all its sources are, the one
  // of smallest number first, so that the order stays as close to pole
  // numbers as the edges allow: tables indexed by number are then filled
  // almost in sequence.
  std::vector<uint32_t> order;
  order.reserve(size);
  {
    std::vector<uint32_t> waiting(size);
    ReadySet ready(size);
    for (uint32_t index = 0; index < size; ++index) {
      waiting[index] = _incomingRows[index + 1] - _incomingRows[index];
      if (waiting[index] == 0) ready.insert(index);
    }
    while (!ready.empty()) {
      const uint32_t next = ready.pop();
      order.push_back(next);
      for (const Arc* arc = beginOutgoing(next); arc != endOutgoing(next); ++arc)
        if (--waiting[arc->getFar()] == 0) ready.insert(arc->getFar());
    }
  }
  _acyclic = order.size() == size;
  if (!_acyclic) return;
  std::vector<uint32_t> rank(size);
  for (uint32_t position = 0; position < size; ++position) rank[order[position]] = position;
  permute(_numbers, order);
  permute(_facts, order);
  permute(_incoming, _incomingRows, incomingMasks, order, rank);
  permute(_outgoing, _outgoingRows, outgoingMasks, order, rank);
  for (uint32_t& index : _indices)
    if (index != none) index = rank[index];
  assert(isTopological());
}

bool GraphImage::isTopological() const {
  for (uint32_t index = 0; index < getSize(); ++index)
    for (const Arc* arc = beginOutgoing(index); arc != endOutgoing(index); ++arc)
      if (arc->getFar() <= index) return false;
  return true;
}

}  // namespace Morva
