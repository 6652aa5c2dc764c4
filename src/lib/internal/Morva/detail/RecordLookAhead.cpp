#include <Morva/PoleRegistry.h>
#include <Morva/detail/RecordLookAhead.h>

namespace Morva {

void RecordLookAhead::push(std::string_view text, std::uint64_t line, const Name& first,
                           const Name& second) {
  Entry& entry = at(_count++);
  entry.text.assign(text);
  entry.line = line;
  const Name* names[2] = {&first, &second};
  for (std::size_t side = 0; side < 2; ++side) {
    entry.registries[side] = names[side]->registry;
    if (!entry.registries[side]) continue;
    entry.hashes[side] = PoleRegistry::getHash(names[side]->text);
    entry.slots[side] = PoleRegistry::kNoSlot;
    entry.registries[side]->prefetchSlot(entry.hashes[side]);
  }
  // Each step finds at hand what the step before fetched: the slots, then
  // the poles, then the first edges of the lists an edge joins, then their
  // last edges, which the new edge links to.
  for (const Step& step : kSteps) {
    if (_count <= step.age) continue;
    Entry& earlier = at(_count - 1 - step.age);
    for (std::size_t side = 0; side < 2; ++side) {
      const PoleRegistry* registry = earlier.registries[side];
      if (!registry || (step.kind != Step::Pole && !earlier.registries[1])) continue;
      // An edge leaves its source (side 0) and enters its target (side 1).
      const bool incoming = side == 1;
      const uint32_t hash = earlier.hashes[side];
      if (step.kind == Step::Pole)
        earlier.slots[side] = registry->prefetchPole(hash);
      else
        registry->prefetchEdge(earlier.slots[side], hash, incoming, step.kind == Step::LastEdge);
    }
  }
}

void RecordLookAhead::pop() {
  _first = (_first + 1) % kDepth;
  --_count;
}

}  // namespace Morva
