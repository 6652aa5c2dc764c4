#include <Morva/Edge.h>
#include <Morva/GraphImage.h>
#include <Morva/Pole.h>

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

uint64_t GraphImage::_version = 1;

const GraphImage& GraphImage::get() {
  std::unique_ptr<GraphImage>& image = getImage();
  if (!image || image->_builtVersion != _version) {
    // The stale image goes first, so that two never live together.
    image.reset();
    image = std::make_unique<GraphImage>();
    image->build();
  }
  return *image;
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
  const auto arc = [this](const Edge* edge, const Pole* far) {
    const bool clock = edge->isIOPath() || edge->isInterconnect();
    return Arc{_indices[far->getNumber()] | (clock ? Arc::clockBit : 0U),
               packMaskNumber(edge->getMaskNumber()), edge->getMinimumDelay().getValue(),
               edge->getMaximumDelay().getValue()};
  };
  _facts.resize(size);
  _openingMasks.resize(size);
  _closingMasks.resize(size);
  _incomingRows.resize(size + 1);
  _outgoingRows.resize(size + 1);
  _incoming.reserve(incoming);
  _outgoing.reserve(outgoing);
  for (std::size_t index = 0; index < size; ++index) {
    const Pole* pole = _poles[_numbers[index]];
    _incomingRows[index] = static_cast<uint32_t>(_incoming.size());
    _outgoingRows[index] = static_cast<uint32_t>(_outgoing.size());
    _openingMasks[index] = packMaskNumber(pole->getOpeningMaskNumber());
    _closingMasks[index] = packMaskNumber(pole->getClosingMaskNumber());
    _facts[index] = (pole->isInitial() ? Initial : 0) | (pole->isTerminal() ? Terminal : 0) |
                    (pole->isDual() ? Dual : 0) | (pole->isInput() ? Input : 0) |
                    (pole->isOutput() ? Output : 0);
    for (const Edge* edge : pole->getIncomingEdgeSet())
      if (edge->isActive()) _incoming.push_back(arc(edge, edge->getSource()));
    for (const Edge* edge : pole->getOutgoingEdgeSet())
      if (edge->isActive()) _outgoing.push_back(arc(edge, edge->getTarget()));
  }
  _incomingRows[size] = static_cast<uint32_t>(_incoming.size());
  _outgoingRows[size] = static_cast<uint32_t>(_outgoing.size());
  sort();
  _clocks.resize(size);
  for (std::size_t index = 0; index < size; ++index) {
    const Pole* clock = getPole(static_cast<uint32_t>(index))->getClock();
    _clocks[index] = clock ? getIndex(clock) : none;
  }
  _builtVersion = _version;
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
// `rank`.
void permute(std::vector<GraphImage::Arc>& arcs, std::vector<uint32_t>& rows,
             const std::vector<uint32_t>& order, const std::vector<uint32_t>& rank) {
  std::vector<GraphImage::Arc> permuted;
  std::vector<uint32_t> permutedRows;
  permuted.reserve(arcs.size());
  permutedRows.reserve(rows.size());
  for (const uint32_t old : order) {
    permutedRows.push_back(static_cast<uint32_t>(permuted.size()));
    for (uint32_t position = rows[old]; position < rows[old + 1]; ++position) {
      GraphImage::Arc arc = arcs[position];
      arc.far = rank[arc.getFar()] | (arc.far & GraphImage::Arc::clockBit);
      permuted.push_back(arc);
    }
  }
  permutedRows.push_back(static_cast<uint32_t>(permuted.size()));
  arcs.swap(permuted);
  rows.swap(permutedRows);
}

}  // namespace

void GraphImage::sort() {
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
  permute(_openingMasks, order);
  permute(_closingMasks, order);
  permute(_incoming, _incomingRows, order, rank);
  permute(_outgoing, _outgoingRows, order, rank);
  for (uint32_t& index : _indices)
    if (index != none) index = rank[index];
}

}  // namespace Morva
