#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/detail/GraphImage.h>

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
  const auto add = [this](std::vector<Arc>& arcs, ArcMasks& masks, const Edge* edge,
                          const Pole* far) {
    const bool clock = edge->isIOPath() || edge->isInterconnect();
    const uint32_t mask = packMaskNumber(edge->getMaskNumber());
    if (mask != 0) masks.emplace(static_cast<uint32_t>(arcs.size()), mask);
    arcs.push_back(Arc{
        _indices[far->getNumber()] | (clock ? Arc::clockBit : 0U) | (mask != 0 ? Arc::maskBit : 0U),
        edge->getMinimumDelay().getValue(), edge->getMaximumDelay().getValue()});
  };
  _facts.resize(size);
  _incomingRows.resize(size + 1);
  _outgoingRows.resize(size + 1);
  _incoming.reserve(incoming);
  _outgoing.reserve(outgoing);
  for (std::size_t index = 0; index < size; ++index) {
    const Pole* pole = _poles[_numbers[index]];
    _incomingRows[index] = static_cast<uint32_t>(_incoming.size());
    _outgoingRows[index] = static_cast<uint32_t>(_outgoing.size());
    const bool masked = pole->getOpeningMaskNumber() != 0 || pole->getClosingMaskNumber() != 0;
    _facts[index] = (pole->isInitial() ? Initial : 0) | (pole->isTerminal() ? Terminal : 0) |
                    (pole->isDual() ? Dual : 0) | (pole->isInput() ? Input : 0) |
                    (pole->isOutput() ? Output : 0) | (masked ? Masked : 0);
    for (const Edge* edge : pole->getIncomingEdgeSet())
      if (edge->isActive()) add(_incoming, incomingMasks, edge, edge->getSource());
    for (const Edge* edge : pole->getOutgoingEdgeSet())
      if (edge->isActive()) add(_outgoing, outgoingMasks, edge, edge->getTarget());
  }
  _incomingRows[size] = static_cast<uint32_t>(_incoming.size());
  _outgoingRows[size] = static_cast<uint32_t>(_outgoing.size());
  sort(incomingMasks, outgoingMasks);
  // Keyed by index and arc now that those are final.
  for (const auto& [position, mask] : incomingMasks) _arcMasks.emplace(&_incoming[position], mask);
  for (const auto& [position, mask] : outgoingMasks) _arcMasks.emplace(&_outgoing[position], mask);
  for (uint32_t index = 0; index < size; ++index) {
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
    std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<>> ready;
    for (uint32_t index = 0; index < size; ++index) {
      waiting[index] = _incomingRows[index + 1] - _incomingRows[index];
      if (waiting[index] == 0) ready.push(index);
    }
    while (!ready.empty()) {
      const uint32_t next = ready.top();
      ready.pop();
      order.push_back(next);
      for (const Arc* arc = beginOutgoing(next); arc != endOutgoing(next); ++arc)
        if (--waiting[arc->getFar()] == 0) ready.push(arc->getFar());
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
}

}  // namespace Morva
