#include <Morva/Pole.h>
#include <Morva/PoleRegistry.h>
#include <Morva/detail/RecordLookAhead.h>

namespace Morva {

void RecordLookAhead::push(std::string_view text, std::uint64_t line, const Name& first,
                           const Name& second, bool edge) {
  Entry& entry = at(_count++);
  entry.text.assign(text);
  entry.line = line;
  entry.edge = edge;
  const Name* names[2] = {&first, &second};
  for (std::size_t side = 0; side < 2; ++side) {
    entry.registries[side] = names[side]->registry;
    if (!entry.registries[side]) continue;
    entry.hashes[side] = PoleRegistry::getHash(names[side]->text);
    entry.registries[side]->prefetchSlot(entry.hashes[side]);
  }
  for (std::size_t step = 1; step <= 3; ++step) prefetch(step);
}

void RecordLookAhead::prefetch(std::size_t step) {
  if (_count <= kStride * step) return;
  const Entry& entry = at(_count - 1 - kStride * step);
  if (step > 1 && !entry.edge) return;
  for (std::size_t side = 0; side < 2; ++side) {
    if (!entry.registries[side]) continue;
    const PoleRegistry& registry = *entry.registries[side];
    if (step == 1) {
      registry.prefetchPole(entry.hashes[side]);
      continue;
    }
    // A pole of the same hash but another name only costs a useless fetch.
    const Pole* pole = registry.peek(entry.hashes[side]);
    if (!pole) continue;
    const EdgeList& list = side == 0 ? pole->getOutgoingEdgeSet() : pole->getIncomingEdgeSet();
    if (step == 2)
      list.prefetchFirst();
    else
      list.prefetchLast();
  }
}

void RecordLookAhead::pop() {
  _first = (_first + 1) % kDepth;
  --_count;
}

}  // namespace Morva
