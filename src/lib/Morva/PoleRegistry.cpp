#include <Morva/Pole.h>
#include <Morva/PoleRegistry.h>
#include <Orvek/Prefetch.h>
#include <Orvek/Text.h>

#include <algorithm>
#include <functional>

namespace Morva {

namespace {

// Walks one order of the poles, keeping it alive as long as the walk.
class OrderLocator : public Orvek::Cloneable<OrderLocator, Orvek::LocatorDriver<Pole*>> {
 public:
  OrderLocator(std::shared_ptr<const std::vector<Pole*>> order, bool reverse)
      : _order(std::move(order)), _reverse(reverse) {}
  Pole* getCurrent() const override {
    return (*_order)[_reverse ? _order->size() - 1 - _index : _index];
  }
  bool isValid() const override { return _index < _order->size(); }
  void progress() override { ++_index; }

 private:
  std::shared_ptr<const std::vector<Pole*>> _order;
  bool _reverse;
  std::size_t _index = 0;
};

class RegistryDriver : public Orvek::Cloneable<RegistryDriver, Orvek::CollectionDriver<Pole*>> {
 public:
  explicit RegistryDriver(const PoleRegistry& registry) : _registry(&registry) {}
  Orvek::Locator<Pole*> getLocator() const override {
    return Orvek::Locator<Pole*>::make<OrderLocator>(_registry->getOrder(), false);
  }
  Orvek::Locator<Pole*> getReverseLocator() const override {
    return Orvek::Locator<Pole*>::make<OrderLocator>(_registry->getOrder(), true);
  }
  unsigned long getCount() const override { return _registry->size(); }
  bool isEmpty() const override { return _registry->empty(); }
  bool hasCount(unsigned long count) const override { return _registry->size() == count; }

 private:
  const PoleRegistry* _registry;
};

}  // namespace

uint32_t PoleRegistry::getHash(std::string_view name) {
  return static_cast<uint32_t>(std::hash<std::string_view>()(name));
}

std::size_t PoleRegistry::locate(std::string_view name, uint32_t hash) const {
  const std::size_t mask = _slots.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const Slot& entry = _slots[slot];
    if (!entry.pole || (entry.hash == hash && entry.pole->getName() == name)) return slot;
  }
}

void PoleRegistry::reserve(std::size_t count) {
  std::size_t size = _slots.empty() ? 64 : _slots.size();
  while (4 * count > 3 * size) size *= 2;
  if (size > _slots.size()) rehash(size);
}

void PoleRegistry::rehash(std::size_t size) {
  std::vector<Slot> old(size, Slot{0, nullptr});
  old.swap(_slots);
  const std::size_t mask = _slots.size() - 1;
  for (const Slot& entry : old) {
    if (!entry.pole) continue;
    std::size_t slot = entry.hash & mask;
    while (_slots[slot].pole) slot = (slot + 1) & mask;
    _slots[slot] = entry;
  }
}

std::size_t PoleRegistry::peek(uint32_t hash) const {
  if (_slots.empty()) return kNoSlot;
  // The run of slots from the hash's home, as far as a cache line holds
  // them: a longer run costs the look-up a miss more anyway.
  const std::size_t mask = _slots.size() - 1;
  std::size_t slot = hash & mask;
  for (int probe = 0; probe < 5 && _slots[slot].pole; ++probe, slot = (slot + 1) & mask)
    if (_slots[slot].hash == hash) return slot;
  return kNoSlot;
}

const Pole* PoleRegistry::peekAt(std::size_t slot, uint32_t hash) const {
  // The registry may have grown or changed since the slot was found.
  return slot < _slots.size() && _slots[slot].hash == hash ? _slots[slot].pole : nullptr;
}

std::size_t PoleRegistry::prefetchPole(uint32_t hash) const {
  const std::size_t slot = peek(hash);
  if (const Pole* pole = peekAt(slot, hash)) {
    // A pole spans two cache lines: its name and its edge lists.
    Orvek::prefetch(pole);
    Orvek::prefetch(reinterpret_cast<const char*>(pole) + 64);
  }
  return slot;
}

void PoleRegistry::prefetchEdge(std::size_t slot, uint32_t hash, bool incoming, bool last) const {
  const Pole* pole = peekAt(slot, hash);
  if (!pole) return;
  const EdgeSet& edges = incoming ? pole->getIncomingEdgeSet() : pole->getOutgoingEdgeSet();
  if (last)
    edges.prefetchLast();
  else
    edges.prefetchFirst();
}

Pole* PoleRegistry::find(std::string_view name) const {
  return find(name, getHash(name));
}

Pole* PoleRegistry::find(std::string_view name, uint32_t hash) const {
  if (_count == 0) return nullptr;
  return _slots[locate(name, hash)].pole;
}

void PoleRegistry::insert(Pole* pole) {
  reserve(_count + 1);
  const std::string_view name = pole->getName();
  const uint32_t hash = getHash(name);
  Slot& entry = _slots[locate(name, hash)];
  if (!entry.pole) ++_count;
  entry = Slot{hash, pole};
  _order.reset();
}

void PoleRegistry::erase(Pole* pole) {
  if (_count == 0) return;
  const std::string_view name = pole->getName();
  std::size_t hole = locate(name, getHash(name));
  if (_slots[hole].pole != pole) return;
  // Backward-shift deletion: every later entry of the run whose home slot
  // does not lie cyclically in (hole, slot] moves into the hole.
  const std::size_t mask = _slots.size() - 1;
  for (std::size_t slot = (hole + 1) & mask; _slots[slot].pole; slot = (slot + 1) & mask) {
    const std::size_t home = _slots[slot].hash & mask;
    const bool between =
        hole <= slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
    if (!between) {
      _slots[hole] = _slots[slot];
      hole = slot;
    }
  }
  _slots[hole] = Slot{0, nullptr};
  --_count;
  _order.reset();
}

std::shared_ptr<const std::vector<Pole*>> PoleRegistry::getOrder() const {
  if (!_order) {
    auto order = std::make_shared<std::vector<Pole*>>();
    order->reserve(_count);
    forEach([&order](Pole* pole) { order->push_back(pole); });
    sortByName(*order);
    _order = std::move(order);
  }
  return _order;
}

void PoleRegistry::keepFiled(std::vector<Pole*>& poles) const {
  std::erase_if(poles, [this](const Pole* pole) { return find(pole->getName()) != pole; });
  sortByName(poles);
}

void PoleRegistry::sortByName(std::vector<Pole*>& poles) {
  // The slots hold the poles in hash order; in address order their names
  // are read the way the pools laid them out, not one cache miss each.
  std::sort(poles.begin(), poles.end(), std::less<Pole*>());
  std::vector<std::string_view> names;
  names.reserve(poles.size());
  for (const Pole* pole : poles) names.push_back(pole->getName());
  std::vector<Pole*> sorted;
  sorted.reserve(poles.size());
  for (std::size_t position : Orvek::getAlphaOrder(names)) sorted.push_back(poles[position]);
  poles.swap(sorted);
}

Poles PoleRegistry::getPoles() const {
  return Poles::make<RegistryDriver>(*this);
}

}  // namespace Morva
