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
    entry.registries[side]->prefetchSlot(entry.hashes[side]);
  }
  // The record queued half the queue ago has its slots in the cache by now.
  if (_count <= kDepth / 2) return;
  const Entry& earlier = at(_count - 1 - kDepth / 2);
  for (std::size_t side = 0; side < 2; ++side)
    if (earlier.registries[side]) earlier.registries[side]->prefetchPole(earlier.hashes[side]);
}

void RecordLookAhead::pop() {
  _first = (_first + 1) % kDepth;
  --_count;
}

}  // namespace Morva
